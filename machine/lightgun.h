// The Light Phaser on either controller port: the mouse aims it, its left
// button is the trigger (TL) and its light sensor pulls TH low while the
// beam draws lit pixels in the spot the gun looks at. TH going active
// latches the video chip's H counter, which is how a game learns where the
// gun points.
#pragma once

#include <cstdint>

// Where the sensor sees light on a line just begun (after the renderer drew
// it), and the end of the line before: called at every line's start.
void lightgun_line(int line);
// Latches the H counter for a sensor that saw the beam at a cycle the CPU
// has passed: called before whatever reads or moves the latch.
void lightgun_catch_up();
// Port 0xDD's TH bits (0x40 port A, 0x80 port B) a sensor holds low now.
uint8_t lightgun_th_low_bits();
// Whether the trigger is pulled: the left button, while the menus are hidden.
bool lightgun_trigger();
