// Window events, keyboard, mouse, game pads and joysticks on SDL, gathered into the
// input state the rest of the program reads.
#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <utility>

#include "host/draw.h"
#include "host/input.h"
#include "host/log.h"
#include "host/sdl/pad.h"
#include "host/sdl/sdl_host.h"
#include "host/sdl/sdl_internal.h"
#include "machine/scheduler.h"
#include "ui/config.h"

namespace {

using ScanCodeTable = std::array<uint8_t, SDL_NUM_SCANCODES>;

// PC set-1 scan codes by SDL scancode; 0 for keys the program ignores. The
// cursor keys, right Alt and keypad Enter take the codes of their keypad or
// left-hand twins, so the rest of the program sees one code for each.
constexpr ScanCodeTable make_scan_codes()
{
    constexpr std::pair<SDL_Scancode, uint8_t> PAIRS[] = {
        {SDL_SCANCODE_ESCAPE, 0x01},
        {SDL_SCANCODE_1, 0x02},
        {SDL_SCANCODE_2, 0x03},
        {SDL_SCANCODE_3, 0x04},
        {SDL_SCANCODE_4, 0x05},
        {SDL_SCANCODE_5, 0x06},
        {SDL_SCANCODE_6, 0x07},
        {SDL_SCANCODE_7, 0x08},
        {SDL_SCANCODE_8, 0x09},
        {SDL_SCANCODE_9, 0x0A},
        {SDL_SCANCODE_0, 0x0B},
        {SDL_SCANCODE_MINUS, 0x0C},
        {SDL_SCANCODE_EQUALS, 0x0D},
        {SDL_SCANCODE_BACKSPACE, 0x0E},
        {SDL_SCANCODE_TAB, 0x0F},
        {SDL_SCANCODE_Q, 0x10},
        {SDL_SCANCODE_W, 0x11},
        {SDL_SCANCODE_E, 0x12},
        {SDL_SCANCODE_R, 0x13},
        {SDL_SCANCODE_T, 0x14},
        {SDL_SCANCODE_Y, 0x15},
        {SDL_SCANCODE_U, 0x16},
        {SDL_SCANCODE_I, 0x17},
        {SDL_SCANCODE_O, 0x18},
        {SDL_SCANCODE_P, 0x19},
        {SDL_SCANCODE_LEFTBRACKET, 0x1A},
        {SDL_SCANCODE_RIGHTBRACKET, 0x1B},
        {SDL_SCANCODE_RETURN, 0x1C},
        {SDL_SCANCODE_LCTRL, 0x1D},
        {SDL_SCANCODE_A, 0x1E},
        {SDL_SCANCODE_S, 0x1F},
        {SDL_SCANCODE_D, 0x20},
        {SDL_SCANCODE_F, 0x21},
        {SDL_SCANCODE_G, 0x22},
        {SDL_SCANCODE_H, 0x23},
        {SDL_SCANCODE_J, 0x24},
        {SDL_SCANCODE_K, 0x25},
        {SDL_SCANCODE_L, 0x26},
        {SDL_SCANCODE_SEMICOLON, 0x27},
        {SDL_SCANCODE_APOSTROPHE, 0x28},
        {SDL_SCANCODE_GRAVE, 0x29},
        {SDL_SCANCODE_LSHIFT, 0x2A},
        {SDL_SCANCODE_BACKSLASH, 0x2B},
        {SDL_SCANCODE_NONUSHASH, 0x2B},
        {SDL_SCANCODE_Z, 0x2C},
        {SDL_SCANCODE_X, 0x2D},
        {SDL_SCANCODE_C, 0x2E},
        {SDL_SCANCODE_V, 0x2F},
        {SDL_SCANCODE_B, 0x30},
        {SDL_SCANCODE_N, 0x31},
        {SDL_SCANCODE_M, 0x32},
        {SDL_SCANCODE_COMMA, 0x33},
        {SDL_SCANCODE_PERIOD, 0x34},
        {SDL_SCANCODE_SLASH, 0x35},
        {SDL_SCANCODE_RSHIFT, 0x36},
        {SDL_SCANCODE_KP_MULTIPLY, 0x37},
        {SDL_SCANCODE_LALT, 0x38},
        {SDL_SCANCODE_SPACE, 0x39},
        {SDL_SCANCODE_CAPSLOCK, 0x3A},
        {SDL_SCANCODE_F1, 0x3B},
        {SDL_SCANCODE_F2, 0x3C},
        {SDL_SCANCODE_F3, 0x3D},
        {SDL_SCANCODE_F4, 0x3E},
        {SDL_SCANCODE_F5, 0x3F},
        {SDL_SCANCODE_F6, 0x40},
        {SDL_SCANCODE_F7, 0x41},
        {SDL_SCANCODE_F8, 0x42},
        {SDL_SCANCODE_F9, 0x43},
        {SDL_SCANCODE_F10, 0x44},
        {SDL_SCANCODE_NUMLOCKCLEAR, 0x45},
        {SDL_SCANCODE_SCROLLLOCK, 0x46},
        {SDL_SCANCODE_KP_7, 0x47},
        {SDL_SCANCODE_KP_8, 0x48},
        {SDL_SCANCODE_KP_9, 0x49},
        {SDL_SCANCODE_KP_MINUS, 0x4A},
        {SDL_SCANCODE_KP_4, 0x4B},
        {SDL_SCANCODE_KP_5, 0x4C},
        {SDL_SCANCODE_KP_6, 0x4D},
        {SDL_SCANCODE_KP_PLUS, 0x4E},
        {SDL_SCANCODE_KP_1, 0x4F},
        {SDL_SCANCODE_KP_2, 0x50},
        {SDL_SCANCODE_KP_3, 0x51},
        {SDL_SCANCODE_KP_0, 0x52},
        {SDL_SCANCODE_KP_PERIOD, 0x53},
        {SDL_SCANCODE_NONUSBACKSLASH, 0x56},
        {SDL_SCANCODE_F11, 0x57},
        {SDL_SCANCODE_F12, 0x58},
        {SDL_SCANCODE_RCTRL, 0x9D},
        {SDL_SCANCODE_KP_DIVIDE, 0xB5},
        {SDL_SCANCODE_PRINTSCREEN, 0xB7},
        {SDL_SCANCODE_PAUSE, 0xC5},
        {SDL_SCANCODE_HOME, 0xC7},
        {SDL_SCANCODE_PAGEUP, 0xC9},
        {SDL_SCANCODE_END, 0xCF},
        {SDL_SCANCODE_PAGEDOWN, 0xD1},
        {SDL_SCANCODE_INSERT, 0xD2},
        {SDL_SCANCODE_DELETE, 0xD3},
        {SDL_SCANCODE_LGUI, 0xDB},
        {SDL_SCANCODE_RGUI, 0xDC},
        {SDL_SCANCODE_APPLICATION, 0xDD},
        // Folded onto their twins.
        {SDL_SCANCODE_UP, 0x48},
        {SDL_SCANCODE_LEFT, 0x4B},
        {SDL_SCANCODE_RIGHT, 0x4D},
        {SDL_SCANCODE_DOWN, 0x50},
        {SDL_SCANCODE_RALT, 0x38},
        {SDL_SCANCODE_KP_ENTER, 0x1C},
    };
    ScanCodeTable codes {};
    for (const auto& [scancode, code] : PAIRS)
        codes[scancode] = code;
    return codes;
}

constexpr ScanCodeTable SCAN_CODES = make_scan_codes();

// Ticks from a press to its first repeat is REPEAT_DELAY + REPEAT_PERIOD.
constexpr int32_t REPEAT_DELAY = 20;
constexpr int32_t REPEAT_PERIOD = 9;

// The key being auto-repeated, shared with the timer thread that repeats it.
std::atomic<int32_t> held_key {0};
std::atomic<int32_t> repeat_start {0};
std::atomic<int32_t> repeat_count {0};

static_assert(PAD_BUTTON_COUNT == SDL_CONTROLLER_BUTTON_MISC1 + 1, "the pad layout follows SDL's numbering");

// The two devices read as joysticks 1 and 2: a pad SDL knows the layout of
// (`pad` set) or a plain joystick.
struct Device {
    SDL_Joystick* joystick;
    SDL_GameController* pad;
};
Device devices[2] = {};
bool cursor_shown = true;
// Keys pressed since the last poll began, and those of them already let go:
// a tap shorter than a frame is held until the next poll, or the keys that
// the game and the menus read once a frame would never see it.
std::array<bool, 256> pressed_this_poll = {};
std::array<bool, 256> release_next_poll = {};

void release_key(uint8_t code)
{
    key_state[code].store(0, std::memory_order_relaxed);
    if (code == held_key.load()) {
        held_key.store(0);
        repeat_start.store(0);
        repeat_count.store(0);
    }
}

void release_taps_of_last_poll()
{
    for (int code = 0; code < 256; ++code) {
        if (release_next_poll[code])
            release_key(static_cast<uint8_t>(code));
    }
    release_next_poll = {};
    pressed_this_poll = {};
}

void key_event(const SDL_KeyboardEvent& event)
{
    // The timer thread makes its own repeats, at the emulator's pace.
    if (event.repeat)
        return;
    const uint8_t code = SCAN_CODES[event.keysym.scancode];
    if (code == 0)
        return;
    if (event.state == SDL_PRESSED) {
        last_key.store(code, std::memory_order_relaxed);
        key_state[code].store(0x80, std::memory_order_relaxed);
        pressed_this_poll[code] = true;
        release_next_poll[code] = false;
        if (code != held_key.load()) {
            repeat_start.store(key_clock.load(std::memory_order_relaxed));
            repeat_count.store(0);
            held_key.store(code);
        }
    } else if (pressed_this_poll[code]) {
        release_next_poll[code] = true;
    } else {
        release_key(code);
    }
}

// Alt with `key` belongs to the desktop or to this layer, never to the game
// or a dialog: the keys are released and nothing repeats or reads as typed.
void swallow_alt_combination(uint8_t key)
{
    key_clear(key);
    key_clear(KEY_LALT);
    held_key.store(0);
    uint8_t typed = key;
    last_key.compare_exchange_strong(typed, 0, std::memory_order_relaxed);
}

void handle_hot_keys()
{
    if (!key_down(KEY_LALT))
        return;
    if (key_down(KEY_X))
        quit_orderly();
    if (key_down(KEY_TAB)) {
        swallow_alt_combination(KEY_TAB);
    } else if (key_down(KEY_ENTER)) {
        swallow_alt_combination(KEY_ENTER);
        settings.fullscreen = !settings.fullscreen;
        vid_apply_mode();
    }
}

void mouse_button_event(const SDL_MouseButtonEvent& event)
{
    if (event.button == SDL_BUTTON_LEFT) {
        mouse_left = event.state == SDL_PRESSED ? 1 : 0;
        mouse_pressed |= mouse_left;
    }
    mouse_clicked = 1;
}

void mouse_wheel_event(const SDL_MouseWheelEvent& event)
{
    // One notch is 120, as the menus expect.
    const int notches = event.direction == SDL_MOUSEWHEEL_FLIPPED ? -event.y : event.y;
    mouse_wheel += 120 * notches;
}

// Window coordinate `position` in a span of `size` starting at `start`, in
// units of `pixels` pixels across the span; may lie outside 0..pixels-1.
int pointer_to_pixel(int position, float start, float size, int pixels)
{
    return static_cast<int>(std::floor((position - start) * pixels / size));
}

void mouse_update()
{
    const SDL_FRect picture = vid_picture_rect();
    if (picture.w <= 0 || picture.h <= 0)
        return;
    int pointer_x = 0;
    int pointer_y = 0;
    SDL_GetMouseState(&pointer_x, &pointer_y);
    const int x = pointer_to_pixel(pointer_x, picture.x, picture.w, screen_image.width);
    const int y = pointer_to_pixel(pointer_y, picture.y, picture.h, screen_image.height);
    mouse_x = std::clamp(x, 0, screen_image.width - 1);
    mouse_y = std::clamp(y, 0, screen_image.height - 1);
    // Over the picture the menus draw a pointer of their own, and a light
    // gun its cross-hair; without them the system's pointer stays.
    const bool inside = x == mouse_x && y == mouse_y;
    const bool aiming = settings.player1 == DEVICE_LIGHTGUN || settings.player2 == DEVICE_LIGHTGUN;
    const bool show = !((gui_visible || aiming) && inside);
    if (show != cursor_shown) {
        SDL_ShowCursor(show ? SDL_ENABLE : SDL_DISABLE);
        cursor_shown = show;
    }
}

void joystick_detect()
{
    for (Device& device : devices) {
        if (device.pad)
            SDL_GameControllerClose(device.pad);
        else if (device.joystick)
            SDL_JoystickClose(device.joystick);
        device = Device {};
    }
    int opened = 0;
    for (int index = 0; index < SDL_NumJoysticks() && opened < 2; ++index) {
        Device& device = devices[opened];
        if (SDL_IsGameController(index) && (device.pad = SDL_GameControllerOpen(index)))
            device.joystick = SDL_GameControllerGetJoystick(device.pad);
        else
            device.joystick = SDL_JoystickOpen(index);
        if (device.joystick)
            joysticks[opened++].unplugged = 0;
    }
    // A missing joystick stands centred with no button down.
    for (int slot = opened; slot < 2; ++slot)
        joysticks[slot] = joystick_released();
}

void joystick_poll()
{
    for (int slot = 0; slot < 2; ++slot) {
        const Device& device = devices[slot];
        // One that does not answer keeps its last position and buttons.
        if (!device.joystick || !SDL_JoystickGetAttached(device.joystick))
            continue;
        if (device.pad) {
            PadReading pad {};
            for (int i = 0; i < PAD_BUTTON_COUNT; ++i)
                pad.buttons[i] = SDL_GameControllerGetButton(device.pad, static_cast<SDL_GameControllerButton>(i));
            pad.left_x = SDL_GameControllerGetAxis(device.pad, SDL_CONTROLLER_AXIS_LEFTX);
            pad.left_y = SDL_GameControllerGetAxis(device.pad, SDL_CONTROLLER_AXIS_LEFTY);
            pad_to_joystick(pad, joysticks[slot]);
        } else {
            bool buttons[JOYSTICK_BUTTONS] = {};
            const int count = std::min(SDL_JoystickNumButtons(device.joystick), JOYSTICK_BUTTONS);
            for (int i = 0; i < count; ++i)
                buttons[i] = SDL_JoystickGetButton(device.joystick, i);
            joystick_from_axes(SDL_JoystickGetAxis(device.joystick, 0), SDL_JoystickGetAxis(device.joystick, 1),
                buttons, joysticks[slot]);
        }
    }
}

}  // namespace

void key_repeat_tick()
{
    const int32_t key = held_key.load();
    if (key == 0 || repeat_start.load() + REPEAT_DELAY >= key_clock.load(std::memory_order_relaxed))
        return;
    if (repeat_count.fetch_add(1) + 1 < REPEAT_PERIOD)
        return;
    repeat_count.store(0);
    key_state[key].store(1);
    last_key.store(static_cast<uint8_t>(key), std::memory_order_relaxed);
    // A release clears the entry before it forgets the held key. If one
    // raced this repeat, take the repeat back, or the key would look held
    // for good; a hot key's clear of a key still held is repeated as usual.
    if (held_key.load() != key) {
        uint8_t repeated = 1;
        key_state[key].compare_exchange_strong(repeated, 0);
    }
}

void input_open()
{
    // A game left running in a window keeps answering its joystick while
    // another window has the focus: a joystick belongs to no window.
    SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
    if (!SDL_WasInit(SDL_INIT_GAMECONTROLLER) && SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) != 0)
        fatal_exit("SDL_Init game controller: %s", SDL_GetError());
    joystick_detect();
}

void input_poll()
{
    mouse_pressed = 0;
    release_taps_of_last_poll();
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
        switch (event.type) {
        case SDL_QUIT:  // also SIGINT and SIGTERM
            quit_orderly();
        case SDL_WINDOWEVENT:
            vid_window_event(event.window);
            break;
        case SDL_KEYDOWN:
        case SDL_KEYUP:
            key_event(event.key);
            // A combination tapped faster than a frame would be released
            // again by the end of the queue: each press is checked at once.
            if (event.type == SDL_KEYDOWN)
                handle_hot_keys();
            break;
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP:
            mouse_button_event(event.button);
            break;
        case SDL_MOUSEWHEEL:
            mouse_wheel_event(event.wheel);
            break;
        case SDL_DROPFILE:
            if (file_drop_handler)
                file_drop_handler(event.drop.file);
            SDL_free(event.drop.file);
            break;
        case SDL_DROPTEXT:
            SDL_free(event.drop.file);
            break;
        case SDL_JOYDEVICEADDED:
        case SDL_JOYDEVICEREMOVED:
            joystick_detect();
            break;
        }
    }
    mouse_update();
    handle_hot_keys();
    joystick_poll();
}
