// "Record input": whether a recording starts from power-on or from now.
#include "host/draw.h"
#include "host/input.h"
#include "machine/scheduler.h"
#include "ui/dialog.h"
#include "ui/gui.h"
#include "ui/session.h"

namespace {

constexpr int WIDTH = 143;
constexpr int HEIGHT = 46;
constexpr int RESET_X = 16;
constexpr int NOW_X = 86;
constexpr int BUTTON_Y = 28;

struct RecordDialog {
    int handle = -1;
    DialogDrag drag;
    bool reset_pressed = false;
    bool now_pressed = false;
};

RecordDialog dialog;

void close_record()
{
    dialog_close(dialog.handle);
    dialog.handle = -1;
}

// The game plays on with the menus out of the way, recorded from here on.
void start(bool power_on)
{
    close_record();
    gui_visible = false;
    gui_close_menus();
    session_record(power_on);
}

void record_draw(int handle)
{
    dialog_drag_step(dialog.drag, handle);
    if (dialog_button_released(dialog.reset_pressed)) {
        start(true);
        return;
    }
    if (dialog_button_released(dialog.now_pressed)) {
        start(false);
        return;
    }
    const int x = dialog_slots[handle].x;
    const int y = dialog_slots[handle].y;
    draw_window_frame(x, y, x + WIDTH, y + HEIGHT, "Record input");
    draw_text(x + 3, y + 14, rgb(220, 220, 220), "Start from power-on or now?");
    draw_button(x + RESET_X, y + BUTTON_Y, "Reset", dialog.reset_pressed);
    draw_button(x + NOW_X, y + BUTTON_Y, "Now", dialog.now_pressed);
}

bool on_button(int dx, int dy, int button_x)
{
    return button_x < dx && dx < button_x + 40 && BUTTON_Y < dy && dy < BUTTON_Y + 13;
}

void record_click(int handle)
{
    const int dx = mouse_x - dialog_slots[handle].x;
    const int dy = mouse_y - dialog_slots[handle].y;
    if (dy <= 9 && dx <= WIDTH - 10) {
        dialog_drag_start(dialog.drag);
    } else if (dy < 9 && dx > WIDTH - 9) {
        close_record();
    } else if (on_button(dx, dy, RESET_X) || on_button(dx, dy, NOW_X)) {
        (on_button(dx, dy, RESET_X) ? dialog.reset_pressed : dialog.now_pressed) = true;
        mouse_clicked = 0;
    }
}

}  // namespace

void gui_open_record()
{
    if (!dialog_shows(dialog.handle, record_draw)) {
        dialog = RecordDialog {};
        dialog.handle = dialog_open(50, 60, WIDTH, HEIGHT, record_draw, record_click);
    }
}
