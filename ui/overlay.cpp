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
#include "vdp/vdp.h"

namespace {

constexpr int SLOT_BOX_WIDTH = 23;
constexpr int SLOT_BOX_HEIGHT = 11;
constexpr int SLOT_COUNT = 10;
constexpr int LINE_HEIGHT = 9;

// The pop-ups lie where the player looks, inside what the window shows: the
// emulated picture, or on the Game Gear its 160 x 144 screen. So the window
// never changes what it shows for a pop-up; with the menus shown it shows
// the whole screen image, and they use it all.
PopupArea popup_area()
{
    const Image& image = screen_image;
    if (gui_visible)
        return {image.clip_x1, image.clip_y1, image.clip_x2, image.clip_y2};
    const int x = picture_x_offset + (vdp.is_gg ? 48 : 0);
    const int y = picture_y_offset + (vdp.is_gg ? game_gear_window_top() : 0);
    const int width = vdp.is_gg ? 160 : 256;
    const int height = vdp.is_gg ? 144 : picture_height;
    return {std::max(x, image.clip_x1), std::max(y, image.clip_y1), std::min(x + width - 1, image.clip_x2),
        std::min(y + height - 1, image.clip_y2)};
}

// The boxes read 1 2 ... 9 0, like the keys that select them, and the line
// above names the file the key saves to (key 3 saves GAME.ST2). Drawn above
// row `bottom`; returns the row above it.
int draw_slot_popup(PopupArea area, int bottom)
{
    const int width = area.x2 - area.x1 + 1;
    const int box = std::min(SLOT_BOX_WIDTH, (width - 4) / SLOT_COUNT);
    const int x0 = area.x1 + (width - box * SLOT_COUNT) / 2;
    const int top = bottom - SLOT_BOX_HEIGHT;

    vid_shade_rect(x0, top, x0 + box * SLOT_COUNT, bottom, screen_image);
    vid_set_lucent(50);
    vid_rect(
        x0 + box * state_slot, top, x0 + box * (state_slot + 1), bottom, vid_make_color(120, 20, 20), screen_image);
    vid_set_lucent(0);

    vid_fill_mode = 0;
    text_colour(vid_make_color(255, 255, 255));
    const uint32_t frame = vid_make_color(30, 255, 30);
    for (int i = 0; i < SLOT_COUNT; ++i) {
        const int x = x0 + box * i;
        vid_rect(x, top, x + box, bottom, frame, screen_image);
        const char digit[2] = {static_cast<char>('0' + (i + 1) % SLOT_COUNT), '\0'};
        text_goto(x + (box - text_width(digit)) / 2 + 1, top + 2);
        text_print("%s", digit);
    }
    vid_fill_mode = 1;

    const size_t slash = machine.state_file.find_last_of('/');
    const std::string caption
        = "Key " + std::to_string((state_slot + 1) % SLOT_COUNT) + ": " + machine.state_file.substr(slash + 1);
    const int caption_top = top - LINE_HEIGHT;
    const int shown = std::min(text_width(caption.c_str()), width - 4);
    const int caption_x = area.x1 + (width - shown) / 2;
    image_set_clip(area.x1, area.y1, area.x2, area.y2, screen_image);
    text_print_shaded(caption_x, caption_top, vid_make_color(255, 255, 255), caption.c_str());
    image_set_clip(0, 0, screen_image.width - 1, screen_image.height - 1, screen_image);
    return caption_top - 2;
}

std::string clock_text()
{
    const std::time_t now = std::time(nullptr);
    std::tm local {};
    localtime_r(&now, &local);
    char time[16];
    std::snprintf(time, sizeof time, "%d:%d:%d", local.tm_hour, local.tm_min, local.tm_sec);
    return time;
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

// The message's lines above row `bottom`, on a dark box that keeps them
// readable over the picture and any window; returns the row above them.
int draw_message(PopupArea area, int bottom)
{
    const std::vector<std::string> lines = message_lines(message, area.x2 - area.x1 - 3);
    const int top = bottom + 1 - LINE_HEIGHT * static_cast<int>(lines.size());
    int widest = 0;
    for (const std::string& line : lines)
        widest = std::max(widest, text_width(line.c_str()));
    vid_shade_rect(area.x1, top - 1, std::min(area.x1 + widest + 3, area.x2), bottom, screen_image);
    int y = top;
    for (const std::string& line : lines) {
        text_print_shaded(area.x1 + 2, y, vid_make_color(255, 255, 255), line.c_str());
        y += LINE_HEIGHT;
    }
    return top - 2;
}

}  // namespace

void overlay_message()
{
    if (!message_shown(key_clock.load(std::memory_order_relaxed)))
        return;
    const PopupArea area = popup_area();
    draw_message(area, area.y2);
}

void overlay()
{
    // Stacked from the bottom up, so that none covers another: the line of
    // the recording notice and the clock, the message, the slot popup, the
    // PSG output.
    const PopupArea area = popup_area();
    const int32_t now = key_clock.load(std::memory_order_relaxed);
    draw_crosshair();
    int bottom = area.y2;
    const uint32_t green = vid_make_color(30, 255, 30);
    if (psg_logging)
        text_print_shaded(area.x1 + 1, area.y2 - 8, vid_make_color(255, 255, 255),
            psg_log_format == PsgLogFormat::VGM ? "Logging VGM" : "Logging PSG");
    if (settings.clock) {
        const std::string time = clock_text();
        text_print_shaded(area.x2 + 1 - 34, area.y2 - 8, green, time.c_str());
    }
    if (psg_logging || settings.clock)
        bottom -= LINE_HEIGHT + 1;
    if (message_shown(now))
        bottom = draw_message(area, bottom);
    if (slot_popup_shown(now))
        bottom = draw_slot_popup(area, bottom);
    viewer_popups_draw(area, bottom);
}
