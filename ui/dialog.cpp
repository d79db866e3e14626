#include "ui/dialog.h"

#include <algorithm>

#include "host/draw.h"
#include "host/input.h"
#include "host/log.h"
#include "host/video.h"

DialogSlot dialog_slots[DIALOG_SLOTS];
int dialog_stack[DIALOG_SLOTS] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
int dialog_active = 0;

namespace {

// Enough of a title bar's left or right end to grab it by.
constexpr int TITLE_KEPT = 32;
constexpr int TITLE_HEIGHT = 11;

// The left button went down for this click, even if it came up again before
// the frame saw it.
bool left_pressed()
{
    return mouse_left || mouse_pressed;
}

// Keeps the window's title bar within the pointer's reach: dragged off the
// picture or under the menu bar, or left there by a picture that shrank
// (leaving full screen).
void keep_title_bar_reachable(DialogSlot& slot)
{
    slot.x = std::clamp(slot.x, TITLE_KEPT - slot.width, std::max(screen_image.width - TITLE_KEPT, 0));
    slot.y = std::clamp(slot.y, MENU_BAR_HEIGHT, std::max(screen_image.height - TITLE_HEIGHT, MENU_BAR_HEIGHT));
}

bool strictly_inside(const DialogSlot& slot)
{
    return slot.x < mouse_x && mouse_x < slot.x + slot.width && slot.y < mouse_y && mouse_y < slot.y + slot.height;
}

}  // namespace

uint32_t rgb(int r, int g, int b)
{
    return vid_make_color(r, g, b);
}

int dialog_open(int x, int y, int width, int height, DialogHandler draw, DialogHandler click)
{
    for (int handle = 0; handle < DIALOG_SLOTS; ++handle) {
        DialogSlot& slot = dialog_slots[handle];
        if (slot.in_use)
            continue;
        slot = DialogSlot {x, y, width, height, draw, click, 1, DIALOG_KEYS_NONE};
        dialog_raise(handle);
        return handle;
    }
    fatal_exit("Ran out of Dialog handles.");
}

void dialog_raise(int handle)
{
    int place = 0;
    while (place < DIALOG_SLOTS && dialog_stack[place] != handle)
        ++place;
    for (; place < DIALOG_SLOTS - 1; ++place)
        dialog_stack[place] = dialog_stack[place + 1];
    dialog_stack[DIALOG_SLOTS - 1] = handle;
    dialog_active = handle;
}

void dialog_close(int handle)
{
    mouse_clicked = 0;
    dialog_slots[handle].in_use = 0;
    dialog_active = 0;
    for (int place = DIALOG_SLOTS - 1; place >= 0; --place) {
        if (dialog_slots[dialog_stack[place]].in_use) {
            dialog_active = dialog_stack[place];
            break;
        }
    }
}

void dialog_draw_all()
{
    for (int place = 0; place < DIALOG_SLOTS; ++place) {
        const int handle = dialog_stack[place];
        if (!dialog_slots[handle].in_use)
            continue;
        keep_title_bar_reachable(dialog_slots[handle]);
        dialog_slots[handle].draw(handle);
    }
}

bool dialog_route_click()
{
    if (!mouse_clicked || !left_pressed())
        return false;
    const DialogSlot& active = dialog_slots[dialog_active];
    if (active.in_use && strictly_inside(active)) {
        active.click(dialog_active);
        return true;
    }
    for (int place = 0; place < DIALOG_SLOTS; ++place) {
        const int handle = dialog_stack[place];
        const DialogSlot& slot = dialog_slots[handle];
        if (slot.in_use && strictly_inside(slot)) {
            dialog_raise(handle);
            slot.click(handle);
            return true;
        }
    }
    return false;
}

bool dialog_shows(int handle, DialogHandler draw)
{
    return handle >= 0 && handle < DIALOG_SLOTS && dialog_slots[handle].in_use && dialog_slots[handle].draw == draw;
}

int dialog_keyboard_owner()
{
    for (int place = DIALOG_SLOTS - 1; place >= 0; --place) {
        const DialogSlot& slot = dialog_slots[dialog_stack[place]];
        if (slot.in_use && slot.keys != DIALOG_KEYS_NONE)
            return dialog_stack[place];
    }
    return -1;
}

bool dialog_owns_keyboard(int handle)
{
    return handle >= 0 && dialog_keyboard_owner() == handle;
}

void dialog_reset()
{
    for (int handle = 0; handle < DIALOG_SLOTS; ++handle) {
        dialog_slots[handle] = DialogSlot {};
        dialog_stack[handle] = handle;
    }
    dialog_active = 0;
}

void draw_window_frame(int x1, int y1, int x2, int y2, const char* title)
{
    vid_rect(x1 + 1, y1 + 1, x2 - 1, y1 + 10, rgb(0, 40, 170), screen_image);
    const uint32_t light = rgb(220, 220, 220);
    vid_hline(x1, y1, x2, light, screen_image);
    vid_line(x1, y1, x1, y2, light, screen_image);
    vid_rect(x1 + 1, y1 + 11, x2 - 1, y2 - 1, rgb(0, 0, 128), screen_image);
    const uint32_t dark = rgb(90, 90, 90);
    vid_hline(x1 + 1, y1 + 10, x2, dark, screen_image);
    vid_line(x2, y1 + 1, x2, y2, dark, screen_image);
    vid_hline(x1, y2, x2, dark, screen_image);

    const uint32_t white = rgb(255, 255, 255);
    const uint32_t shadow = rgb(64, 64, 64);
    vid_rect(x2 - 7, y1 + 2, x2 - 2, y1 + 8, rgb(168, 168, 168), screen_image);
    vid_hline(x2 - 7, y1 + 2, x2 - 2, white, screen_image);
    vid_hline(x2 - 6, y1 + 8, x2 - 2, shadow, screen_image);
    vid_line(x2 - 7, y1 + 2, x2 - 7, y1 + 8, white, screen_image);
    vid_line(x2 - 2, y1 + 3, x2 - 2, y1 + 8, shadow, screen_image);

    draw_text(x1 + 2, y1 + 2, light, title);
}

void draw_button(int x, int y, const char* label, bool pressed)
{
    vid_rect(x + 1, y + 1, x + 39, y + 12, rgb(168, 168, 168), screen_image);
    const uint32_t light = rgb(255, 255, 255);
    const uint32_t dark = rgb(64, 64, 64);
    const uint32_t top_left = pressed ? dark : light;
    const uint32_t bottom_right = pressed ? light : dark;
    vid_hline(x, y, x + 40, top_left, screen_image);
    vid_hline(x + 1, y + 13, x + 40, bottom_right, screen_image);
    vid_line(x, y + 1, x, y + 13, top_left, screen_image);
    vid_line(x + 40, y + 1, x + 40, y + 13, bottom_right, screen_image);
    // A pressed label sinks one pixel right and down with the face.
    const int sink = pressed ? 1 : 0;
    draw_text(x - text_width(label) / 2 + 20 + sink, y + 3 + sink, light, label);
}

void dialog_drag_start(DialogDrag& drag)
{
    drag = DialogDrag {true, mouse_x, mouse_y};
    mouse_clicked = 0;
}

void dialog_drag_step(DialogDrag& drag, int handle)
{
    if (!drag.active)
        return;
    DialogSlot& slot = dialog_slots[handle];
    slot.x += mouse_x - drag.last_x;
    slot.y += mouse_y - drag.last_y;
    keep_title_bar_reachable(slot);
    drag.last_x = mouse_x;
    drag.last_y = mouse_y;
    if (!mouse_left)
        drag.active = false;
}

bool dialog_button_released(bool& pressed)
{
    if (!pressed || mouse_left)
        return false;
    pressed = false;
    return true;
}

void draw_text(int x, int y, uint32_t colour, const char* text)
{
    text_colour(colour);
    text_goto(x, y);
    text_print("%s", text);
}

void dialog_capture_cursor()
{
    if ((key_clock.load(std::memory_order_relaxed) % 59) / 30 == 1)
        text_putc(127);
}
