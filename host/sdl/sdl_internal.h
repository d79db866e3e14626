// What the parts of the SDL host layer share among themselves.
#pragma once

#include <SDL.h>

#include "host/log.h"

// The window, or null while no video driver runs.
SDL_Window* vid_window();
// Where the whole back buffer lies in window coordinates (parts of it may
// be outside the window when only the picture is shown).
SDL_FRect vid_picture_rect();
// Keeps video_active in step with the window's state.
void vid_window_event(const SDL_WindowEvent& event);

// The key auto-repeat's share of a timer tick.
void key_repeat_tick();

// The user's own way out: the shutdown hooks run, no message is shown.
[[noreturn]] inline void quit_orderly()
{
    fatal_exit("%s", "");
}
