// The desktop host layer of tarven on SDL2: the window and its back buffer,
// keyboard, mouse, joysticks and the frame timer. Nothing declared here needs
// SDL, so menus and dialogs can switch modes and rates without including it.
#pragma once

// vid_apply_mode and timer_set_rate, which every platform layer provides.
#include "host/input.h"
#include "host/video.h"

// Opens up to two joysticks. The keyboard and mouse need no opening.
void input_open();

// Starts the frame timer at `rate` ticks a second (50 or 60) on its own
// thread and registers its shutdown hook.
void timer_start(int rate);
void timer_stop();
// One tick of the frame timer: the counters and the key auto-repeat. The
// timer thread calls it; tests call it to step time by hand.
void timer_tick();

// Shows a fatal message in a message box titled "tarven".
void sdl_fatal_message(const char* message);
