#include "host/input.h"

#include <chrono>
#include <thread>

std::atomic<uint8_t> key_state[256];
std::atomic<uint8_t> last_key;

int32_t mouse_x;
int32_t mouse_y;
int32_t mouse_left;
int32_t mouse_clicked;
int32_t mouse_pressed;
int32_t mouse_wheel;

JoystickState joysticks[2];

bool (*window_takes_key)(int code) = nullptr;

std::atomic<int32_t> frame_ticks;
std::atomic<int32_t> tick_count;
std::atomic<int32_t> key_clock;

bool (*file_drop_handler)(const std::string& path) = nullptr;

void host_sleep_ms(int milliseconds)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}
