// The TMS9918's four older modes (Graphics I, Text, Graphics II and
// Multicolor) with their sprites, which every chip of these consoles keeps
// beside mode 4, and which are all the SG-1000's chip has.
#pragma once

#include <cstdint>

// True while the registers select one of the older modes: mode bit M4 is
// clear, or the chip is the TMS9918 itself.
bool vdp_tms_mode();

// The backdrop's colour in the older modes, as a host pixel value.
uint32_t tms_backdrop_colour();

// One line of the picture in the older modes: evaluates its sprites into
// the status (fifth sprite, collision) on every line, and draws the line
// into screen_image when `draw` is set.
void tms_line(int line, bool draw);
