#include "host/input.h"
#include "machine_fixture.h"
#include "sound/psg.h"
#include "vdp/vdp.h"

namespace {

void release_all_keys()
{
    for (auto& key : key_state)
        key.store(0);
}

void hold(int code, bool down = true)
{
    key_state[code].store(down ? 0x80 : 0);
}

}  // namespace

class PortsTest : public MachineFixture {
protected:
    void SetUp() override
    {
        MachineFixture::SetUp();
        release_all_keys();
        joysticks[0] = joysticks[1] = JoystickState {};
        machine.pause_latch = false;
    }
    void TearDown() override
    {
        release_all_keys();
        MachineFixture::TearDown();
    }
};

// The Master System decodes A7, A6 and A0 only; the Game Gear answers
// 0x00-0x06 first and decodes the rest alike.
TEST_F(PortsTest, PortsAreDecodedByA7A6AndA0)
{
    for (const char* rom : {"game.sms", "game.gg"}) {
        boot(rom, 2);
        machine.port_dc = 0x12;
        machine.port_dd = 0x34;
        EXPECT_EQ(SMS_PortIn(0x12C0), 0x12);
        EXPECT_EQ(SMS_PortIn(0xFD), 0x34);
        vdp.vcounter = 100;
        EXPECT_EQ(SMS_PortIn(0x44), 100);
        SMS_PortOut(0x8F, 0x00);
        SMS_PortOut(0xB3, 0x40);  // VRAM write set-up at 0
        SMS_PortOut(0x90, 0x5C);
        EXPECT_EQ(vdp.vram[0], 0x5C);
        EXPECT_EQ(SMS_PortIn(0x21), 0xFF);
    }
    EXPECT_EQ(SMS_PortIn(0x05), 0x04);  // the Game Gear's serial port
    SMS_PortOut(0x06, 0x01);  // its stereo register: channel 0 on the right only
    EXPECT_EQ(psg_pan[0], 127);
    SMS_PortOut(0x1206, 0xFF);  // only the low byte of the port counts
    EXPECT_EQ(psg_pan[0], 0);

    boot("game.sms", 2);
    EXPECT_EQ(SMS_PortIn(0x05), 0xFF);
}

TEST_F(PortsTest, EachInputOfEachPlayerClearsOnlyItsOwnBit)
{
    boot("game.sms", 2);
    // The bits of ports 0xDC and 0xDD cleared by up, down, left, right,
    // button 1 and button 2.
    const std::pair<uint8_t, uint8_t> lines[2][6] = {
        {{0x01, 0}, {0x02, 0}, {0x04, 0}, {0x08, 0}, {0x10, 0}, {0x20, 0}},
        {{0x40, 0}, {0x80, 0}, {0, 0x01}, {0, 0x02}, {0, 0x04}, {0, 0x08}},
    };
    settings.j2b1 = 7;  // buttons follow their bindings
    settings.j2b2 = 11;
    const int keys[6] = {settings.kup, settings.kdown, settings.kleft, settings.kright, settings.kb1, settings.kb2};
    uint8_t JoystickState::*const directions[4]
        = {&JoystickState::up, &JoystickState::down, &JoystickState::left, &JoystickState::right};
    for (int player = 0; player < 2; ++player) {
        for (int device : {DEVICE_KEYBOARD, DEVICE_JOYSTICK2}) {
            settings.player1 = player == 0 ? device : DEVICE_NONE;
            settings.player2 = player == 1 ? device : DEVICE_NONE;
            for (int input = 0; input < 6; ++input) {
                release_all_keys();
                JoystickState& joystick = joysticks[1] = JoystickState {};
                if (device == DEVICE_KEYBOARD)
                    hold(keys[input]);
                else if (input < 4)
                    joystick.*directions[input] = 1;
                else
                    joystick.buttons[input == 4 ? settings.j2b1 : settings.j2b2] = 1;
                SMS_UpdateControllers();
                EXPECT_EQ(machine.port_dc, 0xFF & ~lines[player][input].first)
                    << "player " << player + 1 << " device " << device << " input " << input;
                EXPECT_EQ(machine.port_dd, 0xFF & ~lines[player][input].second)
                    << "player " << player + 1 << " device " << device << " input " << input;
            }
        }
    }
}

TEST_F(PortsTest, NationalisationBitsFollowPort3FOnExportConsolesOnly)
{
    boot("game.sms", 2);
    settings.usa = true;
    SMS_PortOut(0x3F, 0x55);
    EXPECT_EQ(SMS_PortIn(0xDD) & 0xC0, 0x00);
    SMS_PortOut(0x3F, 0xF5);
    EXPECT_EQ(SMS_PortIn(0xDD) & 0xC0, 0xC0);
    SMS_PortOut(0x3F, 0x54);  // low nibble not 0101: ignored
    EXPECT_EQ(SMS_PortIn(0xDD) & 0xC0, 0xC0);

    settings.usa = false;
    SMS_PortOut(0x3F, 0x55);
    EXPECT_EQ(SMS_PortIn(0xDD) & 0xC0, 0xC0);
}

TEST_F(PortsTest, KeyboardPlayersShareOneSetOfBindings)
{
    boot("game.sms", 2);
    settings.player2 = DEVICE_KEYBOARD;
    hold(settings.kup);
    hold(settings.kb2);
    SMS_UpdateControllers();
    EXPECT_EQ(machine.port_dc, 0xFF & ~0x01 & ~0x20 & ~0x40);
    EXPECT_EQ(machine.port_dd, 0xFF & ~0x08);
}

TEST_F(PortsTest, TabIsTheResetButtonUnlessShiftIsHeld)
{
    boot("game.sms", 2);
    hold(KEY_TAB);
    SMS_UpdateControllers();
    EXPECT_EQ(machine.port_dd & 0x10, 0);
    hold(KEY_LSHIFT);
    SMS_UpdateControllers();
    EXPECT_EQ(machine.port_dd & 0x10, 0x10);
}

TEST_F(PortsTest, EachPausePressGivesOneNmi)
{
    boot("game.sms", 2);
    auto nmi_taken = [] {
        const bool taken = Z80_GetRegister(Z80_REG_PC) == 0x66;
        Z80_SetRegister(Z80_REG_PC, 0x1234);
        return taken;
    };
    Z80_SetRegister(Z80_REG_SP, 0xDFF0);
    Z80_SetRegister(Z80_REG_PC, 0x1234);
    hold(settings.kpause);
    SMS_UpdateControllers();
    EXPECT_TRUE(nmi_taken());
    for (int frame = 0; frame < 10; ++frame)
        SMS_UpdateControllers();
    EXPECT_FALSE(nmi_taken());
    hold(settings.kpause, false);
    SMS_UpdateControllers();
    joysticks[0].buttons[settings.j1pause] = 1;  // any pause input, whatever the devices
    SMS_UpdateControllers();
    EXPECT_TRUE(nmi_taken());
}

TEST_F(PortsTest, GameGearPauseIsStartAndRegionBit)
{
    boot("game.gg", 2);
    settings.player2 = DEVICE_KEYBOARD;
    Z80_SetRegister(Z80_REG_PC, 0x1234);
    settings.usa = false;  // bit 6 clear on a Japanese console
    SMS_UpdateControllers();
    EXPECT_EQ(SMS_PortIn(0x00), 0xBF);

    settings.player2 = DEVICE_NONE;
    hold(settings.kpause);
    SMS_UpdateControllers();
    EXPECT_EQ(SMS_PortIn(0x00), 0x3F);
    EXPECT_EQ(Z80_GetRegister(Z80_REG_PC), 0x1234u);

    // Both players on the keyboard hold start: the two presses cancel.
    settings.player2 = DEVICE_KEYBOARD;
    settings.usa = true;
    SMS_UpdateControllers();
    // In its Master System mode Start is the pause button.
    settings.player2 = DEVICE_NONE;
    settings.console = CONSOLE_GAME_GEAR;
    hold(settings.kpause, false);
    boot("game.sms", 2);
    EXPECT_EQ(machine.console, CONSOLE_GAME_GEAR);
    EXPECT_FALSE(machine.is_gg);
    Z80_SetRegister(Z80_REG_SP, 0xDFF0);
    hold(settings.kpause);
    SMS_UpdateControllers();
    EXPECT_EQ(Z80_GetRegister(Z80_REG_PC), 0x66u);
    EXPECT_EQ(SMS_PortIn(0x00), 0xFF);
}

// TH of port A driven low, then high, through port 0x3F: the second OUT's
// I/O cycle, 33 cycles into the line, is pixel 49, H counter 0x019.
TEST_F(PortsTest, RisingThLatchesTheHCounter)
{
    boot("game.sms", 2, {0x3E, 0xDD, 0xD3, 0x3F, 0x3E, 0xFD, 0xD3, 0x3F, 0xDB, 0x7F, 0x76});
    Z80_Execute(100);
    EXPECT_EQ(Z80_GetRegister(Z80_REG_AF) >> 8, 0x0Cu);
}

// Player 2's paddle on joystick 1's stick: the low half of its position
// while TR is low, the high half while it is high, each held 256 cycles; its
// button is the stick's button 1.
TEST_F(PortsTest, PaddleOnAStickSendsItsPositionAHalfAtATime)
{
    boot("game.sms", 2);
    settings.player2 = DEVICE_PADDLE_JOYSTICK1;
    joysticks[0].x = 0xA5FF;
    joysticks[0].buttons[settings.j1b1] = 1;
    SMS_UpdateControllers();
    // Four lines in a row see both halves: 5 while TR is low, 0A while high.
    const int elapsed = Z80_GetElapsedCycles();
    for (uint16_t line = 0; line < 4; ++line) {
        vdp.vcounter = line;
        const bool high = ((line * 228 + elapsed) / 256) & 1;
        EXPECT_EQ(SMS_PortIn(0xDC) & 0xC0, high ? 0x80 : 0x40);
        EXPECT_EQ(SMS_PortIn(0xDD) & 0x0F, high ? 0x0A : 0x01);  // TR, button held, right, left
    }
}
