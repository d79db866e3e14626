// The SDL layer's mappings on SDL's dummy video driver, checked against what
// the rest of the program names: every key the key configuration names comes
// from the key of that name, every hot key reaches the code the program
// tests, the mouse's buttons and wheel reach the menus and dialogs as they
// expect them, the pad's buttons take their documented numbers, and the
// frame timer mixes one frame of sound at the rate chosen.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <thread>

#include "host/input.h"
#include "host/sdl/sdl_host.h"
#include "host/sdl/sdl_internal.h"
#include "host/tests/scratch_directory.h"
#include "machine/scheduler.h"
#include "sdl_fixture.h"
#include "sound/mixer.h"
#include "ui/config.h"
#include "ui/key_names.h"

namespace {

// SDL's name of the key each of our names stands for where the two differ.
// The names of the keypad's keys are those of the cursor block they double
// as, with Num Lock off.
const std::map<std::string, std::string> SDL_NAMES
    = {{"ESC", "Escape"}, {"BACKSP", "Backspace"}, {"TAB", "Tab"}, {"ENTER", "Return"}, {"CTRL", "Left Ctrl"},
        {"LSHIFT", "Left Shift"}, {"RSHIFT", "Right Shift"}, {"GREYSTAR", "Keypad *"}, {"ALT", "Left Alt"},
        {"SPACE", "Space"}, {"CAPS", "CapsLock"}, {"NUMLOCK", "Numlock"}, {"SCRLOCK", "ScrollLock"},
        {"HOME", "Keypad 7"}, {"UP", "Keypad 8"}, {"PGUP", "Keypad 9"}, {"GREYMINUS", "Keypad -"}, {"LEFT", "Keypad 4"},
        {"PAD5", "Keypad 5"}, {"RIGHT", "Keypad 6"}, {"GREYPLUS", "Keypad +"}, {"END", "Keypad 1"},
        {"DOWN", "Keypad 2"}, {"PGDN", "Keypad 3"}, {"INSERT", "Keypad 0"}, {"DEL", "Keypad ."}};

SDL_Scancode sdl_key(const std::string& name)
{
    const auto found = SDL_NAMES.find(name);
    return SDL_GetScancodeFromName(found == SDL_NAMES.end() ? name.c_str() : found->second.c_str());
}

class KeyMap : public SdlFixture {
protected:
    // Presses and releases the key SDL calls `scancode`; the code it arrived as.
    static int press(SDL_Scancode scancode)
    {
        last_key = 0;
        push_key(scancode, true);
        input_poll();
        int down = 0;
        for (int code = 0; code < 256; ++code)
            if (key_state[code] == 0x80)
                down = down == 0 ? code : -1;  // more than one: none of them
        EXPECT_EQ(last_key, down) << SDL_GetScancodeName(scancode);
        push_key(scancode, false);
        input_poll();
        EXPECT_EQ(key_state[down & 0xFF], 0) << SDL_GetScancodeName(scancode);
        return down;
    }
};

// The key configuration and tarven.cfg name keys by these names: pressing
// the key of a name must give the code the name stands for.
TEST_F(KeyMap, EveryNamedKeyArrivesAsTheCodeOfItsName)
{
    for (int code = 1; code < KEY_NAME_COUNT; ++code) {
        const std::string name = key_names[code];
        if (name.empty())
            continue;
        const SDL_Scancode scancode = sdl_key(name);
        ASSERT_NE(scancode, SDL_SCANCODE_UNKNOWN) << name;
        EXPECT_EQ(press(scancode), code) << name;
    }
    EXPECT_STREQ(key_name(press(SDL_SCANCODE_F11)), "F11");
    EXPECT_STREQ(key_name(press(SDL_SCANCODE_F12)), "F12");
    // The cursor keys and the other twins read as the keys they double.
    EXPECT_EQ(press(SDL_SCANCODE_UP), key_code_by_name("UP"));
    EXPECT_EQ(press(SDL_SCANCODE_DOWN), key_code_by_name("DOWN"));
    EXPECT_EQ(press(SDL_SCANCODE_LEFT), key_code_by_name("LEFT"));
    EXPECT_EQ(press(SDL_SCANCODE_RIGHT), key_code_by_name("RIGHT"));
    EXPECT_EQ(press(SDL_SCANCODE_RALT), key_code_by_name("ALT"));
    EXPECT_EQ(press(SDL_SCANCODE_KP_ENTER), key_code_by_name("ENTER"));
}

// The keys the program acts on, by the names the menus and the about box
// show them under.
TEST_F(KeyMap, HotKeysArriveAsTheCodesTheProgramTests)
{
    const std::pair<const char*, int> HOT_KEYS[] = {{"Escape", KEY_ESC}, {"F5", KEY_F5}, {"F7", KEY_F7}, {"L", KEY_L},
        {"P", KEY_P}, {"X", KEY_X}, {"Tab", KEY_TAB}, {"Left Shift", KEY_LSHIFT}, {"Left Alt", KEY_LALT},
        {"Return", KEY_ENTER}, {"Backspace", KEY_BACKSPACE}, {"0", KEY_0}};
    for (const auto& [name, code] : HOT_KEYS)
        EXPECT_EQ(press(SDL_GetScancodeFromName(name)), code) << name;
    // The digits 1 to 9 select the state slots from KEY_1 on.
    for (int digit = 1; digit <= 9; ++digit)
        EXPECT_EQ(press(SDL_GetScancodeFromName(std::to_string(digit).c_str())), KEY_1 + digit - 1) << digit;
    EXPECT_EQ(KEY_9, KEY_1 + 8);
}

// The left button drives the menus and dialogs; any button counts as a
// click. A wheel notch away from the user is +120, which moves a list up,
// also where the desktop reports the wheel flipped ("natural" scrolling).
TEST_F(KeyMap, MouseButtonsAndWheelReachTheMenusAsTheyExpectThem)
{
    auto press = [](int button, bool down) {
        push_button(button, down);
        mouse_clicked = 0;
        input_poll();
    };
    press(SDL_BUTTON_LEFT, true);
    EXPECT_EQ(mouse_left, 1);
    EXPECT_EQ(mouse_clicked, 1);
    press(SDL_BUTTON_LEFT, false);
    EXPECT_EQ(mouse_left, 0);
    EXPECT_EQ(mouse_clicked, 1);
    press(SDL_BUTTON_RIGHT, true);
    EXPECT_EQ(mouse_left, 0);
    EXPECT_EQ(mouse_clicked, 1);
    press(SDL_BUTTON_RIGHT, false);

    auto push_wheel = [](int notches, bool flipped) {
        SDL_Event event {};
        event.type = SDL_MOUSEWHEEL;
        event.wheel.y = notches;
        event.wheel.direction = flipped ? SDL_MOUSEWHEEL_FLIPPED : SDL_MOUSEWHEEL_NORMAL;
        SDL_PushEvent(&event);
        mouse_wheel = 0;
        input_poll();
        return mouse_wheel;
    };
    EXPECT_EQ(push_wheel(1, false), 120);
    EXPECT_EQ(push_wheel(-2, false), -240);
    EXPECT_EQ(push_wheel(-1, true), 120);
    mouse_wheel = 0;
}

// A pad of the standard layout numbers its buttons in the order the
// joystick dialogs and tarven.cfg name them; a binding saved with one pad
// names the same button on another.
TEST_F(KeyMap, PadButtonsTakeTheirDocumentedNumbers)
{
    const int index = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER, 6, 16, 0);
    ASSERT_GE(index, 0) << SDL_GetError();
    input_poll();
    SDL_Joystick* device = SDL_JoystickOpen(index);
    ASSERT_NE(device, nullptr);
    const SDL_GameControllerButton ORDER[] = {SDL_CONTROLLER_BUTTON_A, SDL_CONTROLLER_BUTTON_B,
        SDL_CONTROLLER_BUTTON_START, SDL_CONTROLLER_BUTTON_X, SDL_CONTROLLER_BUTTON_Y, SDL_CONTROLLER_BUTTON_BACK,
        SDL_CONTROLLER_BUTTON_LEFTSHOULDER, SDL_CONTROLLER_BUTTON_RIGHTSHOULDER, SDL_CONTROLLER_BUTTON_LEFTSTICK,
        SDL_CONTROLLER_BUTTON_RIGHTSTICK, SDL_CONTROLLER_BUTTON_GUIDE, SDL_CONTROLLER_BUTTON_MISC1};
    for (int number = 0; number < JOYSTICK_BUTTONS; ++number) {
        // A virtual pad's buttons are numbered as the standard layout's.
        SDL_JoystickSetVirtualButton(device, ORDER[number], SDL_PRESSED);
        input_poll();
        for (int button = 0; button < JOYSTICK_BUTTONS; ++button)
            EXPECT_EQ(joysticks[0].buttons[button] != 0, button == number)
                << SDL_GameControllerGetStringForButton(ORDER[number]) << " read as button " << button;
        SDL_JoystickSetVirtualButton(device, ORDER[number], SDL_RELEASED);
    }
    SDL_JoystickClose(device);
    SDL_JoystickDetachVirtual(index);
    input_poll();
}

// Each tick of the frame timer mixes one frame of sound, of the length the
// rate set last gives.
TEST_F(KeyMap, TheFrameTimerMixesOneFrameOfSoundPerTickAtTheRateSet)
{
    ScratchDirectory scratch;
    mixer_register_output("timer.wav");
    mixer_init(1, 60);
    mixer_voices_create();
    uintmax_t bytes = 44;
    for (const int rate : {50, 60, 50}) {
        const int32_t first = tick_count;
        timer_set_rate(rate);
        for (int wait = 0; wait < 500 && tick_count - first < 3; ++wait)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        timer_stop();
        const int32_t ticks = tick_count - first;
        ASSERT_GE(ticks, 3) << rate;
        bytes += static_cast<uintmax_t>(ticks) * 2 * (MIXER_RATE / rate);
    }
    mixer_shutdown();
    EXPECT_EQ(std::filesystem::file_size("timer.wav"), bytes);
}

// PAL slows the frame timer to 50 ticks a second. A tick never comes before
// its time, so ten ticks take at least 200 ms however busy the machine is;
// at NTSC's rate they would take 167 ms.
TEST_F(KeyMap, PalTicksFiftyTimesASecond)
{
    const auto start = std::chrono::steady_clock::now();
    const int32_t first = tick_count;
    timer_set_rate(50);
    while (tick_count - first < 10)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    const auto elapsed = std::chrono::steady_clock::now() - start;
    timer_stop();
    EXPECT_GE(elapsed, std::chrono::milliseconds(200));
}

}  // namespace
