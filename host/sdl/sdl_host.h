// The desktop host layer of tarven on SDL2: the window and its back buffer,
// keyboard, mouse, joysticks and the frame timer. Nothing declared here needs
// SDL, so menus and dialogs can switch modes and rates without including it.
#pragma once

// Starts the video driver the settings ask for (full screen or windowed, 16 or
// 32 bits per pixel), replacing screen_image and the picture offsets. Safe to
// call again at any time: that is how the display mode is switched.
void vid_apply_mode();

// Opens up to two joysticks. The keyboard and mouse need no opening.
void input_open();

// Starts the frame timer at `rate` ticks a second (50 or 60) on its own
// thread and registers its shutdown hook.
void timer_start(int rate);
// Restarts the running timer at another rate (PAL or NTSC chosen).
void timer_set_rate(int rate);
void timer_stop();
// One tick of the frame timer: the counters and the key auto-repeat. The
// timer thread calls it; tests call it to step time by hand.
void timer_tick();

// Shows a fatal message in a message box titled "tarven".
void sdl_fatal_message(const char* message);
