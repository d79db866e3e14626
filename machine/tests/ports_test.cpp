#include "host/input.h"
#include "machine_fixture.h"
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

TEST_F(PortsTest, PortMapHasNoMirrorsBeyondThePairs)
{
    boot("game.sms", 2);
    machine.port_dc = 0x12;
    machine.port_dd = 0x34;
    EXPECT_EQ(SMS_PortIn(0xDC), 0x12);
    EXPECT_EQ(SMS_PortIn(0x12C0), 0x12);
    EXPECT_EQ(SMS_PortIn(0xDD), 0x34);
    EXPECT_EQ(SMS_PortIn(0xC1), 0x34);
    EXPECT_EQ(SMS_PortIn(0x04), 0x00);
    EXPECT_EQ(SMS_PortIn(0x05), 0x04);
    EXPECT_EQ(SMS_PortIn(0x40), 0xFF);
    EXPECT_EQ(SMS_PortIn(0xBD), 0xFF);
    SMS_PortOut(0x01, 0xA5);
    EXPECT_EQ(SMS_PortIn(0x01), 0xA5);

    vdp.vcounter = 300;
    EXPECT_EQ(SMS_PortIn(0x7E), 0xFF);
    vdp.vcounter = 100;
    EXPECT_EQ(SMS_PortIn(0x7E), 100);
}

TEST_F(PortsTest, BothControlPortsReachTheVdp)
{
    boot("game.sms", 2);
    SMS_PortOut(0xBF, 0x00);
    SMS_PortOut(0xBD, 0x40);  // VRAM write set-up at 0
    SMS_PortOut(0xBE, 0x5C);
    EXPECT_EQ(vdp.vram[0], 0x5C);
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

TEST_F(PortsTest, JoystickButtonsFollowTheirBindings)
{
    boot("game.sms", 2);
    settings.player1 = DEVICE_JOYSTICK2;
    settings.j2b1 = 7;
    joysticks[1].left = 1;
    joysticks[1].buttons[7] = 0x80;
    SMS_UpdateControllers();
    EXPECT_EQ(machine.port_dc, 0xFF & ~0x04 & ~0x10);
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
    settings.usa = false;
    SMS_UpdateControllers();
    EXPECT_EQ(SMS_PortIn(0x00), 0xFF);

    settings.player2 = DEVICE_NONE;
    hold(settings.kpause);
    SMS_UpdateControllers();
    EXPECT_EQ(SMS_PortIn(0x00), 0x7F);
    EXPECT_EQ(Z80_GetRegister(Z80_REG_PC), 0x1234u);

    // Both players on the keyboard hold start: the two presses cancel.
    settings.player2 = DEVICE_KEYBOARD;
    settings.usa = true;
    SMS_UpdateControllers();
    EXPECT_EQ(SMS_PortIn(0x00), 0xBF);
}

TEST_F(PortsTest, HCounterCountsCyclesOfTheCurrentLine)
{
    // 57 NOPs take 228 cycles; then IN A,(0x7F) and HALT.
    std::vector<uint8_t> code(57, 0x00);
    code.insert(code.end(), {0xDB, 0x7F, 0x76});
    boot("game.sms", 2, code);
    Z80_Execute(1000);
    EXPECT_EQ(Z80_GetRegister(Z80_REG_AF) >> 8, 85u);  // 341 & 0xFF
}
