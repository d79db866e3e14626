// Input state gathered by the platform layer and read by the rest of the
// program. Keys are numbered by PC set-1 scan code. Values shared with the
// timer thread (key auto-repeat, tick counters) are atomics.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

// Scan codes the program itself acts on.
enum KeyCode : uint8_t {
    KEY_ESC = 0x01,
    KEY_1 = 0x02,
    KEY_9 = 0x0A,
    KEY_0 = 0x0B,
    KEY_BACKSPACE = 0x0E,
    KEY_TAB = 0x0F,
    KEY_P = 0x19,
    KEY_ENTER = 0x1C,
    KEY_L = 0x26,
    KEY_LSHIFT = 0x2A,
    KEY_X = 0x2D,
    KEY_LALT = 0x38,
    KEY_F5 = 0x3F,
    KEY_F7 = 0x41,
    KEY_F8 = 0x42,
    KEY_F9 = 0x43,
    KEY_F10 = 0x44,
};

// 0x80 down, 1 down and re-asserted by auto-repeat, 0 up.
extern std::atomic<uint8_t> key_state[256];
// Most recent key-down or auto-repeat; readers set it back to 0.
extern std::atomic<uint8_t> last_key;

// Mouse, in screen_image pixels.
extern int32_t mouse_x;
extern int32_t mouse_y;
extern int32_t mouse_left;
extern int32_t mouse_clicked;
// The left button went down during the last input poll, which the GUI reads
// in the same frame: a click pressed and released within one frame still
// reaches the window under the pointer, and one made while the menus were
// hidden is forgotten.
extern int32_t mouse_pressed;
extern int32_t mouse_wheel;

constexpr int JOYSTICK_BUTTONS = 12;

struct JoystickState {
    uint32_t x;
    uint32_t y;
    uint32_t buttons[JOYSTICK_BUTTONS];  // non-zero while pressed
    uint8_t up, down, left, right;
    uint8_t unplugged;  // 1 while no device is read as this joystick
};

extern JoystickState joysticks[2];

// Frame timer counters, written by the timer thread; it notifies waiters on
// frame_ticks at every tick.
extern std::atomic<int32_t> frame_ticks;
extern std::atomic<int32_t> tick_count;
extern std::atomic<int32_t> key_clock;

// Gathers one round of input: window events, keyboard, mouse, joysticks.
// Provided by the platform layer the program links.
void input_poll();

// True when the key is down (or auto-repeated).
inline bool key_down(int code)
{
    return key_state[code & 0xFF].load(std::memory_order_relaxed) != 0;
}

// Asked before a key acts in the game's controllers or as a hot key: true
// when a window of the interface takes that key instead (a list being moved
// through, a name being typed, a key being captured). Programs with an
// interface install it; without one every key belongs to the game.
extern bool (*window_takes_key)(int code);

// key_down for the game's controllers and the hot keys.
inline bool game_key_down(int code)
{
    return key_down(code) && !(window_takes_key && window_takes_key(code));
}

inline void key_clear(int code)
{
    key_state[code & 0xFF].store(0, std::memory_order_relaxed);
}

void host_sleep_ms(int milliseconds);

// Takes the path of a file dropped on the window (in tarven-headless, of a
// script's drop event); the program sets it. Returns whether it was taken.
extern bool (*file_drop_handler)(const std::string& path);

// Restarts the frame timer at `rate` ticks a second (50 or 60), when PAL or
// NTSC is chosen. Provided by the platform layer.
void timer_set_rate(int rate);
