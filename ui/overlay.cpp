#include <algorithm>
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#include "host/draw.h"
#include "host/input.h"
#include "host/video.h"
#include "machine/machine.h"
#include "machine/scheduler.h"
#include "machine/settings.h"
#include "sound/psg_log.h"
#include "ui/gui.h"
#include "ui/viewers.h"

namespace {

constexpr int SLOT_BOX_WIDTH = 23;
constexpr int SLOT_COUNT = 10;

void draw_slot_popup(int x2, int y2)
{
    const int x0 = x2 / 2 - 115;
    const int top = y2 - 21;
    const int bottom = y2 - 10;

    vid_shade_rect(x0, top, x0 + SLOT_BOX_WIDTH * SLOT_COUNT, bottom, screen_image);
    vid_set_lucent(50);
    vid_rect(x0 + SLOT_BOX_WIDTH * state_slot, top, x0 + SLOT_BOX_WIDTH * (state_slot + 1), bottom,
        vid_make_color(120, 20, 20), screen_image);
    vid_set_lucent(0);

    vid_fill_mode = 0;
    text_colour(vid_make_color(255, 255, 255));
    const uint32_t frame = vid_make_color(30, 255, 30);
    for (int i = 0; i < SLOT_COUNT; ++i) {
        const int x = x0 + SLOT_BOX_WIDTH * i;
        vid_rect(x, top, x + SLOT_BOX_WIDTH, bottom, frame, screen_image);
        text_goto(x + 10, y2 - 19);
        // The boxes read 1 2 ... 9 0, like the keys that select them.
        text_print("%d", (i + 1) % SLOT_COUNT);
    }
    vid_fill_mode = 1;
}

void draw_clock(int x2, int y2)
{
    const std::time_t now = std::time(nullptr);
    std::tm local {};
    localtime_r(&now, &local);
    char time[16];
    std::snprintf(time, sizeof time, "%d:%d:%d", local.tm_hour, local.tm_min, local.tm_sec);
    text_print_shaded(x2 - 33, y2 - 8, vid_make_color(30, 255, 30), time);
}

bool slot_popup_shown(int32_t now)
{
    return settings.popups && slot_popup_until > now;
}

bool message_shown(int32_t now)
{
    return settings.popups && message_until > now;
}

// `text` in lines no wider than `width` pixels, broken at spaces where a
// line has one.
std::vector<std::string> message_lines(std::string text, int width)
{
    std::vector<std::string> lines;
    while (text_width(text.c_str()) > width) {
        // The longest start that fits, one glyph's width at a time: the
        // message is broken anew at every frame it shows.
        size_t cut = 0;
        for (int used = 0; cut + 1 < text.size(); ++cut) {
            const char glyph[2] = {text[cut], '\0'};
            used += text_width(glyph);
            if (used > width)
                break;
        }
        cut = std::max<size_t>(cut, 1);
        const size_t space = text.rfind(' ', cut);
        if (space != std::string::npos && space > 0)
            cut = space;
        lines.push_back(text.substr(0, cut));
        text.erase(0, text[cut] == ' ' ? cut + 1 : cut);
    }
    lines.push_back(text);
    return lines;
}

// Over the picture, never into it: the screenshot key has taken the game's
// picture by now, and the next frame draws over these lines before the gun
// looks at them.
void draw_crosshair()
{
    const bool gun = settings.player1 == DEVICE_LIGHTGUN || settings.player2 == DEVICE_LIGHTGUN;
    if (!gun || gui_visible || !machine.rom_loaded || machine.is_gg)
        return;
    const uint32_t white = vid_make_color(255, 255, 255);
    const uint32_t black = vid_make_color(0, 0, 0);
    // White arms, shadowed in black to stand out on light and dark alike,
    // with the aimed pixel itself left clear.
    for (int arm = 0; arm < 2; ++arm) {
        const int reach = 6 - arm;
        const uint32_t colour = arm == 0 ? black : white;
        vid_hline(mouse_x - reach, mouse_y, mouse_x - 2, colour, screen_image);
        vid_hline(mouse_x + 2, mouse_y, mouse_x + reach, colour, screen_image);
        vid_line(mouse_x, mouse_y - reach, mouse_x, mouse_y - 2, colour, screen_image);
        vid_line(mouse_x, mouse_y + 2, mouse_x, mouse_y + reach, colour, screen_image);
    }
}

}  // namespace

bool overlay_shown()
{
    const int32_t now = key_clock.load(std::memory_order_relaxed);
    return slot_popup_shown(now) || message_shown(now) || settings.clock || psg_logging || view_fps || view_vdp_settings
        || view_psg_output;
}

void overlay_message()
{
    if (!message_shown(key_clock.load(std::memory_order_relaxed)))
        return;
    // A reason that names a file and the loader's words is wider than the
    // screen: it goes on in lines above, the last one at the bottom.
    const std::vector<std::string> lines = message_lines(message, screen_image.clip_x2 - 3);
    int y = screen_image.clip_y2 - 8 - 9 * static_cast<int>(lines.size() - 1);
    for (const std::string& line : lines) {
        text_print_shaded(2, y, vid_make_color(255, 255, 255), line.c_str());
        y += 9;
    }
}

void overlay()
{
    const int x2 = screen_image.clip_x2;
    const int y2 = screen_image.clip_y2;
    const int32_t now = key_clock.load(std::memory_order_relaxed);

    draw_crosshair();
    viewer_popups_draw();

    if (slot_popup_shown(now))
        draw_slot_popup(x2, y2);

    overlay_message();

    if (settings.clock)
        draw_clock(x2, y2);

    if (psg_logging)
        text_print_shaded(1, y2 - 8, vid_make_color(255, 255, 255), "Logging PSG");
}
