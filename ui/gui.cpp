#include "ui/gui.h"

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
