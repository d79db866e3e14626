#include "host/input.h"
#include "machine/lightgun.h"
#include "machine/machine.h"
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

// Where each of a player's six inputs lands (0 = pressed): up, down, left,
// right, button 1, button 2. Player 2's lines straddle both ports.
struct PadLine {
    bool port_dd;  // else port 0xDC
    uint8_t bit;
};
constexpr PadLine PLAYER1_LINES[6]
    = {{false, 0x01}, {false, 0x02}, {false, 0x04}, {false, 0x08}, {false, 0x10}, {false, 0x20}};
constexpr PadLine PLAYER2_LINES[6]
    = {{false, 0x40}, {false, 0x80}, {true, 0x01}, {true, 0x02}, {true, 0x04}, {true, 0x08}};

// What one player holds this frame, whatever the device.
struct PlayerInput {
    bool up, down, left, right, button1, button2, pause;
};

bool joystick_button(const JoystickState& joystick, int32_t button)
{
    return button >= 0 && button < JOYSTICK_BUTTONS && joystick.buttons[button] != 0;
}

PlayerInput read_joystick(const JoystickState& joystick, int32_t button1, int32_t button2, int32_t pause)
{
    return {joystick.up != 0, joystick.down != 0, joystick.left != 0, joystick.right != 0,
        joystick_button(joystick, button1), joystick_button(joystick, button2), joystick_button(joystick, pause)};
}

PlayerInput read_player(int32_t device)
{
    switch (device) {
    case DEVICE_KEYBOARD:
        return {game_key_down(settings.kup), game_key_down(settings.kdown), game_key_down(settings.kleft),
            game_key_down(settings.kright), game_key_down(settings.kb1), game_key_down(settings.kb2),
            game_key_down(settings.kpause)};
    case DEVICE_JOYSTICK1:
        return read_joystick(joysticks[0], settings.j1b1, settings.j1b2, settings.j1pause);
    case DEVICE_JOYSTICK2:
        return read_joystick(joysticks[1], settings.j2b1, settings.j2b2, settings.j2pause);
    case DEVICE_LIGHTGUN:
        // The trigger is wired to button 1's line, TL.
        return {false, false, false, false, lightgun_trigger(), false, false};
    default:
        return {};
    }
}

void clear_bit_if(uint8_t& port, uint8_t bit, bool held)
{
    if (held)
        port &= static_cast<uint8_t>(~bit);
}

void press_lines(const PlayerInput& input, const PadLine (&lines)[6])
{
    const bool held[6] = {input.up, input.down, input.left, input.right, input.button1, input.button2};
    for (int i = 0; i < 6; ++i)
        clear_bit_if(lines[i].port_dd ? machine.port_dd : machine.port_dc, lines[i].bit, held[i]);
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
        return machine.port_dc;
    case 0xC1:
        return machine.port_dd & ~lightgun_th_low_bits();
    default:
        return 0xFF;
    }
}

void SMS_PortOut(int port, int value)
{
    const uint8_t byte = static_cast<uint8_t>(value);
    port &= 0xFF;
    // The stereo register is taken on either console, as it always was:
    // the Master System's memory control port that 0x06 mirrors is not
    // modelled, and music logs of either console may pan.
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
        break;  // the memory control port (even ports below 0x40) is not modelled
    }
}

void SMS_UpdateControllers()
{
    machine.port_dc = 0xFF;
    machine.port_dd = 0xFF;
    machine.gg_port0 = 0xFF;

    const PlayerInput p1 = read_player(settings.player1);
    press_lines(p1, PLAYER1_LINES);
    if (machine.is_gg && p1.pause)
        machine.gg_port0 = 0x7F;

    // Player 2's start inverts the bit, so both players holding it cancel out.
    const PlayerInput p2 = read_player(settings.player2);
    press_lines(p2, PLAYER2_LINES);
    if (machine.is_gg && p2.pause)
        machine.gg_port0 ^= GG_START;

    // Bit 6 is set on export consoles, clear on Japanese ones.
    if (machine.is_gg && !settings.usa)
        machine.gg_port0 &= static_cast<uint8_t>(~GG_REGION);

    // Left Shift with Tab is the hard reset instead.
    clear_bit_if(machine.port_dd, DD_RESET, game_key_down(KEY_TAB) && !key_down(KEY_LSHIFT));

    // Pause is one edge-triggered NMI per press, whoever holds it.
    const bool pause = game_key_down(settings.kpause) || joystick_button(joysticks[0], settings.j1pause)
        || joystick_button(joysticks[1], settings.j2pause);
    if (!pause) {
        machine.pause_latch = false;
    } else if (!machine.is_gg && !machine.pause_latch) {
        machine.pause_latch = true;
        Z80_NMI();
    }
}
