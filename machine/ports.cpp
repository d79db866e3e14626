#include "host/input.h"
#include "host/video.h"
#include "machine/machine.h"
#include "machine/scheduler.h"
#include "machine/settings.h"
#include "sound/psg.h"
#include "vdp/vdp.h"
#include "z80/z80.h"

namespace {

constexpr uint8_t DD_RESET = 0x10, DD_NATIONALISATION = 0xC0;
constexpr uint8_t GG_START = 0x80, GG_REGION = 0x40;

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
    default:
        return {};
    }
}

void clear_bit_if(uint8_t& port, uint8_t bit, bool held)
{
    if (held)
        port &= static_cast<uint8_t>(~bit);
}

void press_lines(const PlayerInput& input, const PadLine (&lines)[6], uint8_t& port_dc, uint8_t& port_dd)
{
    const bool held[6] = {input.up, input.down, input.left, input.right, input.button1, input.button2};
    for (int i = 0; i < 6; ++i)
        clear_bit_if(lines[i].port_dd ? port_dd : port_dc, lines[i].bit, held[i]);
}

// The paddle (HPD-200) sends its knob's 8-bit position four bits at a time
// on the direction lines (a 1 bit is a line left high), the low half while
// its TR line (button 2's) is low and the high half while it is high,
// switching halves on its own clock whatever the console does; its button
// is button 1's. Export consoles get the same device: the games that look
// for another paddle there find none, as on the console.
constexpr int PADDLE_HALF_CYCLES = 256;  // how long the paddle holds each half

PlayerInput paddle_lines(int player)
{
    const int32_t cycle = vdp.vcounter * CYCLES_PER_LINE + Z80_GetElapsedCycles();
    const bool high = (cycle / PADDLE_HALF_CYCLES) & 1;
    const uint8_t half = high ? machine.paddle_position[player] >> 4 : machine.paddle_position[player] & 0x0F;
    return {!(half & 1), !(half & 2), !(half & 4), !(half & 8), machine.paddle_button[player], !high, false};
}

bool is_paddle(int32_t device)
{
    return device >= DEVICE_PADDLE && device <= DEVICE_PADDLE_JOYSTICK2;
}

// A controller port as read now: a paddle's lines change between reads.
int controller_port(bool port_b)
{
    uint8_t port_dc = machine.port_dc;
    uint8_t port_dd = machine.port_dd;
    if (is_paddle(settings.player1))
        press_lines(paddle_lines(0), PLAYER1_LINES, port_dc, port_dd);
    if (is_paddle(settings.player2))
        press_lines(paddle_lines(1), PLAYER2_LINES, port_dc, port_dd);
    return port_b ? port_dd : port_dc;
}

// The knob follows the pointer across the picture, or a stick from left to
// right.
void read_paddle(int player, int32_t device)
{
    if (device == DEVICE_PADDLE) {
        const int32_t x = mouse_x - picture_x_offset;
        machine.paddle_position[player] = static_cast<uint8_t>(x < 0 ? 0 : x > 255 ? 255 : x);
        machine.paddle_button[player] = mouse_left != 0;
        return;
    }
    const int stick = device - DEVICE_PADDLE_JOYSTICK1;
    machine.paddle_position[player] = static_cast<uint8_t>(joysticks[stick].x >> 8);
    machine.paddle_button[player] = joystick_button(joysticks[stick], stick ? settings.j2b1 : settings.j1b1);
}

}  // namespace

int SMS_PortIn(int port)
{
    switch (port & 0xFF) {
    case 0x00:
        return machine.gg_port0;
    case 0x01:
        return machine.port1_latch;
    case 0x04:
        return 0x00;
    case 0x05:
        return 0x04;
    case 0x7E:
        return vdp_vcounter_read();
    case 0x7F:
        return vdp_hcounter_read();
    case 0xBE:
        return vdp_data_read();
    case 0xBF:
        return vdp_status_read();
    case 0xC0:
    case 0xDC:
        return controller_port(false);
    case 0xC1:
    case 0xDD:
        return controller_port(true);
    default:
        return 0xFF;
    }
}

void SMS_PortOut(int port, int value)
{
    const uint8_t byte = static_cast<uint8_t>(value);
    switch (port & 0xFF) {
    case 0x01:
        machine.port1_latch = byte;
        break;
    case 0x06:
        gg_stereo_write(byte);
        break;
    case 0x3E:
        SMS_MemoryControlWrite(byte);
        break;
    case 0x3F:
        // Export consoles echo the two output bits on the nationalisation
        // bits; Japanese ones do not, which is how games tell them apart.
        if (settings.usa && (byte & 0x0F) == 0x05) {
            if ((byte & 0xF0) == 0xF0)
                machine.port_dd |= DD_NATIONALISATION;
            else
                machine.port_dd &= static_cast<uint8_t>(~DD_NATIONALISATION);
        }
        break;
    case 0x7E:
    case 0x7F:
        psg_write(byte);
        break;
    case 0xBD:
    case 0xBF:
        vdp_control_write(byte);
        break;
    case 0xBE:
        vdp_data_write(byte);
        break;
    default:
        break;
    }
}

void SMS_UpdateControllers()
{
    machine.port_dc = 0xFF;
    machine.port_dd = 0xFF;
    machine.gg_port0 = 0xFF;

    const PlayerInput p1 = read_player(settings.player1);
    press_lines(p1, PLAYER1_LINES, machine.port_dc, machine.port_dd);
    if (machine.is_gg && p1.pause)
        machine.gg_port0 = 0x7F;

    // Player 2's start inverts the bit, so both players holding it cancel out.
    const PlayerInput p2 = read_player(settings.player2);
    press_lines(p2, PLAYER2_LINES, machine.port_dc, machine.port_dd);
    for (int player = 0; player < 2; ++player) {
        const int32_t device = player ? settings.player2 : settings.player1;
        if (is_paddle(device))
            read_paddle(player, device);
    }
    if (machine.is_gg && p2.pause)
        machine.gg_port0 ^= GG_START;

    if (machine.is_gg && settings.usa)
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
