// The VDP's status flags as the scanline scheduler leaves them line by line:
// what a game's frame loop and interrupt handler see.
#include <vector>

#include "machine/scheduler.h"
#include "machine_fixture.h"
#include "vdp/vdp.h"

namespace {

struct LineSeen {
    int line;
    uint8_t status;
    bool irq;
};

class FrameFlagsTest : public MachineFixture {
protected:
    void SetUp() override
    {
        MachineFixture::SetUp();
        boot("game.sms", 2, {0xF3, 0x18, 0xFE});  // DI; JR $: the line stays up
        set_register(0, 0x04);  // mode 4
        set_register(1, 0x60);  // display and frame interrupt on
        set_register(5, 0x7F);  // sprite attribute table at 0x3F00
        sprite(0, 100, 50);
        sprite(1, 104, 150);  // apart
        vdp.vram[0x3F02] = 0xD0;
        // From the last line of a frame.
        while (vdp.vcounter != 261)
            SMS_Scanline();
        vdp_status_read();
    }
    static void set_register(int reg, uint8_t value)
    {
        vdp_control_write(value);
        vdp_control_write(static_cast<uint8_t>(0x80 | reg));
    }
    static void sprite(int i, uint8_t y, uint8_t x)
    {
        vdp.vram[0x3F00 + i] = y;
        vdp.vram[0x3F80 + 2 * i] = x;
    }
    static std::vector<LineSeen> one_frame()
    {
        std::vector<LineSeen> seen;
        for (int step = 0; step < 262; ++step) {
            SMS_Scanline();
            seen.push_back({vdp.vcounter, vdp.status, Z80_GetRegister(Z80_REG_IRQ_LINE) != 0});
        }
        return seen;
    }
};

// A game waits for the frame flag or its interrupt and then updates the
// screen; a flag that came a line early would let it write into line 191
// before that line is drawn.
TEST_F(FrameFlagsTest, TheFrameFlagComesOnLine192AndItsInterruptOn193)
{
    for (const LineSeen& seen : one_frame()) {
        EXPECT_EQ((seen.status & 0x80) != 0, seen.line >= 192) << seen.line;
        EXPECT_EQ(seen.irq, seen.line >= 193) << seen.line;
    }
}

// Sprite collision sets bit 5 of the status and no other, once per frame
// when line 192 begins; it stays until a frame without a collision.
TEST_F(FrameFlagsTest, ACollisionSetsStatusBit5AndNoOther)
{
    sprite(1, 104, 54);  // overlapping sprite 0
    for (const LineSeen& seen : one_frame()) {
        if (seen.line < 192)
            EXPECT_EQ(seen.status, 0) << seen.line;
        else
            EXPECT_EQ(seen.status, 0xA0) << seen.line;
    }
    EXPECT_EQ(vdp_status_read(), 0xA0);
    EXPECT_EQ(vdp_status_read(), 0x20);

    sprite(1, 104, 58);  // apart now
    for (const LineSeen& seen : one_frame()) {
        const uint8_t expected = seen.line < 192 ? 0x20 : 0x80;
        EXPECT_EQ(seen.status, expected) << seen.line;
    }
}

}  // namespace
