// Game pads of a known layout (those in SDL's game controller database) and
// plain joysticks, turned into the joystick records the controllers read.
// Nothing here calls SDL, so the mapping can be tested on its own.
#pragma once

#include <cstdint>

#include "host/input.h"

// SDL's standard pad layout, in SDL's own numbering.
enum PadButton {
    PAD_SOUTH,
    PAD_EAST,
    PAD_WEST,
    PAD_NORTH,
    PAD_BACK,
    PAD_GUIDE,
    PAD_START,
    PAD_LEFT_STICK,
    PAD_RIGHT_STICK,
    PAD_LEFT_SHOULDER,
    PAD_RIGHT_SHOULDER,
    PAD_DPAD_UP,
    PAD_DPAD_DOWN,
    PAD_DPAD_LEFT,
    PAD_DPAD_RIGHT,
    PAD_MISC,
    PAD_BUTTON_COUNT
};

struct PadReading {
    bool buttons[PAD_BUTTON_COUNT];
    int16_t left_x, left_y;  // the left stick, -32768..32767
};

// The pad as a joystick: the left stick is its position and, with the
// D-pad, steers; its buttons take the twelve button numbers in the order
// south, east, Start, west, north, Back, the shoulders, the stick clicks,
// Guide and the extra button, so that the default bindings (buttons 0, 1
// and 2) give button 1, button 2 and pause, and a binding made by pressing
// a button keeps naming that button.
void pad_to_joystick(const PadReading& pad, JoystickState& joystick);

// A plain joystick: axes 0 and 1 (-32768..32767) and its first twelve
// buttons as they are numbered.
void joystick_from_axes(int16_t x, int16_t y, const bool (&buttons)[JOYSTICK_BUTTONS], JoystickState& joystick);

// A joystick standing centred with no button down.
JoystickState joystick_released();
