// The self-drawn menu bar, its five menus and the dialogs they open.
#pragma once

#include <cstdint>
#include <string>

// Menu state: the flag is 1 while a pull-down menu is shown; the number is
// 1 File, 2 CPU, 3 View, 4 Settings, 5 Misc (0 or 255: none).
extern uint8_t menu_open;
extern uint8_t menu_number;

// Draws the open windows, routes the mouse, draws the menu bar, the open
// menu and the pointer. Called once per frame while the menus are shown.
void gui_frame();
// Whether a shown window takes the key from the game's controllers and the
// hot keys: while one that takes keys is open, every key but ESC, which
// still shows or hides the menus unless a capture waits for a key.
bool gui_takes_key(int code);
// Closes any open pull-down menu of the menu bar.
void gui_close_menus();
// Hands the interface's steps to the machine's main loop: menus, overlay
// and viewers at each frame's end, the hot keys that open the menus and the
// ROM selector, the menus alone while no ROM is loaded, the settings file
// kept whenever the machine is freed, and the controls recorded or played.
void gui_install_hooks();

// Draws the on-screen popups into the screen image, once per frame, inside
// what the window shows (the emulated picture, or the Game Gear's screen,
// unless the menus are shown), none over another.
void overlay();
// The message popup alone, as the menus without a game show it.
void overlay_message();

// Each opens its window unless it is already open.
void gui_open_rom_selector();
void gui_open_input();
void gui_open_keyboard();
void gui_open_joystick(int joystick);  // 0 or 1
void gui_open_about();
void gui_open_patterns();
void gui_open_palette();
// Asks whether a recording of the controls starts from power-on or now.
void gui_open_record();
// Opens a file chosen in the selector or dropped on the window: a recorded
// session (*.input) plays on the running game, anything else is opened as a
// cartridge. False when the file is refused, which the message popup says.
bool gui_open_file(const std::string& path);
// Asks the user to name the music log just finished in "music.$$$",
// offering `name`; closing the dialog instead deletes the log.
void gui_open_save_psg(const std::string& name);

// Menu widgets, drawn in the menu colours.
int menu_title(int x, const char* label, bool open);
void menu_item(int x, int y, const char* label, const char* shortcut, bool selectable);
void menu_check_item(int x, int y, const char* label, const char* shortcut, bool selectable, bool check);
bool menu_hit(int x, int y);
