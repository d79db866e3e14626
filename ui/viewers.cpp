#include "ui/viewers.h"

#include "host/draw.h"
#include "host/input.h"
#include "machine/machine.h"
#include "machine/scheduler.h"
#include "sound/psg.h"
#include "ui/dialog.h"
#include "ui/gui.h"
#include "vdp/vdp.h"

bool view_fps = false;
bool view_vdp_settings = false;
bool view_psg_output = false;
int patterns_palette_offset = 0;

namespace {

constexpr int PATTERNS_WIDTH = 225;
constexpr int PATTERNS_HEIGHT = 139;
constexpr int PATTERN_COLUMNS = 28;
constexpr int PATTERN_ROWS = 16;
constexpr int PATTERN_BYTES = 32;
constexpr int PALETTE_WIDTH = 129;
constexpr int PALETTE_HEIGHT = 29;

struct ViewerWindow {
    int handle = -1;  // -1 while closed
    DialogDrag drag;
};

ViewerWindow patterns;
ViewerWindow palette;

void close_viewer(ViewerWindow& viewer)
{
    dialog_close(viewer.handle);
    viewer.handle = -1;
}

void draw_pattern(int tile, int left, int top)
{
    const uint8_t* rows = vdp.vram + tile * PATTERN_BYTES;
    for (int r = 0; r < 8; ++r) {
        const uint8_t* planes = rows + 4 * r;
        for (int c = 0; c < 8; ++c) {
            const int bit = 7 - c;
            const int colour = ((planes[0] >> bit) & 1) | (((planes[1] >> bit) & 1) << 1)
                | (((planes[2] >> bit) & 1) << 2) | (((planes[3] >> bit) & 1) << 3);
            vid_set_pixel(left + c, top + r, vdp.palette[colour + patterns_palette_offset], screen_image);
        }
    }
}

void patterns_draw(int handle)
{
    dialog_drag_step(patterns.drag, handle);
    const DialogSlot& slot = dialog_slots[handle];
    draw_window_frame(slot.x, slot.y, slot.x + PATTERNS_WIDTH, slot.y + PATTERNS_HEIGHT, "Patterns");
    // Video memory means nothing once the machine has stopped.
    if (!machine.machine_ready)
        return;
    for (int r = 0; r < PATTERN_ROWS; ++r)
        for (int c = 0; c < PATTERN_COLUMNS; ++c)
            draw_pattern(PATTERN_COLUMNS * r + c, slot.x + 1 + 8 * c, slot.y + 11 + 8 * r);
}

void patterns_click(int handle)
{
    const int dx = mouse_x - dialog_slots[handle].x;
    const int dy = mouse_y - dialog_slots[handle].y;
    if (dy < 10 && dx < 218) {
        dialog_drag_start(patterns.drag);
    } else if (dy < 9 && dx > 218) {
        close_viewer(patterns);
    } else {
        patterns_palette_offset = patterns_palette_offset == 0 ? 16 : 0;
        mouse_clicked = 0;
    }
}

void palette_draw(int handle)
{
    dialog_drag_step(palette.drag, handle);
    const DialogSlot& slot = dialog_slots[handle];
    const int x = slot.x;
    const int y = slot.y;
    draw_window_frame(x, y, x + PALETTE_WIDTH, y + PALETTE_HEIGHT, "Palette");
    for (int i = 0; i < 16; ++i) {
        vid_rect(x + 1 + 8 * i, y + 11, x + 8 + 8 * i, y + 19, vdp.palette[i], screen_image);
        vid_rect(x + 1 + 8 * i, y + 20, x + 8 + 8 * i, y + 28, vdp.palette[16 + i], screen_image);
    }
}

void palette_click(int handle)
{
    const int dx = mouse_x - dialog_slots[handle].x;
    const int dy = mouse_y - dialog_slots[handle].y;
    if (dy < 10 && dx < 122)
        dialog_drag_start(palette.drag);
    else if (dy < 9 && dx > 122)
        close_viewer(palette);
}

const char* on_off(int bit)
{
    return bit ? "on" : "off";
}

void draw_fps(PopupArea area)
{
    const int x = area.x2 + 1 - 30;
    const int y = area.y1 + 20;
    vid_shade_rect(x, y, x + 20, y + 8, screen_image);
    text_goto(x + 1, y + 1);
    text_print("%d", fps);
}

void draw_vdp_settings(PopupArea area)
{
    const int x = area.x2 + 1 - 70;
    const int y = (area.y1 + area.y2 + 1) / 2 - 40;
    vid_shade_rect(x - 1, y - 1, x + 60, y + 47, screen_image);
    const uint8_t* reg = vdp.registers;
    text_goto(x, y);
    text_print("Screen %s", on_off(reg[1] & 0x40));
    text_goto(x, y + 8);
    text_print("Rtrc ints %s", on_off(reg[1] & 0x20));
    text_goto(x, y + 16);
    text_print("Line ints %s", on_off(reg[0] & 0x10));
    text_goto(x, y + 24);
    text_print("X scroll: %d", vdp.hscroll);
    text_goto(x, y + 32);
    text_print("Y scroll: %d", vdp.vscroll);
    text_goto(x, y + 40);
    text_print("spr8x16 %s", on_off(reg[1] & 0x02));
}

void draw_psg_output(PopupArea area, int bottom)
{
    const int x = (area.x1 + area.x2 + 1) / 2 - 70;
    const int y = bottom + 1 - 46;
    // The Game Gear's stereo panning takes a fourth row.
    const bool stereo = vdp.is_gg;
    vid_set_lucent(50);
    vid_rect(x - 2, y - 2, x + 145, y + (stereo ? 24 : 20), 0, screen_image);
    const uint32_t red = rgb(255, 0, 0);
    for (int n = 0; n < 4; ++n) {
        const int v = psg.volume[n];
        if (v != 0)
            vid_rect(x + 30 + 30 * n, y + 16 - (v + 1) / 16, x + 47 + 30 * n, y + 16, red, screen_image);
    }
    vid_set_lucent(0);

    text_goto(x, y);
    text_print("  Vol");
    text_goto(x, y + 10);
    text_print("Freq");
    for (int n = 0; n < 4; ++n) {
        text_goto(x + 30 + 30 * n, y);
        text_print("%02X", psg.volume[n]);
        text_goto(x + 30 + 30 * n, y + 10);
        text_print("%04X", psg.frequency[n]);
        if (stereo) {
            text_goto(x + 37 + 30 * n + psg_pan[n] / 16, y + 18);
            text_putc(127);
        }
    }
}

}  // namespace

void gui_open_patterns()
{
    if (!dialog_shows(patterns.handle, patterns_draw))
        patterns.handle = dialog_open(20, 20, PATTERNS_WIDTH, PATTERNS_HEIGHT, patterns_draw, patterns_click);
}

void gui_open_palette()
{
    if (!dialog_shows(palette.handle, palette_draw))
        palette.handle = dialog_open(120, 160, PALETTE_WIDTH, PALETTE_HEIGHT, palette_draw, palette_click);
}

void viewer_popups_draw(PopupArea area, int bottom)
{
    text_colour(rgb(30, 255, 30));
    if (view_fps)
        draw_fps(area);
    if (view_vdp_settings)
        draw_vdp_settings(area);
    if (view_psg_output)
        draw_psg_output(area, bottom);
}
