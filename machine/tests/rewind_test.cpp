#include <zlib.h>

#include <cstring>
#include <vector>

#include "machine/rewind.h"
#include "machine/savestate.h"
#include "machine_fixture.h"
#include "vdp/vdp.h"

namespace {

// The bytes a test scribbles over, from a fixed seed.
struct Scribbler {
    uint32_t seed = 12345;

    uint8_t next()
    {
        seed = seed * 1103515245 + 12345;
        return static_cast<uint8_t>(seed >> 16);
    }

    // `count` bytes spread over system RAM, video RAM and colour RAM.
    void scribble(int count)
    {
        for (int i = 0; i < count; ++i) {
            const int at = (next() << 8 | next()) & 0x7FFF;
            if (at < SYSTEM_RAM_SIZE)
                machine.ram[at] = next();
            else if (at < SYSTEM_RAM_SIZE + VDP_VRAM_SIZE)
                vdp.vram[at - SYSTEM_RAM_SIZE] = next();
            else
                vdp.cram[at % VDP_CRAM_SIZE] = next();
        }
    }

    // System RAM and then video RAM from their start, `count` bytes in all.
    void scribble_from_start(int count)
    {
        for (int at = 0; at < count; ++at)
            (at < SYSTEM_RAM_SIZE ? machine.ram[at] : vdp.vram[at - SYSTEM_RAM_SIZE]) = next();
    }
};

uint32_t machine_crc()
{
    uLong crc = crc32(0L, Z_NULL, 0);
    crc = crc32(crc, machine.ram.data(), SYSTEM_RAM_SIZE);
    crc = crc32(crc, vdp.vram, VDP_VRAM_SIZE);
    crc = crc32(crc, vdp.cram, VDP_CRAM_SIZE);
    return static_cast<uint32_t>(crc);
}

std::vector<uint8_t> saved_state()
{
    std::vector<uint8_t> bytes;
    SMS_SaveStateToMemory(bytes);
    return bytes;
}

}  // namespace

class RewindTest : public MachineFixture {
protected:
    Scribbler scribbler;

    void SetUp() override
    {
        MachineFixture::SetUp();
        rewind_recording = true;
        boot("game.sms", 4);
    }
};

// Each step back gives exactly the state recorded a frame earlier, whether
// the frame changed nothing, a few bytes or a few thousand, the registers
// included.
TEST_F(RewindTest, StepsBackToExactlyTheStatesRecorded)
{
    std::vector<std::vector<uint8_t>> states;
    for (int frame = 0; frame < 300; ++frame) {
        scribbler.scribble(frame % 7 == 0 ? 0 : frame % 5 == 0 ? 3000 : frame % 13);
        Z80_SetRegister(Z80_REG_HL, frame * 7);
        Z80_SetRegister(Z80_REG_PC, frame);
        SMS_RewindFrame(false);
        states.push_back(saved_state());
    }
    EXPECT_EQ(SMS_RewindFrames(), 299);

    // Play on a little without recording, as the frame before a step back does.
    scribbler.scribble(100);
    for (int frame = 298; frame >= 0; --frame) {
        SMS_RewindFrame(true);
        ASSERT_EQ(saved_state(), states[frame]) << "frame " << frame;
    }
    EXPECT_EQ(SMS_RewindFrames(), 0);
    EXPECT_EQ(SMS_RewindBytes(), 0u);

    // With nothing older the oldest state stays, however much was played since.
    scribbler.scribble(100);
    SMS_RewindFrame(true);
    EXPECT_EQ(saved_state(), states[0]);

    // Recording goes on from the state stepped back to.
    scribbler.scribble(50);
    const std::vector<uint8_t> played = saved_state();
    SMS_RewindFrame(false);
    scribbler.scribble(50);
    SMS_RewindFrame(false);
    SMS_RewindFrame(true);
    EXPECT_EQ(saved_state(), played);
}

// A game that turns its cartridge RAM on makes its states longer; stepping
// back across that gives the memory of the shorter ones (the banks are
// kept, as a loaded state without them keeps them).
TEST_F(RewindTest, StepsBackAcrossTheCartridgeRamComingIntoUse)
{
    std::vector<uint32_t> crcs;
    for (int frame = 0; frame < 40; ++frame) {
        if (frame == 20) {
            SMS_MapperWrite(0xFFFC, 0x08);
            machine.cart_ram[0][5] = 0x55;
        }
        scribbler.scribble(200);
        SMS_RewindFrame(false);
        crcs.push_back(machine_crc());
    }
    EXPECT_EQ(saved_state().size(), SAVESTATE_SIZE_WITH_CART_RAM);
    for (int frame = 38; frame >= 0; --frame) {
        SMS_RewindFrame(true);
        ASSERT_EQ(machine_crc(), crcs[frame]) << "frame " << frame;
    }
    EXPECT_TRUE(machine.cart_ram_used);
    EXPECT_EQ(machine.cart_ram[0][5], 0x55);
}

// The ring fills and wraps round, each time at another place as frames
// change a few bytes or thousands: the oldest frames give way as a new one
// needs their room, and every frame still held steps back exactly.
TEST_F(RewindTest, OldestFramesGiveWayWhenTheRingIsFull)
{
    const size_t ring = 256 * 1024;
    SMS_RewindReset(ring);
    const int frames = 3000;
    const int most = SYSTEM_RAM_SIZE + VDP_VRAM_SIZE;
    std::vector<uint32_t> crcs;
    for (int frame = 0; frame < frames; ++frame) {
        if (scribbler.next() & 1)
            scribbler.scribble_from_start(most / 4 + (scribbler.next() << 8 | scribbler.next()) % (most * 3 / 4));
        else
            scribbler.scribble(scribbler.next() % 64);
        SMS_RewindFrame(false);
        crcs.push_back(machine_crc());
        const size_t largest = most + 64;
        ASSERT_LE(SMS_RewindBytes(), ring) << "frame " << frame;
        // Room is made only as a new frame needs it.
        if (frame > 100) {
            ASSERT_GT(SMS_RewindBytes() + 2 * largest, ring) << "frame " << frame;
        }
    }

    const int held = SMS_RewindFrames();
    for (int frame = frames - 2; frame >= frames - 1 - held; --frame) {
        SMS_RewindFrame(true);
        ASSERT_EQ(machine_crc(), crcs[frame]) << "frame " << frame;
    }
    EXPECT_EQ(SMS_RewindFrames(), 0);
    SMS_RewindFrame(true);
    EXPECT_EQ(machine_crc(), crcs[frames - 1 - held]);
    SMS_RewindReset();
}

TEST_F(RewindTest, HoldsFiveMinutesAtMost)
{
    for (int frame = 0; frame < REWIND_MAX_FRAMES + 10; ++frame) {
        scribbler.scribble(1);
        SMS_RewindFrame(false);
    }
    EXPECT_EQ(SMS_RewindFrames(), REWIND_MAX_FRAMES);
}

// A new game, or the same one reset, has no past to step back into.
TEST_F(RewindTest, NewMachineHasNoPast)
{
    for (int frame = 0; frame < 10; ++frame) {
        scribbler.scribble(10);
        SMS_RewindFrame(false);
    }
    SMS_InitMachine();
    const uint32_t fresh = machine_crc();
    EXPECT_EQ(SMS_RewindFrames(), 0);
    SMS_RewindFrame(true);
    EXPECT_EQ(machine_crc(), fresh);
}

TEST_F(RewindTest, NothingIsRecordedWhileRecordingIsOff)
{
    rewind_recording = false;
    for (int frame = 0; frame < 10; ++frame) {
        scribbler.scribble(10);
        SMS_RewindFrame(false);
    }
    const uint32_t now = machine_crc();
    SMS_RewindFrame(true);
    rewind_recording = true;
    EXPECT_EQ(SMS_RewindFrames(), 0);
    EXPECT_EQ(machine_crc(), now);
}
