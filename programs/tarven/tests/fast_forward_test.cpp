// tarven's main loop on SDL's dummy video driver with the frame timer
// running: held, F10 runs the demo many times faster than its frame rate,
// and once it is released the frames come at the timer's pace again at
// once, with no burst to make up for the time.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "host/log.h"
#include "host/sdl/sdl_host.h"
#include "host/sdl/sdl_internal.h"
#include "host/sdl/tests/sdl_fixture.h"
#include "machine/interface_hooks.h"
#include "machine/machine.h"
#include "machine/scheduler.h"
#include "sound/mixer.h"
#include "sound/psg.h"
#include "ui/config.h"

namespace {

int frames_left = 0;

void count_frame()
{
    if (--frames_left <= 0)
        quit_run = true;
}

// Runs the main loop for `frames` frames; gives the seconds they took.
double run_frames(int frames)
{
    frames_left = frames;
    const auto start = std::chrono::steady_clock::now();
    SMS_Run();
    quit_run = false;
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

TEST(FastForward, HeldRunsManyTimesTheFrameRateReleasedNoFasterThanIt)
{
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    config_path = nullptr;
    settings = Settings {};
    timer_start(settings.frame_rate);
    vid_apply_mode();
    input_open();
    mixer_register_output("none");
    mixer_init(2, settings.frame_rate);
    psg_create();
    SMS_SetupCPU();
    SMS_LoadROM(TARVEN_DEMO);
    SMS_InitMachine();
    interface_hooks.take_picture = count_frame;
    run_frames(5);

    // Each key takes effect at the next frame's input poll.
    push_key(SDL_SCANCODE_F10, true);
    run_frames(1);
    const int fast_frames = 1200;
    const double fast_seconds = run_frames(fast_frames);
    const double speed = fast_frames / fast_seconds / settings.frame_rate;
    std::printf("fast-forward: %d frames in %.2f s, %.1f times the frame rate\n", fast_frames, fast_seconds, speed);
    // Generous: the machine alone runs some 80 times the frame rate.
    EXPECT_GE(speed, 5.0);

    push_key(SDL_SCANCODE_F10, false);
    run_frames(1);
    const int paced_frames = 30;
    const double paced_seconds = run_frames(paced_frames);
    std::printf("then %d frames in %.2f s\n", paced_frames, paced_seconds);
    EXPECT_GE(paced_seconds, (paced_frames - 1.0) / settings.frame_rate);

    SMS_FreeMachine();
    SMS_FreeROM();
    mixer_shutdown();
    exit_hooks_run();
}
