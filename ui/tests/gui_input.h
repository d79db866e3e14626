// The pointer worked as the user works it, one GUI frame at a time.
#pragma once

#include "host/input.h"
#include "ui/gui.h"

// A left click at (x, y): pressed in one frame, released in the next.
inline void gui_click(int x, int y)
{
    mouse_x = x;
    mouse_y = y;
    for (int down : {1, 0}) {
        mouse_left = down;
        mouse_clicked = 1;
        gui_frame();
    }
}

// Opens the menu whose title starts at `menu_x` and clicks its entry at `y`.
inline void gui_choose(int menu_x, int y)
{
    gui_click(menu_x + 3, 4);
    gui_click(menu_x + 20, y + 4);
}
