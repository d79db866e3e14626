#include "vdp/vdp.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

#include "host/video.h"
#include "z80/z80.h"

namespace {

class VdpTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // Colours come out as plain 0xRRGGBB.
        video_driver.format = &PIXEL_FORMAT_8888;
        vdp.is_gg = false;
        vdp_reset();
    }
    void TearDown() override
    {
        video_driver.format = nullptr;
    }

    static void control(uint8_t low, uint8_t high)
    {
        vdp_control_write(low);
        vdp_control_write(high);
    }
    static void set_register(int reg, uint8_t value)
    {
        control(value, static_cast<uint8_t>(0x80 | reg));
    }
    static void vram_write_at(uint16_t address)
    {
        control(address & 0xFF, 0x40 | (address >> 8));
    }
    static void vram_read_at(uint16_t address)
    {
        control(address & 0xFF, address >> 8);
    }
    static void cram_write_at(uint8_t address)
    {
        control(address, 0xC0);
    }
    static void write_bytes(std::initializer_list<uint8_t> bytes)
    {
        for (uint8_t b : bytes)
            vdp_data_write(b);
    }
};

TEST_F(VdpTest, ResetGivesPowerOnState)
{
    vram_write_at(0x1234);
    write_bytes({0x55});
    cram_write_at(3);
    write_bytes({0x3F});
    vdp.read_buffer = 0x77;
    vdp_reset();

    EXPECT_EQ(vdp.vram[0x1234], 0);
    EXPECT_EQ(vdp.cram[3], 0x3F);  // colour memory survives a reset
    EXPECT_EQ(vdp.palette[3], 0xFFFFFFu);
    EXPECT_EQ(vdp.read_buffer, 0x77);
    EXPECT_EQ(vdp.address_mask, 0x3FFF);
    EXPECT_EQ(vdp.line_counter, 0xFF);
    EXPECT_EQ(vdp.name_table_base, 0x3800);
    EXPECT_EQ(vdp.sprite_table_base, 0x3F00);
}

TEST_F(VdpTest, DataAndStatusAccessesDiscardAHalfWrittenControlWord)
{
    vram_write_at(0x2000);
    vdp_control_write(0x34);
    vdp_data_write(0xAA);  // still goes to the address set before
    EXPECT_EQ(vdp.vram[0x2000], 0xAA);
    // 0x00 starts a new word; were 0x34 still held it would be a read set-up.
    control(0x00, 0x41);
    EXPECT_EQ(vdp.address, 0x0100);

    vdp_control_write(0x10);
    vdp_status_read();
    control(0x05, 0x87);
    EXPECT_EQ(vdp.registers[7], 0x05);

    vdp_control_write(0x10);
    vdp_data_read();
    set_register(8, 0x42);
    EXPECT_EQ(vdp.registers[8], 0x42);
}

TEST_F(VdpTest, ReadSetUpPreloadsTheReadBuffer)
{
    vram_write_at(0x3FFE);
    write_bytes({1, 2, 3});  // wraps to 0
    EXPECT_EQ(vdp.vram[0x3FFF], 2);
    EXPECT_EQ(vdp.vram[0], 3);

    vram_read_at(0x3FFE);
    EXPECT_EQ(vdp.read_buffer, 1);
    EXPECT_EQ(vdp.address, 0x3FFF);
    EXPECT_EQ(vdp_data_read(), 1);
    EXPECT_EQ(vdp_data_read(), 2);
    // A write between reads stores at the current address without touching
    // the byte already fetched.
    vdp_data_write(9);
    EXPECT_EQ(vdp.vram[1], 9);
    EXPECT_EQ(vdp_data_read(), 3);
    EXPECT_EQ(vdp_data_read(), 0);
    EXPECT_EQ(vdp.address, 4);
}

TEST_F(VdpTest, ColourMemoryAddressesMaskAndWrap)
{
    cram_write_at(0x25);  // second byte's low six bits do not matter
    EXPECT_TRUE(vdp.cram_target);
    EXPECT_EQ(vdp.address, 5);
    EXPECT_EQ(vdp.address_mask, 31);
    cram_write_at(31);
    write_bytes({0x01, 0x02});
    EXPECT_EQ(vdp.cram[31], 0x01);
    EXPECT_EQ(vdp.cram[0], 0x02);

    // The read-ahead still comes from VRAM, with the address wrapping in 0-31.
    vdp.vram[31] = 0x66;
    vdp.vram[0] = 0x77;
    vdp.vram[32] = 0x99;
    cram_write_at(31);
    vdp_data_read();
    EXPECT_EQ(vdp.read_buffer, 0x66);
    EXPECT_EQ(vdp.address, 0);
    vdp_data_read();
    EXPECT_EQ(vdp.read_buffer, 0x77);

    vdp.is_gg = true;
    control(0x45, 0xFF);
    EXPECT_EQ(vdp.address, 5);
    EXPECT_EQ(vdp.address_mask, 63);
    cram_write_at(63);
    write_bytes({0x0F, 0x00});
    EXPECT_EQ(vdp.cram[63], 0x0F);
    EXPECT_EQ(vdp.address, 1);
}

TEST_F(VdpTest, RegisterWrites)
{
    cram_write_at(7);
    for (uint8_t high : {0x8B, 0xBF}) {
        control(0xFF, high);
        EXPECT_EQ(vdp.address, 7);
        EXPECT_TRUE(vdp.cram_target);
        EXPECT_EQ(vdp.address_mask, 31);
    }
    // Register 7's top bits are the older modes' text colour.
    set_register(7, 0xF3);
    EXPECT_EQ(vdp.registers[7], 0xF3);
    EXPECT_EQ(vdp.backdrop_index, 19);
    EXPECT_TRUE(vdp.cram_target);  // register writes leave the target alone

    // Unused bits do not leak into the table bases.
    set_register(2, 0xF3);
    set_register(5, 0x81);
    set_register(6, 0xFB);
    EXPECT_EQ(vdp.name_table_base, 0x0800);
    EXPECT_EQ(vdp.sprite_table_base, 0);
    EXPECT_EQ(vdp.sprite_pattern_base, 0);
}

TEST_F(VdpTest, MasterSystemColours)
{
    cram_write_at(0);
    write_bytes({0x3F, 0x15, 0x30, 0x29});
    EXPECT_EQ(vdp.palette[0], 0xFFFFFFu);
    EXPECT_EQ(vdp.palette[1], 0x555555u);
    EXPECT_EQ(vdp.palette[2], 0x0000FFu);
    EXPECT_EQ(vdp.palette[3], 0x55AAAAu);  // red 1, green 2, blue 2
}

TEST_F(VdpTest, GameGearColours)
{
    vdp.is_gg = true;
    const uint32_t levels[8] = {0, 36, 73, 109, 146, 182, 218, 255};
    for (int level = 0; level < 8; ++level) {
        vdp_colour_gg(0, static_cast<uint16_t>(level << 1));
        vdp_colour_gg(1, static_cast<uint16_t>(level << 5));
        vdp_colour_gg(2, static_cast<uint16_t>((level << 9) | 0x111));  // low bits ignored
        EXPECT_EQ(vdp.palette[0], levels[level] << 16);
        EXPECT_EQ(vdp.palette[1], levels[level] << 8);
        EXPECT_EQ(vdp.palette[2], levels[level]);
    }

    // Each byte takes effect at once with the other byte of its word.
    vdp.cram[11] = 0;
    cram_write_at(10);
    vdp_data_write(0xFF);
    EXPECT_EQ(vdp.palette[5], 0xFFFF00u);
    vdp_data_write(0x0F);
    EXPECT_EQ(vdp.palette[5], 0xFFFFFFu);
    cram_write_at(10);
    vdp_data_write(0x01);
    EXPECT_EQ(vdp.palette[5], 0x0000FFu);
}

TEST_F(VdpTest, StatusAndCounters)
{
    vdp.status = 0xE0;
    EXPECT_EQ(vdp_status_read(), 0xE0);
    EXPECT_EQ(vdp.status, 0x20);  // collision is not cleared by reading
    EXPECT_EQ(vdp_status_read(), 0x20);

    const std::pair<int, int> counts[] = {{0, 0}, {192, 192}, {255, 255}, {256, 255}, {310, 255}};
    for (auto [line, value] : counts) {
        vdp.vcounter = line;
        EXPECT_EQ(vdp_vcounter_read(), value) << line;
    }
}

// Runs the line steps of one frame and lists the lines that raised the CPU
// interrupt, reading the status (as an interrupt handler would) on each.
std::vector<int> interrupt_lines(int lines_per_frame)
{
    std::vector<int> raised;
    for (int line = 0; line < lines_per_frame; ++line) {
        vdp.vcounter = line;
        if (vdp_line_step(line)) {
            raised.push_back(line);
            vdp_status_read();
        }
    }
    return raised;
}

TEST_F(VdpTest, LineInterrupts)
{
    set_register(0, 0x10);
    set_register(10, 0);
    EXPECT_EQ(interrupt_lines(262).size(), 193u);  // every line 0-192

    set_register(10, 63);
    EXPECT_EQ(interrupt_lines(262), (std::vector<int> {63, 127, 191}));
    // Line 192 is a counting line.
    set_register(10, 192);
    EXPECT_EQ(interrupt_lines(262), (std::vector<int> {192}));

    // Without a status read the pending interrupt is raised on every line.
    set_register(10, 190);
    int raised = 0;
    for (int line = 0; line < 262; ++line)
        raised += vdp_line_step(line);
    EXPECT_EQ(raised, 3);  // 190, 191, 192
    vdp_status_read();
}

TEST_F(VdpTest, LineCounterReloadsOnlyOnUnderflowAndInVerticalBlank)
{
    set_register(0, 0x10);
    set_register(10, 10);
    std::vector<int> raised;
    for (int line = 0; line < 262; ++line) {
        if (line == 3)
            set_register(10, 2);  // takes effect after the next underflow
        if (line == 200)
            set_register(10, 50);
        if (vdp_line_step(line)) {
            raised.push_back(line);
            vdp_status_read();
        }
    }
    EXPECT_EQ(raised.size(), 61u);
    EXPECT_EQ(raised[0], 10);
    EXPECT_EQ(raised[1], 13);
    EXPECT_EQ(raised.back(), 190);
    EXPECT_EQ(vdp.line_counter, 50);
    EXPECT_EQ(interrupt_lines(262), (std::vector<int> {50, 101, 152}));
}

TEST_F(VdpTest, FrameInterrupts)
{
    set_register(1, 0x20);
    for (int line = 0; line <= 192; ++line)
        EXPECT_FALSE(vdp_line_step(line)) << line;
    EXPECT_EQ(vdp.status & 0x80, 0x80);
    for (int line = 193; line <= 223; ++line)
        EXPECT_TRUE(vdp_line_step(line)) << line;
    for (int line = 224; line < 311; ++line)
        EXPECT_FALSE(vdp_line_step(line)) << line;

    // Enabled, read once: raised on line 193 only. Disabled: never.
    EXPECT_EQ(interrupt_lines(262), (std::vector<int> {193}));
    set_register(1, 0x00);
    EXPECT_TRUE(interrupt_lines(311).empty());
    EXPECT_EQ(vdp.status & 0x80, 0x80);
}

// A game's frame loop waits for the frame flag (or its interrupt) and then
// updates the screen: a flag that came a line early would let it write into
// line 191 before that line is drawn.
TEST_F(VdpTest, LinesOnWhichTheFlagsAndTheInterruptsAppear)
{
    set_register(1, 0x20);  // frame interrupts on, line interrupts off
    set_register(10, 4);
    std::vector<int> frame_flag, line_flag, raised;
    for (int line = 0; line < 262; ++line) {
        vdp.vcounter = line;
        if (vdp_line_step(line))
            raised.push_back(line);
        if (vdp.status & 0x80)
            frame_flag.push_back(line);
        if (vdp.status & 0x40)
            line_flag.push_back(line);
        EXPECT_EQ(vdp.status & 0x3F, 0) << line;
    }
    // The frame flag from line 192 on; its interrupt from line 193 to 223
    // while nobody reads the status.
    ASSERT_FALSE(frame_flag.empty());
    EXPECT_EQ(frame_flag.front(), 192);
    EXPECT_EQ(frame_flag.size(), 262u - 192);
    ASSERT_FALSE(raised.empty());
    EXPECT_EQ(raised.front(), 193);
    EXPECT_EQ(raised.back(), 223);
    EXPECT_EQ(raised.size(), 223u - 193 + 1);
    // The line flag is raised without its interrupt: first on line 4, the
    // counter having gone 4, 3, 2, 1, 0 over lines 0-4.
    ASSERT_FALSE(line_flag.empty());
    EXPECT_EQ(line_flag.front(), 4);

    // The counter on each line, as the next line's count starts from it.
    vdp_status_read();
    std::vector<int> counter;
    for (int line = 0; line <= 10; ++line) {
        vdp_line_step(line);
        counter.push_back(vdp.line_counter);
        if (line == 4) {
            EXPECT_EQ(vdp_status_read() & 0xC0, 0x40);
        }
    }
    EXPECT_EQ(counter, (std::vector<int> {3, 2, 1, 0, 4, 3, 2, 1, 0, 4, 3}));
    EXPECT_EQ(vdp.status & 0x40, 0x40);  // set again on line 9

    // With both enabled, a handler that reads the status at each interrupt
    // is entered on lines 4, 9, 14 ... and once, on line 193, for the frame.
    vdp_status_read();
    set_register(0, 0x10);
    std::vector<int> lines = interrupt_lines(262);
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[0], 4);
    EXPECT_EQ(lines[1], 9);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), 193), 1);
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(), [](int line) { return line > 193; }), 0);
}

class VdpCollisionTest : public VdpTest {
protected:
    void SetUp() override
    {
        VdpTest::SetUp();
        set_register(5, 0x7F);  // attribute table at 0x3F00
        std::memset(vdp.vram + 0x3F00, 0, 256);
        sprite(2, 0xD0, 0);  // a list of two sprites, placed by each test
    }
    static void sprite(int i, uint8_t y, uint8_t x)
    {
        vdp.vram[0x3F00 + i] = y;
        vdp.vram[0x3F80 + 2 * i] = x;
    }
    static bool pair_collides(uint8_t y0, uint8_t x0, uint8_t y1, uint8_t x1)
    {
        sprite(0, y0, x0);
        sprite(1, y1, x1);
        return vdp_collision_check();
    }
};

TEST_F(VdpCollisionTest, BoxRule)
{
    EXPECT_TRUE(pair_collides(10, 100, 10, 100));
    EXPECT_TRUE(pair_collides(10, 100, 17, 107));
    EXPECT_FALSE(pair_collides(10, 100, 10, 108));
    EXPECT_FALSE(pair_collides(10, 108, 10, 100));
    EXPECT_FALSE(pair_collides(10, 100, 18, 100));
    EXPECT_FALSE(pair_collides(10, 0, 10, 255));  // no wrap at the screen edge

    set_register(1, 0x02);  // 8x16
    EXPECT_TRUE(pair_collides(10, 100, 18, 100));
    EXPECT_TRUE(pair_collides(25, 100, 10, 100));
    EXPECT_FALSE(pair_collides(10, 100, 26, 100));
}

TEST_F(VdpCollisionTest, OffScreenBand)
{
    EXPECT_TRUE(pair_collides(190, 50, 190, 50));
    EXPECT_FALSE(pair_collides(191, 50, 191, 50));
    EXPECT_FALSE(pair_collides(190, 50, 191, 50));  // only one takes part
    EXPECT_FALSE(pair_collides(239, 50, 239, 50));
    EXPECT_TRUE(pair_collides(240, 50, 240, 50));
}

TEST_F(VdpCollisionTest, TerminatorEndsTheList)
{
    sprite(0, 0xD0, 0);
    sprite(1, 10, 0);
    sprite(2, 10, 0);
    EXPECT_FALSE(vdp_collision_check());

    // With no terminator all 64 take part: only the last overlaps the first.
    for (int i = 0; i < 64; ++i)
        sprite(i, static_cast<uint8_t>((i % 16) * 10), static_cast<uint8_t>((i / 16) * 20));
    EXPECT_FALSE(vdp_collision_check());
    sprite(63, 0, 0);
    EXPECT_TRUE(vdp_collision_check());
}

// The H counter needs the CPU's cycle count inside a port read.
std::vector<uint8_t> hcounter_reads;

int read_hcounter_port(int port)
{
    if ((port & 0xFF) == 0x7F)
        hcounter_reads.push_back(vdp_hcounter_read());
    return 0xFF;
}

TEST_F(VdpTest, HCounterFollowsTheCpuCycles)
{
    static uint8_t memory[0x10000];
    std::memset(memory, 0, sizeof memory);  // NOPs of four cycles each
    memory[57] = 0xDB;  // IN A,(0x7F) after 228 cycles
    memory[58] = 0x7F;
    memory[59] = 0xDB;  // and again 11 cycles later
    memory[60] = 0x7F;
    memory[61] = 0x76;  // HALT
    Z80_BeginMemoryMap();
    Z80_MapFetch(0x0000, 0xFFFF, memory);
    Z80_MapReadDirect(0x0000, 0xFFFF, memory);
    Z80_MapWriteDirect(0x0000, 0xFFFF, memory);
    Z80_EndMemoryMap();
    Z80_SetPortInHandler(read_hcounter_port);
    Z80_Reset();
    hcounter_reads.clear();
    Z80_Execute(300);
    // 228 cycles are 341 pixel clocks, read as 85; 239 cycles give 357.
    EXPECT_EQ(hcounter_reads, (std::vector<uint8_t> {85, 101}));

    // A status read lowers the CPU's interrupt line.
    Z80_RaiseIRQ(0xFF);
    EXPECT_EQ(Z80_GetRegister(Z80_REG_IRQ_LINE), 1u);
    vdp_status_read();
    EXPECT_EQ(Z80_GetRegister(Z80_REG_IRQ_LINE), 0u);
}

TEST_F(VdpTest, RefreshDerivedRebuildsWorkingFields)
{
    vdp.is_gg = true;
    vdp.registers[2] = 0x0C;
    vdp.registers[5] = 0x40;
    vdp.registers[6] = 0x04;
    vdp.registers[7] = 0xF5;  // a stored byte of any value must stay in the palette
    vdp.registers[8] = 7;
    vdp.registers[9] = 9;
    vdp.cram_target = true;
    vdp.address = 0xFFFF;
    vdp.cram[62] = 0xFF;
    vdp.cram[63] = 0x0F;
    vdp_refresh_derived();
    EXPECT_EQ(vdp.address_mask, 63);
    EXPECT_EQ(vdp.address, 63);
    EXPECT_EQ(vdp.name_table_base, 0x3000);
    EXPECT_EQ(vdp.sprite_table_base, 0x2000);
    EXPECT_EQ(vdp.sprite_pattern_base, 0x2000);
    EXPECT_EQ(vdp.backdrop_index, 21);
    EXPECT_EQ(vdp.vscroll, 9);
    EXPECT_EQ(vdp.palette[31], 0xFFFFFFu);

    vdp.is_gg = false;
    vdp.cram[31] = 0x30;
    vdp_refresh_derived();
    EXPECT_EQ(vdp.address, 31);
    EXPECT_EQ(vdp.palette[31], 0x0000FFu);
}

}  // namespace
