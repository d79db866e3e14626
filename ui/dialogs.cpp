// The small dialogs: "Input", "Configure Keyboard", "Configure Joystick 1"
// and "2", "Save PSG..." and the about box.

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "host/draw.h"
#include "host/file.h"
#include "host/input.h"
#include "host/log.h"
#include "machine/scheduler.h"
#include "sound/psg_log.h"
#include "ui/config.h"
#include "ui/dialog.h"
#include "ui/gui.h"
#include "ui/key_names.h"

namespace {

// The longest name the Save PSG field takes, as long as a derived file name.
constexpr size_t PSG_NAME_MAX = 255;

struct DialogState {
    int handle = -1;
    DialogDrag drag;
    bool close_pressed = false;  // or the dialog's one other push button
    int selected = 0;  // capture row; 0 for none
};

DialogState input_dialog;
DialogState keyboard_dialog;
DialogState joystick_dialogs[2];
DialogState save_psg_dialog;
DialogState about_dialog;
std::string psg_name;
// The name of an existing file the player was asked about: saving under it
// once more replaces that file.
std::string psg_name_to_replace;

// Offsets of the pointer from the window's top-left corner.
struct Offset {
    int dx;
    int dy;
};

Offset pointer_offset(int handle)
{
    return {mouse_x - dialog_slots[handle].x, mouse_y - dialog_slots[handle].y};
}

void close_dialog(DialogState& dialog)
{
    dialog_close(dialog.handle);
    dialog.handle = -1;
    dialog.selected = 0;
    dialog.close_pressed = false;
}

// The start of each frame of a dialog whose push button closes it: follows a
// drag, and closes the dialog when the button is released. False once closed.
bool step_dialog(DialogState& dialog, int handle)
{
    dialog_drag_step(dialog.drag, handle);
    if (dialog_button_released(dialog.close_pressed)) {
        close_dialog(dialog);
        return false;
    }
    return true;
}

uint32_t label_colour()
{
    return rgb(220, 220, 220);
}

uint32_t value_colour()
{
    return rgb(255, 255, 255);
}

// A black box with one value in it, or the capture cursor while it waits
// for a key or button.
void draw_value_box(int x, int y, int k, bool capturing, const char* value)
{
    vid_rect(x + 61, y + 12 + 10 * k, x + 140, y + 20 + 10 * k, 0, screen_image);
    if (capturing) {
        text_goto(x + 62, y + 13 + 10 * k);
        dialog_capture_cursor();
    } else {
        draw_text(x + 62, y + 13 + 10 * k, value_colour(), value);
    }
}

// Starts or ends a capture: while one waits, the dialog takes ESC too, which
// cancels it instead of being bound or hiding the menus.
void set_capture(DialogState& d, int row, DialogKeys idle_keys)
{
    d.selected = row;
    if (d.handle >= 0)
        dialog_slots[d.handle].keys = row != 0 ? DIALOG_KEYS_AND_ESCAPE : idle_keys;
}

// The key typed into the dialog since its last frame, 0 for none: only the
// topmost window that takes keys reads them.
uint8_t take_typed_key(int handle)
{
    if (!dialog_owns_keyboard(handle))
        return 0;
    return last_key.exchange(0, std::memory_order_relaxed);
}

// The row of a binding dialog under the pointer: rows are 9 pixels high,
// 10 apart from dy 12; 0 for none.
int binding_row(Offset at, int rows)
{
    if (at.dx <= 60 || at.dx > 130 || at.dy < 12)
        return 0;
    const int row = (at.dy - 12) / 10 + 1;
    return row <= rows && (at.dy - 12) % 10 <= 8 ? row : 0;
}

// Input.

const char* const DEVICE_NAMES[] = {
    "None", "Keys", "Joystick 1", "Joystick 2", "Paddle (mouse)", "Paddle (stick 1)", "Paddle (stick 2)", "Light gun"};
constexpr int DEVICE_CHOICES = sizeof DEVICE_NAMES / sizeof DEVICE_NAMES[0];

const char* device_name(int device)
{
    return device >= 0 && device < DEVICE_CHOICES ? DEVICE_NAMES[device] : DEVICE_NAMES[0];
}

void input_draw(int handle)
{
    DialogState& d = input_dialog;
    if (!step_dialog(d, handle))
        return;
    const int x = dialog_slots[handle].x;
    const int y = dialog_slots[handle].y;
    draw_window_frame(x, y, x + 143, y + 50, "Input");
    draw_text(x + 3, y + 13, label_colour(), "Player 1:");
    draw_text(x + 3, y + 23, label_colour(), "Player 2:");
    vid_rect(x + 45, y + 12, x + 140, y + 20, 0, screen_image);
    vid_rect(x + 45, y + 22, x + 140, y + 30, 0, screen_image);
    draw_text(x + 46, y + 13, value_colour(), device_name(settings.player1));
    draw_text(x + 46, y + 23, value_colour(), device_name(settings.player2));
    draw_button(x + 51, y + 34, "Close", d.close_pressed);
}

void next_device(int32_t& device)
{
    device = (device + 1) % DEVICE_CHOICES;
    // One click, one step: the button is taken as released.
    mouse_clicked = 0;
    mouse_left = 0;
}

void input_click(int handle)
{
    DialogState& d = input_dialog;
    const Offset at = pointer_offset(handle);
    if (at.dy < 10 && at.dx < 133) {
        dialog_drag_start(d.drag);
        return;
    }
    if (45 < at.dx && at.dx < 140 && 12 <= at.dy && at.dy <= 20)
        next_device(settings.player1);
    else if (45 < at.dx && at.dx < 140 && 22 <= at.dy && at.dy <= 30)
        next_device(settings.player2);
    else if (at.dy < 9 && at.dx > 133)
        close_dialog(d);
    else if (51 < at.dx && at.dx < 91 && 34 < at.dy && at.dy < 47) {
        d.close_pressed = true;
        mouse_clicked = 0;
    }
}

// Configure Keyboard.

int32_t* const KEY_BINDINGS[] = {
    &settings.kup, &settings.kdown, &settings.kleft, &settings.kright, &settings.kb1, &settings.kb2, &settings.kpause};
const char* const KEY_LABELS[] = {"Up: ", "Down: ", "Left: ", "Right: ", "Button 1: ", "Button 2: ", "Pause/Start: "};
constexpr int KEY_ROWS = 7;

// What the program's own keys do; a control bound to one would also do that
// at every press (F5 saving a state).
const char* hot_key_use(int key)
{
    if (key >= KEY_1 && key <= KEY_0)
        return "chooses a save slot";
    switch (key) {
    case KEY_TAB:
        return "is the console's reset button";
    case KEY_LALT:
        return "starts the program's key combinations";
    case KEY_F5:
        return "saves the state";
    case KEY_F7:
        return "loads the state";
    case KEY_F8:
        return "takes a screenshot";
    case KEY_F9:
        return "rewinds";
    case KEY_F10:
        return "fast-forwards";
    default:
        return nullptr;
    }
}

void keyboard_draw(int handle)
{
    DialogState& d = keyboard_dialog;
    if (!step_dialog(d, handle))
        return;
    // The next key typed ends a capture; ESC cancels it. The key typed is
    // used up, so that it does not also act (F5 saving a state). One of the
    // program's own keys is refused, and the capture waits on.
    const uint8_t key = take_typed_key(handle);
    if (key != 0 && d.selected != 0) {
        key_clear(key);
        if (const char* use = hot_key_use(key)) {
            show_message(std::string(key_name(key)) + " " + use + " in tarven: choose another key");
        } else {
            if (key != KEY_ESC)
                *KEY_BINDINGS[d.selected - 1] = key;
            set_capture(d, 0, DIALOG_KEYS_TAKEN);
        }
    }
    const int x = dialog_slots[handle].x;
    const int y = dialog_slots[handle].y;
    draw_window_frame(x, y, x + 150, y + 100, "Configure Keyboard");
    for (int k = 0; k < KEY_ROWS; ++k) {
        text_colour(label_colour());
        text_print_right(x + 60, y + 13 + 10 * k, KEY_LABELS[k]);
        draw_value_box(x, y, k, d.selected == k + 1, key_name(*KEY_BINDINGS[k]));
    }
    draw_button(x + 55, y + 85, "Close", d.close_pressed);
}

// The title bar and rows of the two binding dialogs; `close_top` is the dy
// just above their Close button. Without `can_capture` a row shows why it
// cannot be bound instead of waiting.
void binding_click(DialogState& d, int handle, int rows, int close_top, DialogKeys idle_keys, bool can_capture)
{
    const Offset at = pointer_offset(handle);
    if (at.dy <= 9 && at.dx < 120) {
        dialog_drag_start(d.drag);
    } else if (at.dy <= 8 && at.dx > 120) {
        close_dialog(d);
    } else if (const int row = binding_row(at, rows)) {
        if (can_capture)
            set_capture(d, row, idle_keys);
        mouse_clicked = 0;
    } else if (close_top < at.dy && at.dy < close_top + 13 && 55 < at.dx && at.dx < 95) {
        d.close_pressed = true;
        mouse_clicked = 0;
    }
}

void keyboard_click(int handle)
{
    binding_click(keyboard_dialog, handle, KEY_ROWS, 85, DIALOG_KEYS_TAKEN, true);
}

// Configure Joystick 1 and 2.

int32_t* const JOYSTICK_BINDINGS[2][3] = {
    {&settings.j1b1, &settings.j1b2, &settings.j1pause},
    {&settings.j2b1, &settings.j2b2, &settings.j2pause},
};
const char* const JOYSTICK_LABELS[] = {"Button 1: ", "Button 2: ", "Pause/Start: "};
const char* const JOYSTICK_TITLES[] = {"Configure Joystick 1", "Configure Joystick 2"};
constexpr int JOYSTICK_ROWS = 3;

void joystick_draw(int j, int handle)
{
    DialogState& d = joystick_dialogs[j];
    if (!step_dialog(d, handle))
        return;
    // The first button down ends a capture; ESC cancels it.
    for (int button = 0; button < JOYSTICK_BUTTONS; ++button) {
        if (!joysticks[j].buttons[button])
            continue;
        if (d.selected != 0)
            *JOYSTICK_BINDINGS[j][d.selected - 1] = button;
        set_capture(d, 0, DIALOG_KEYS_NONE);
        break;
    }
    if (d.selected != 0 && take_typed_key(handle) == KEY_ESC) {
        key_clear(KEY_ESC);
        set_capture(d, 0, DIALOG_KEYS_NONE);
    }
    const int x = dialog_slots[handle].x;
    const int y = dialog_slots[handle].y;
    draw_window_frame(x, y, x + 150, y + 64, JOYSTICK_TITLES[j]);
    for (int k = 0; k < JOYSTICK_ROWS; ++k) {
        text_colour(label_colour());
        text_print_right(x + 60, y + 13 + 10 * k, JOYSTICK_LABELS[k]);
        const std::string value = "JButton " + std::to_string(*JOYSTICK_BINDINGS[j][k]);
        draw_value_box(x, y, k, d.selected == k + 1, value.c_str());
    }
    if (joysticks[j].unplugged)
        draw_text(x + 3, y + 49, rgb(255, 200, 60), "No joystick");
    draw_button(x + 55, y + 45, "Close", d.close_pressed);
}

void joystick1_draw(int handle)
{
    joystick_draw(0, handle);
}

void joystick2_draw(int handle)
{
    joystick_draw(1, handle);
}

void joystick1_click(int handle)
{
    binding_click(joystick_dialogs[0], handle, JOYSTICK_ROWS, 45, DIALOG_KEYS_NONE, !joysticks[0].unplugged);
}

void joystick2_click(int handle)
{
    binding_click(joystick_dialogs[1], handle, JOYSTICK_ROWS, 45, DIALOG_KEYS_NONE, !joysticks[1].unplugged);
}

// Save PSG.

void save_psg_draw(int handle);

// Where a file lies, for a player who never chose the current folder.
std::string full_path(const std::string& path)
{
    char whole[PATH_MAX];
    return realpath(path.c_str(), whole) ? whole : path;
}

// An old file of that name is replaced only when the player saves under
// it a second time, after being asked, and stays until the recording
// replaces it. A failure is shown and keeps the dialog open, the recording
// with it, to try another name or throw it away with the close box. True
// once closed.
bool save_music()
{
    if (psg_name.empty())
        return false;
    if (psg_name != psg_name_to_replace && file_exists(psg_name)) {
        psg_name_to_replace = psg_name;
        show_message(psg_name + " exists already: Save again to replace it, or type another name");
        return false;
    }
    if (!psg_log_save(psg_name))
        return false;
    show_message("Music saved to " + full_path(psg_name));
    close_dialog(save_psg_dialog);
    return true;
}

// At exit, a recording still waiting for its name is kept under the name
// offered (or the first free one like it), and the player is told where.
void keep_unnamed_music()
{
    if (!dialog_shows(save_psg_dialog.handle, save_psg_draw) || !file_exists(PSG_LOG_TEMPORARY))
        return;
    const std::string offered = psg_name.empty() ? "music.PSG" : psg_name;
    const size_t dot = offered.find_last_of('.');
    const size_t stem = dot == std::string::npos || dot < offered.find_last_of('/') + 1 ? offered.size() : dot;
    std::string name = offered;
    for (int number = 1; file_exists(name); ++number)
        name = offered.substr(0, stem) + "-" + std::to_string(number) + offered.substr(stem);
    if (!psg_log_save(name))
        return;
    const std::string note = "The music recording was not saved by name: it is kept as " + full_path(name);
    std::fprintf(stderr, "tarven: %s\n", note.c_str());
    log_write("%s", note.c_str());
    exit_note_failure(note.c_str());
}

// Types the key into the name field; false for a key that types nothing
// (Left Shift among them), which is left down.
bool type_key(int key)
{
    if (key == KEY_BACKSPACE) {
        if (!psg_name.empty())
            psg_name.pop_back();
        return true;
    }
    if (key >= KEY_CHAR_HALF)
        return false;
    const bool shifted = key_down(KEY_LSHIFT);
    const char c = key_chars[(shifted ? KEY_CHAR_HALF : 0) + key];
    if (c == 0)
        return false;
    // Only what the font can show goes into a name: no control characters.
    if (c >= ' ' && c < 127 && psg_name.size() < PSG_NAME_MAX)
        psg_name += c;
    return true;
}

void save_psg_draw(int handle)
{
    DialogState& d = save_psg_dialog;
    dialog_drag_step(d.drag, handle);
    const uint8_t key = take_typed_key(handle);
    if (key == KEY_ENTER || dialog_button_released(d.close_pressed)) {
        key_clear(key);
        if (save_music())
            return;
    }
    if (key != 0 && type_key(key))
        key_clear(key);
    const int x = dialog_slots[handle].x;
    const int y = dialog_slots[handle].y;
    draw_window_frame(x, y, x + 143, y + 48, "Save PSG...");
    draw_text(x + 3, y + 11, label_colour(), "Save Music:");
    vid_rect(x + 10, y + 20, x + 140, y + 28, 0, screen_image);
    // A name too long for the box shows its end, where the typing happens.
    const int room = 128 - text_width("\x7f");
    size_t first = 0;
    while (text_width(psg_name.c_str() + first) > room)
        ++first;
    draw_text(x + 11, y + 21, value_colour(), psg_name.c_str() + first);
    dialog_capture_cursor();
    draw_button(x + 51, y + 32, "Save", d.close_pressed);
}

void save_psg_click(int handle)
{
    DialogState& d = save_psg_dialog;
    const Offset at = pointer_offset(handle);
    if (at.dy <= 9 && at.dx <= 133) {
        dialog_drag_start(d.drag);
    } else if (at.dy < 9 && at.dx > 134) {
        // The recording is thrown away.
        std::remove(PSG_LOG_TEMPORARY);
        close_dialog(d);
    } else if (32 < at.dy && at.dy < 45 && 51 < at.dx && at.dx <= 90) {
        d.close_pressed = true;
        mouse_clicked = 0;
    }
}

// About.

// The day this file was compiled, "Dec 9 2026": the compiler pads a day
// below 10 with a space.
std::string build_date()
{
    std::string date = __DATE__;
    if (date[4] == ' ')
        date.erase(4, 1);
    return date;
}

void about_draw(int handle)
{
    dialog_drag_step(about_dialog.drag, handle);
    const int x = dialog_slots[handle].x;
    const int y = dialog_slots[handle].y;
    draw_window_frame(x, y, x + 200, y + 70, "About TARVEN");
    text_colour(label_colour());
    text_print_centred(x + 100, y + 15, "tarven %s, built %s", TARVEN_VERSION, build_date().c_str());
    text_print_centred(x + 100, y + 23, "Sega Master System and");
    text_print_centred(x + 100, y + 31, "Game Gear emulator for Linux");
    text_print_centred(x + 100, y + 47, "ESC shows the menus");
    text_print_centred(x + 100, y + 55, "Settings are kept in tarven.cfg");
}

void about_click(int handle)
{
    const Offset at = pointer_offset(handle);
    if (at.dy < 10 && at.dx <= 192)
        dialog_drag_start(about_dialog.drag);
    else if (at.dy < 9 && at.dx > 193)
        close_dialog(about_dialog);
}

void open_once(DialogState& d, int x, int y, int width, int height, DialogHandler draw, DialogHandler click,
    DialogKeys keys = DIALOG_KEYS_NONE)
{
    if (!dialog_shows(d.handle, draw)) {
        d = DialogState {};
        d.handle = dialog_open(x, y, width, height, draw, click);
        dialog_slots[d.handle].keys = keys;
    }
}

}  // namespace

void gui_open_input()
{
    open_once(input_dialog, 20, 60, 143, 50, input_draw, input_click);
}

void gui_open_keyboard()
{
    open_once(keyboard_dialog, 50, 40, 150, 100, keyboard_draw, keyboard_click, DIALOG_KEYS_TAKEN);
}

void gui_open_joystick(int joystick)
{
    if (joystick == 0)
        open_once(joystick_dialogs[0], 50, 40, 150, 64, joystick1_draw, joystick1_click);
    else
        open_once(joystick_dialogs[1], 50, 40, 150, 64, joystick2_draw, joystick2_click);
}

void gui_open_about()
{
    open_once(about_dialog, 28, 51, 200, 70, about_draw, about_click);
}

void gui_open_save_psg(const std::string& name)
{
    static bool keeping = false;
    if (!keeping)
        exit_hook_add(keep_unnamed_music, "Unnamed music recording");
    keeping = true;
    psg_name = name.substr(0, PSG_NAME_MAX);
    psg_name_to_replace.clear();
    last_key.store(0, std::memory_order_relaxed);
    gui_visible = true;
    open_once(save_psg_dialog, 50, 40, 143, 48, save_psg_draw, save_psg_click, DIALOG_KEYS_TAKEN);
}
