#include "ui/gui.h"

#include <cstdio>

// The menu system is not built yet: the program runs with no menus, and these
// are the points where the frame loop hands over to it.

void gui_frame()
{
}

void gui_close_menus()
{
}

void gui_open_rom_selector()
{
}

// Without the dialog the finished log takes the offered name.
void gui_open_save_psg(const std::string& name)
{
    std::remove(name.c_str());
    std::rename("music.$$$", name.c_str());
}
