#include <algorithm>
#include <cstdint>

#include "host/input.h"
#include "host/video.h"
#include "machine/interface_hooks.h"
#include "machine/lightgun.h"
#include "machine/machine.h"
#include "machine/scheduler.h"
#include "machine/settings.h"
#include "sound/psg.h"
#include "vdp/vdp.h"
#include "z80/z80.h"

namespace {

constexpr uint8_t DD_RESET = 0x10, DD_NATIONALISATION = 0xC0;
constexpr uint8_t GG_START = 0x80, GG_REGION = 0x40;

// The Master System tells its ports apart by A7, A6 and A0 alone; the Game
// Gear answers 0x00-0x06 itself first.
constexpr int PORT_DECODE = 0xC1;
constexpr int GG_LAST_PORT = 0x06;
constexpr int GG_STEREO_PORT = 0x06;

// Port 0x3F: per controller port, a direction bit (1 = input, pulled high)
// and an output level for TH.
constexpr uint8_t TH_A_INPUT = 0x02, TH_B_INPUT = 0x08, TH_A_HIGH = 0x20, TH_B_HIGH = 0x80;

// Where each of a pad's six lines lands (0 = pressed), in the order of the
// HELD_ bits: up, down, left, right, button 1, button 2. Player 2's lines
// straddle both ports.
struct PadLine {
    bool port_dd;  // else port 0xDC
    uint8_t bit;
};
constexpr PadLine PLAYER1_LINES[6]
    = {{false, 0x01}, {false, 0x02}, {false, 0x04}, {false, 0x08}, {false, 0x10}, {false, 0x20}};
constexpr PadLine PLAYER2_LINES[6]
    = {{false, 0x40}, {false, 0x80}, {true, 0x01}, {true, 0x02}, {true, 0x04}, {true, 0x08}};

bool joystick_button(const JoystickState& joystick, int32_t button)
{
    return button >= 0 && button < JOYSTICK_BUTTONS && joystick.buttons[button] != 0;
}

uint8_t pad_bits(bool up, bool down, bool left, bool right, bool button1, bool button2, bool start)
{
    return static_cast<uint8_t>((up ? HELD_UP : 0) | (down ? HELD_DOWN : 0) | (left ? HELD_LEFT : 0)
        | (right ? HELD_RIGHT : 0) | (button1 ? HELD_BUTTON1 : 0) | (button2 ? HELD_BUTTON2 : 0)
        | (start ? HELD_START : 0));
}

uint8_t read_joystick(const JoystickState& joystick, int32_t button1, int32_t button2, int32_t start)
{
    return pad_bits(joystick.up != 0, joystick.down != 0, joystick.left != 0, joystick.right != 0,
        joystick_button(joystick, button1), joystick_button(joystick, button2), joystick_button(joystick, start));
}

// What one player holds this frame, whatever the device.
uint8_t read_player(int32_t device)
{
    switch (device) {
    case DEVICE_KEYBOARD:
        return pad_bits(game_key_down(settings.kup), game_key_down(settings.kdown), game_key_down(settings.kleft),
            game_key_down(settings.kright), game_key_down(settings.kb1), game_key_down(settings.kb2),
            game_key_down(settings.kpause));
    case DEVICE_JOYSTICK1:
        return read_joystick(joysticks[0], settings.j1b1, settings.j1b2, settings.j1pause);
    case DEVICE_JOYSTICK2:
        return read_joystick(joysticks[1], settings.j2b1, settings.j2b2, settings.j2pause);
    // A paddle's button and the gun's trigger are wired to button 1's line, TL.
    case DEVICE_PADDLE:
        return pad_bits(false, false, false, false, mouse_left != 0, false, false);
    case DEVICE_PADDLE_JOYSTICK1:
        return pad_bits(false, false, false, false, joystick_button(joysticks[0], settings.j1b1), false, false);
    case DEVICE_PADDLE_JOYSTICK2:
        return pad_bits(false, false, false, false, joystick_button(joysticks[1], settings.j2b1), false, false);
    case DEVICE_LIGHTGUN:
        return pad_bits(false, false, false, false, lightgun_trigger(), false, false);
    default:
        return 0;
    }
}

PortDevice port_device(int32_t device)
{
    if (device >= DEVICE_PADDLE && device <= DEVICE_PADDLE_JOYSTICK2)
        return PortDevice::paddle;
    return device == DEVICE_LIGHTGUN ? PortDevice::lightgun : PortDevice::pad;
}

// The knob follows the pointer across the picture, or a stick from left to
// right.
uint8_t paddle_position(int32_t device)
{
    if (device == DEVICE_PADDLE)
        return static_cast<uint8_t>(std::clamp(mouse_x - picture_x_offset, 0, 255));
    return static_cast<uint8_t>(joysticks[device - DEVICE_PADDLE_JOYSTICK1].x >> 8);
}

Controls read_controls()
{
    Controls held;
    for (int player = 0; player < 2; ++player) {
        const int32_t device = player ? settings.player2 : settings.player1;
        held.pads[player] = read_player(device);
        held.devices[player] = port_device(device);
        if (held.devices[player] == PortDevice::paddle)
            held.paddles[player] = paddle_position(device);
        // Only a gun takes the pointer, so that sessions without one record no aim.
        if (held.devices[player] == PortDevice::lightgun) {
            held.aim_x = static_cast<int16_t>(std::clamp(mouse_x - picture_x_offset, INT16_MIN + 0, INT16_MAX + 0));
            held.aim_y = static_cast<int16_t>(std::clamp(mouse_y - picture_y_offset, INT16_MIN + 0, INT16_MAX + 0));
        }
    }
    // Pause is the console's own button, whoever holds it; Left Shift with
    // Tab is the hard reset instead of the reset button.
    if (game_key_down(settings.kpause) || joystick_button(joysticks[0], settings.j1pause)
        || joystick_button(joysticks[1], settings.j2pause))
        held.console |= CONSOLE_PAUSE;
    if (game_key_down(KEY_TAB) && !key_down(KEY_LSHIFT))
        held.console |= CONSOLE_RESET;
    return held;
}

void clear_bit_if(uint8_t& port, uint8_t bit, bool held)
{
    if (held)
        port &= static_cast<uint8_t>(~bit);
}

void press_lines(uint8_t pad, const PadLine (&lines)[6], uint8_t& port_dc, uint8_t& port_dd)
{
    for (int i = 0; i < 6; ++i)
        clear_bit_if(lines[i].port_dd ? port_dd : port_dc, lines[i].bit, (pad >> i) & 1);
}

// The two TH lines' levels, port A's in bit 0 and port B's in bit 1.
unsigned th_levels(uint8_t control)
{
    const bool a = (control & TH_A_INPUT) || (control & TH_A_HIGH);
    const bool b = (control & TH_B_INPUT) || (control & TH_B_HIGH);
    return unsigned(a) | unsigned(b) << 1;
}

void io_control_write(uint8_t byte)
{
    // A gun's latch earlier in the line comes first.
    lightgun_catch_up();
    // TH rising on either port latches the H counter, as a light gun's
    // sensor does.
    if (th_levels(byte) & ~th_levels(machine.io_control))
        vdp_latch_hcounter();
    machine.io_control = byte;
    // Export consoles echo the two output bits on the nationalisation
    // bits; Japanese ones do not, which is how games tell them apart.
    if (settings.usa && (byte & 0x0F) == 0x05) {
        if ((byte & 0xF0) == 0xF0)
            machine.port_dd |= DD_NATIONALISATION;
        else
            machine.port_dd &= static_cast<uint8_t>(~DD_NATIONALISATION);
    }
}

// The paddle (HPD-200) sends its knob's 8-bit position four bits at a time
// on the direction lines (a 1 bit is a line left high), the low half while
// its TR line (button 2's) is low and the high half while it is high,
// switching halves on its own clock whatever the console does; its button
// is button 1's. Export consoles get the same device: the games that look
// for another paddle there find none, as on the console.
constexpr int PADDLE_HALF_CYCLES = 256;  // how long the paddle holds each half

uint8_t paddle_lines(int player)
{
    const int32_t cycle = vdp.vcounter * CYCLES_PER_LINE + Z80_GetElapsedCycles();
    const bool high = (cycle / PADDLE_HALF_CYCLES) & 1;
    const uint8_t position = machine_controls.paddles[player];
    const uint8_t half = high ? position >> 4 : position & 0x0F;
    // The button is in the pad's bits, pressed on the port already.
    return pad_bits(!(half & 1), !(half & 2), !(half & 4), !(half & 8), false, !high, false);
}

// A controller port as read now: a paddle's lines, and a light gun's TH,
// change between reads.
int controller_port(bool port_b)
{
    uint8_t port_dc = machine.port_dc;
    uint8_t port_dd = machine.port_dd;
    if (machine_controls.devices[0] == PortDevice::paddle)
        press_lines(paddle_lines(0), PLAYER1_LINES, port_dc, port_dd);
    if (machine_controls.devices[1] == PortDevice::paddle)
        press_lines(paddle_lines(1), PLAYER2_LINES, port_dc, port_dd);
    return port_b ? port_dd & ~lightgun_th_low_bits() : port_dc;
}

}  // namespace

int SMS_PortIn(int port)
{
    port &= 0xFF;
    if (machine.is_gg && port <= GG_LAST_PORT) {
        switch (port) {
        case 0x00:
            return machine.gg_port0;
        case 0x01:
            return machine.port1_latch;
        case 0x04:
            return 0x00;
        case 0x05:
            return 0x04;
        default:
            return 0xFF;
        }
    }
    switch (port & PORT_DECODE) {
    case 0x40:
        return vdp_vcounter_read();
    case 0x41:
        lightgun_catch_up();
        return vdp_hcounter_read();
    case 0x80:
        return vdp_data_read();
    case 0x81:
        return vdp_status_read();
    case 0xC0:
        return controller_port(false);
    case 0xC1:
        return controller_port(true);
    default:
        return 0xFF;
    }
}

void SMS_PortOut(int port, int value)
{
    const uint8_t byte = static_cast<uint8_t>(value);
    port &= 0xFF;
    // The stereo register is taken on either console, as it always was, in
    // place of the memory control port that 0x06 mirrors on a Master System:
    // music logs of either console may pan.
    if (port == GG_STEREO_PORT) {
        gg_stereo_write(byte);
        return;
    }
    if (machine.is_gg && port <= GG_LAST_PORT) {
        if (port == 0x01)
            machine.port1_latch = byte;
        return;
    }
    switch (port & PORT_DECODE) {
    case 0x01:
        io_control_write(byte);
        break;
    case 0x00:
        SMS_MemoryControlWrite(byte);
        break;
    case 0x40:
    case 0x41:
        psg_write(byte);
        break;
    case 0x80:
        vdp_data_write(byte);
        break;
    case 0x81:
        vdp_control_write(byte);
        break;
    default:
        break;
    }
}

void SMS_UpdateControllers()
{
    Controls held = read_controls();
    if (interface_hooks.controls)
        interface_hooks.controls(held);
    machine_controls = held;

    machine.port_dc = 0xFF;
    machine.port_dd = 0xFF;
    machine.gg_port0 = 0xFF;

    press_lines(held.pads[0], PLAYER1_LINES, machine.port_dc, machine.port_dd);
    if (machine.is_gg && (held.pads[0] & HELD_START))
        machine.gg_port0 = 0x7F;

    // Player 2's start inverts the bit, so both players holding it cancel out.
    press_lines(held.pads[1], PLAYER2_LINES, machine.port_dc, machine.port_dd);
    if (machine.is_gg && (held.pads[1] & HELD_START))
        machine.gg_port0 ^= GG_START;

    // Bit 6 is set on export consoles, clear on Japanese ones.
    if (machine.is_gg && !settings.usa)
        machine.gg_port0 &= static_cast<uint8_t>(~GG_REGION);

    clear_bit_if(machine.port_dd, DD_RESET, held.console & CONSOLE_RESET);

    // Pause is one edge-triggered NMI per press.
    if (!(held.console & CONSOLE_PAUSE)) {
        machine.pause_latch = false;
    } else if (!machine.is_gg && !machine.pause_latch) {
        machine.pause_latch = true;
        Z80_NMI();
    }
}
