// The self-drawn menu bar and dialog windows.
#pragma once

#include <string>

// Draws the menu bar and open dialogs over the picture and routes the mouse.
void gui_frame();
// Closes any open pull-down menu of the menu bar.
void gui_close_menus();
// Opens the ROM file selector unless it is already open.
void gui_open_rom_selector();
// Asks the user to name the music log just finished in "music.$$$",
// offering `name`.
void gui_open_save_psg(const std::string& name);
