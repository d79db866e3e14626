#include "host/sdl/pad.h"

namespace {

// Positions run 0..65535 with the middle half of the range as dead zone.
constexpr uint32_t AXIS_CENTRE = 32768;
constexpr uint32_t AXIS_RANGE = 65535;
constexpr uint32_t DEAD_ZONE_START = AXIS_RANGE / 4;
constexpr uint32_t DEAD_ZONE_END = AXIS_RANGE / 4 + AXIS_RANGE / 2;

constexpr PadButton BUTTON_ORDER[JOYSTICK_BUTTONS] = {PAD_SOUTH, PAD_EAST, PAD_START, PAD_WEST, PAD_NORTH, PAD_BACK,
    PAD_LEFT_SHOULDER, PAD_RIGHT_SHOULDER, PAD_LEFT_STICK, PAD_RIGHT_STICK, PAD_GUIDE, PAD_MISC};

void set_position(int16_t x, int16_t y, JoystickState& joystick)
{
    joystick.x = static_cast<uint32_t>(x + 32768);
    joystick.y = static_cast<uint32_t>(y + 32768);
    joystick.left = joystick.x < DEAD_ZONE_START;
    joystick.right = joystick.x > DEAD_ZONE_END;
    joystick.up = joystick.y < DEAD_ZONE_START;
    joystick.down = joystick.y > DEAD_ZONE_END;
}

}  // namespace

void pad_to_joystick(const PadReading& pad, JoystickState& joystick)
{
    set_position(pad.left_x, pad.left_y, joystick);
    joystick.up |= pad.buttons[PAD_DPAD_UP];
    joystick.down |= pad.buttons[PAD_DPAD_DOWN];
    joystick.left |= pad.buttons[PAD_DPAD_LEFT];
    joystick.right |= pad.buttons[PAD_DPAD_RIGHT];
    for (int i = 0; i < JOYSTICK_BUTTONS; ++i)
        joystick.buttons[i] = pad.buttons[BUTTON_ORDER[i]] ? 1u << i : 0;
}

void joystick_from_axes(int16_t x, int16_t y, const bool (&buttons)[JOYSTICK_BUTTONS], JoystickState& joystick)
{
    set_position(x, y, joystick);
    for (int i = 0; i < JOYSTICK_BUTTONS; ++i)
        joystick.buttons[i] = buttons[i] ? 1u << i : 0;
}

JoystickState joystick_released()
{
    return JoystickState {AXIS_CENTRE, AXIS_CENTRE, {}, 0, 0, 0, 0, 1};
}
