// A GUI with no window and no game, worked between frames as a user works it:
// keys pressed, pointer moved and clicked, one gui_frame at a time.
#pragma once

#include <gtest/gtest.h>

#include "host/draw.h"
#include "host/headless/headless.h"
#include "host/input.h"
#include "host/tests/scratch_directory.h"
#include "machine/machine.h"
#include "machine/scheduler.h"
#include "sound/psg.h"
#include "sound/psg_log.h"
#include "ui/config.h"
#include "ui/dialog.h"
#include "ui/gui.h"
#include "ui/tests/gui_input.h"

class GuiDriver : public ::testing::Test {
protected:
    ScratchDirectory scratch;

    void SetUp() override
    {
        config_path = nullptr;
        settings = Settings {};
        headless_video_start(32);
        vid_fill_mode = 1;
        dialog_reset();
        gui_close_menus();
        for (auto& key : key_state)
            key.store(0);
        last_key.store(0);
        mouse_x = mouse_y = mouse_left = mouse_clicked = mouse_wheel = 0;
        gui_visible = true;
        quit_run = false;
        // Left over from a test before, in the same process.
        if (psg_logging)
            psg_log_stop();
        psg_set_sound(true);
    }

    void TearDown() override
    {
        SMS_FreeMachine();
        SMS_FreeROM();
        dialog_reset();
    }

    // One key pressed and released within a frame, as the SDL layer reports it.
    static void tap(int code)
    {
        key_state[code].store(0x80);
        last_key.store(static_cast<uint8_t>(code));
        gui_frame();
        key_state[code].store(0);
    }
};
