#include "host/draw.h"
#include "host/headless/headless.h"
#include "host/input.h"
#include "host/video.h"
#include "sound/mixer.h"

void (*headless_frame_hook)(int frame) = nullptr;
void (*headless_input_hook)(int frame) = nullptr;

namespace {

uint32_t back_buffer[HEADLESS_WIDTH * PICTURE_LINES_MAX];
int frames_polled = 0;

// The image is the picture alone, as tall as it is.
void fit_image()
{
    screen_image = Image {
        HEADLESS_WIDTH, picture_height, HEADLESS_WIDTH, 0, 0, HEADLESS_WIDTH - 1, picture_height - 1, back_buffer};
}

}  // namespace

void headless_video_start(int depth)
{
    const PixelFormat* format = depth == 15 ? &PIXEL_FORMAT_555 : depth == 16 ? &PIXEL_FORMAT_565 : &PIXEL_FORMAT_8888;
    video_driver = VideoDriver {0, "headless", "Memory back buffer", format, nullptr, nullptr, fit_image};
    fit_image();
    picture_x_offset = 0;
    picture_y_offset = 0;
    video_active = 1;
}

// The memory back buffer has one size in either screen mode.
void vid_apply_mode()
{
}

// Time is simulated, one tick per frame at any rate; the sound mixed for
// each frame follows the rate.
void timer_set_rate(int rate)
{
    mixer_set_frame_rate(rate);
}

int headless_frame()
{
    return frames_polled;
}

void input_poll()
{
    // Stands in for the frame timer: exactly one tick per frame, so frames
    // run back to back and everything timed in ticks stays deterministic.
    frame_ticks.fetch_add(1, std::memory_order_relaxed);
    tick_count.fetch_add(1, std::memory_order_relaxed);
    key_clock.fetch_add(1, std::memory_order_relaxed);
    mixer_update();

    mouse_pressed = 0;
    ++frames_polled;
    if (headless_frame_hook)
        headless_frame_hook(frames_polled);
    if (headless_input_hook)
        headless_input_hook(frames_polled);
}
