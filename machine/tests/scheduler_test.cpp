#include "host/input.h"
#include "machine/scheduler.h"
#include "machine_fixture.h"
#include "vdp/vdp.h"

namespace {

int frames_seen;
int line_at_frame_end;
// Frames are counted over the whole process; tests count from their own start.
int first_frame;

void count_frame(int)
{
    ++frames_seen;
    line_at_frame_end = vdp.vcounter;
}

}  // namespace

class SchedulerTest : public MachineFixture {
protected:
    void SetUp() override
    {
        MachineFixture::SetUp();
        frames_seen = 0;
        line_at_frame_end = -1;
        first_frame = headless_frame();
        headless_frame_hook = count_frame;
        for (auto& key : key_state)
            key.store(0);
    }
    void TearDown() override
    {
        headless_frame_hook = nullptr;
        quit_run = false;
        MachineFixture::TearDown();
    }
};

TEST_F(SchedulerTest, FrameHasTheLinesOfItsStandard)
{
    for (int rate : {50, 60}) {
        settings.frame_rate = rate;
        boot("game.sms", 2);
        const int lines = rate == 50 ? 313 : 262;
        frames_seen = 0;
        int highest = 0;
        for (int step = 0; step < 3 * lines; ++step) {
            SMS_Scanline();
            highest = std::max<int>(highest, vdp.vcounter);
        }
        EXPECT_EQ(highest, lines - 1) << rate;
        EXPECT_EQ(frames_seen, 3) << rate;
        EXPECT_EQ(line_at_frame_end, 192) << rate;
        EXPECT_EQ(vdp.vcounter, 0) << rate;
    }
}

TEST_F(SchedulerTest, FpsCountsFramesPerTwoSecondsOfTicks)
{
    settings.frame_rate = 50;
    boot("game.sms", 2);
    tick_count.store(0);
    frame_count = 0;
    fps = 0;
    for (int step = 0; step < 100 * 313; ++step)
        SMS_Scanline();
    EXPECT_EQ(fps, 50);
}

TEST_F(SchedulerTest, DigitKeysSelectSlotsLikeTheKeysRead)
{
    // A program that spins: JR -2.
    boot("game.sms", 2, {0x18, 0xFE});
    headless_frame_hook = [](int polled) {
        const int frame = polled - first_frame;
        if (frame == 1)
            key_state[KEY_0].store(0x80);
        if (frame == 2) {
            EXPECT_EQ(state_slot, 9);
            EXPECT_EQ(machine.state_file.back(), '9');
            key_state[KEY_1].store(0x80);
        }
        if (frame == 3) {
            EXPECT_EQ(state_slot, 0);
            EXPECT_EQ(machine.state_file.back(), '0');
            EXPECT_GT(slot_popup_until, key_clock.load());
            quit_run = true;
        }
    };
    SMS_Run();
    EXPECT_FALSE(key_down(KEY_1));
}

TEST_F(SchedulerTest, F5AndF7SaveAndLoadAtFrameEnd)
{
    boot("game.sms", 2, {0x18, 0xFE});
    headless_frame_hook = [](int polled) {
        const int frame = polled - first_frame;
        if (frame == 1) {
            machine.ram[0x100] = 0xAA;
            key_state[KEY_F5].store(0x80);
        }
        if (frame == 2) {
            machine.ram[0x100] = 0x55;
            key_state[KEY_F7].store(0x80);
        }
        if (frame == 3)
            quit_run = true;
    };
    SMS_Run();
    EXPECT_EQ(machine.ram[0x100], 0xAA);
    EXPECT_TRUE(std::filesystem::exists(dir / "game.ST0"));
}

TEST_F(SchedulerTest, ShiftTabIsAHardReset)
{
    boot("game.sms", 2, {0x18, 0xFE});
    headless_frame_hook = [](int polled) {
        const int frame = polled - first_frame;
        if (frame == 1) {
            machine.ram[0x100] = 0xAA;
            key_state[KEY_LSHIFT].store(0x80);
            key_state[KEY_TAB].store(0x80);
        }
        if (frame == 2)
            quit_run = true;
    };
    SMS_Run();
    EXPECT_EQ(machine.ram[0x100], 0);
    EXPECT_FALSE(key_down(KEY_TAB));
}

TEST_F(SchedulerTest, ALineThatOverrunsShortensTheNext)
{
    // DI; LD HL,0; then INC HL; JR -3 for ever: 18 cycles a pass, so most
    // lines overrun their budget by a few cycles.
    boot("game.sms", 2, {0xF3, 0x21, 0x00, 0x00, 0x23, 0x18, 0xFD});
    headless_frame_hook = [](int) { quit_run = true; };
    SMS_Run();
    // The run stops as line 192 begins: 192 lines of 228 cycles in all, less
    // the 14 of the first two instructions, however each line overran.
    EXPECT_NEAR(Z80_GetRegister(Z80_REG_HL), (192 * 228 - 14) / 18, 1);
}
