#include <algorithm>

#include "host/draw.h"
#include "host/headless/headless.h"
#include "host/input.h"
#include "host/video.h"
#include "sound/mixer.h"

void (*headless_frame_hook)(int frame) = nullptr;

namespace {

uint32_t back_buffer[HEADLESS_WIDTH * HEADLESS_HEIGHT];
int frames_polled = 0;
std::vector<InputEvent> script;
size_t next_event = 0;

void deliver(const InputEvent& event)
{
    switch (event.kind) {
    case InputEvent::KEY:
        key_state[event.a].store(event.b ? 0x80 : 0, std::memory_order_relaxed);
        if (event.b)
            last_key.store(static_cast<uint8_t>(event.a), std::memory_order_relaxed);
        break;
    case InputEvent::MOUSE:
        mouse_x = std::clamp(event.a, 0, screen_image.width - 1);
        mouse_y = std::clamp(event.b, 0, screen_image.height - 1);
        break;
    case InputEvent::BUTTON:
        mouse_left = event.a;
        mouse_pressed |= event.a;
        mouse_clicked = 1;
        break;
    case InputEvent::WHEEL:
        mouse_wheel += event.a;
        break;
    case InputEvent::JOYSTICK_BUTTON:
        joysticks[event.a / JOYSTICK_BUTTONS].buttons[event.a % JOYSTICK_BUTTONS]
            = event.b ? 1u << (event.a % JOYSTICK_BUTTONS) : 0;
        break;
    case InputEvent::DROP:
        if (file_drop_handler)
            file_drop_handler(event.path);
        break;
    }
}

}  // namespace

void headless_video_start(int depth)
{
    const PixelFormat* format = depth == 15 ? &PIXEL_FORMAT_555 : depth == 16 ? &PIXEL_FORMAT_565 : &PIXEL_FORMAT_8888;
    video_driver = VideoDriver {0, "headless", "Memory back buffer", format, nullptr, nullptr};
    screen_image = Image {
        HEADLESS_WIDTH, HEADLESS_HEIGHT, HEADLESS_WIDTH, 0, 0, HEADLESS_WIDTH - 1, HEADLESS_HEIGHT - 1, back_buffer};
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

void input_script_set(std::vector<InputEvent> events)
{
    std::stable_sort(
        events.begin(), events.end(), [](const InputEvent& a, const InputEvent& b) { return a.frame < b.frame; });
    script = std::move(events);
    next_event = 0;
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
    while (next_event < script.size() && script[next_event].frame <= frames_polled)
        deliver(script[next_event++]);
}
