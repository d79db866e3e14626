// The pool of GUI windows the menus and dialogs are drawn in, with their
// stacking order and click routing, and the two widgets every window is
// built from: the window frame and the push button.
#pragma once

#include <cstdint>

constexpr int DIALOG_SLOTS = 10;
// The menu bar's rows, 0 to 9: no window's title bar goes under it.
constexpr int MENU_BAR_HEIGHT = 10;

using DialogHandler = void (*)(int handle);

// What a window takes from the keyboard while it is the topmost one that
// takes any: its keys then reach neither the game nor the hot keys.
enum DialogKeys : uint8_t {
    DIALOG_KEYS_NONE = 0,
    DIALOG_KEYS_TAKEN = 1,  // every key but ESC, which still shows or hides the menus
    DIALOG_KEYS_AND_ESCAPE = 2,  // ESC too: it cancels a capture
};

struct DialogSlot {
    int32_t x;
    int32_t y;
    int32_t width;
    int32_t height;
    DialogHandler draw;  // every GUI frame while open; may move the window
    DialogHandler click;  // a left click routed to the window
    uint8_t in_use;
    uint8_t keys;  // DialogKeys; none when opened
};

extern DialogSlot dialog_slots[DIALOG_SLOTS];
// Every handle exactly once, from the bottom (index 0) to the top.
extern int dialog_stack[DIALOG_SLOTS];
// The window that gets clicks first; 0 while none is open.
extern int dialog_active;

// Takes the lowest free slot and raises it; ends the program when all ten
// are in use.
int dialog_open(int x, int y, int width, int height, DialogHandler draw, DialogHandler click);
void dialog_raise(int handle);
// Also uses up the click that closed the window.
void dialog_close(int handle);
// Draws the open windows from the bottom of the stack up.
void dialog_draw_all();
// Delivers a left click to the window under the pointer; true when one took it.
bool dialog_route_click();
// True while `handle` is an open window drawn by `draw`: how each dialog
// knows it is open, so that it exists at most once.
bool dialog_shows(int handle, DialogHandler draw);
// The topmost open window that takes keys, -1 for none: the only one that
// reads them, so that a key typed into one never acts in another.
int dialog_keyboard_owner();
// Whether `handle` is that window.
bool dialog_owns_keyboard(int handle);
// Closes every window and restores the initial stacking order.
void dialog_reset();

void draw_window_frame(int x1, int y1, int x2, int y2, const char* title);
// A 41 x 14 push button with its label centred.
void draw_button(int x, int y, const char* label, bool pressed);

// Moving a window by its title bar: started by a click, followed by each
// draw while the left button stays down.
struct DialogDrag {
    bool active = false;
    int32_t last_x = 0;
    int32_t last_y = 0;
};
void dialog_drag_start(DialogDrag& drag);
void dialog_drag_step(DialogDrag& drag, int handle);

// A push button acts when released: true once, at the first draw that finds
// the left button up after a press.
bool dialog_button_released(bool& pressed);

// Text from data, drawn as it is (never as a format), in `colour` at (x, y).
void draw_text(int x, int y, uint32_t colour, const char* text);

// The blinking capture cursor at the text cursor.
void dialog_capture_cursor();

// Shorthand for the driver's colour maker.
uint32_t rgb(int r, int g, int b);
