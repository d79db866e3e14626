// SDL's dummy video driver with the window and the input open, as the main
// loop has them: events are pushed into SDL's queue and read back through
// input_poll.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>

#include "host/input.h"
#include "host/sdl/sdl_host.h"
#include "host/sdl/sdl_internal.h"
#include "machine/scheduler.h"
#include "ui/config.h"

inline void push_key(SDL_Scancode scancode, bool down, bool repeat = false)
{
    SDL_Event event {};
    event.type = down ? SDL_KEYDOWN : SDL_KEYUP;
    event.key.state = down ? SDL_PRESSED : SDL_RELEASED;
    event.key.repeat = repeat;
    event.key.keysym.scancode = scancode;
    SDL_PushEvent(&event);
}

inline void push_button(int button, bool down)
{
    SDL_Event event {};
    event.type = down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
    event.button.button = static_cast<uint8_t>(button);
    event.button.state = down ? SDL_PRESSED : SDL_RELEASED;
    SDL_PushEvent(&event);
}

class SdlFixture : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        setenv("SDL_VIDEODRIVER", "dummy", 1);
        settings = Settings {};
        vid_apply_mode();
        input_open();
    }

    void SetUp() override
    {
        settings = Settings {};
        gui_visible = false;
        vid_apply_mode();
        input_poll();
        for (int code = 0; code < 256; ++code)
            key_clear(code);
        last_key = 0;
    }
};
