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
    EXPECT_EQ(vdp.code, VDP_CODE_VRAM_READ);
    EXPECT_EQ(vdp.line_counter, 0xFF);
    EXPECT_EQ(vdp.name_table_base, 0x3800);
    EXPECT_EQ(vdp.sprite_table_base, 0x3F00);
}

TEST_F(VdpTest, DataAndStatusAccessesDiscardAHalfWrittenControlWord)
{
    vram_write_at(0x2000);
    vdp_control_write(0x34);
    vdp_data_write(0xAA);  // the lone first byte moved the address within its page
    EXPECT_EQ(vdp.vram[0x2034], 0xAA);
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
    // A write between reads stores at the current address and replaces the
    // byte already fetched.
    vdp_data_write(9);
    EXPECT_EQ(vdp.vram[1], 9);
    EXPECT_EQ(vdp_data_read(), 9);
    EXPECT_EQ(vdp_data_read(), 0);
    EXPECT_EQ(vdp.address, 4);
}

// VRAM and CRAM share the one 14-bit address; CRAM takes its low bits.
TEST_F(VdpTest, ColourMemorySharesTheAddress)
{
    control(0x25, 0xD0);
    EXPECT_EQ(vdp.code, VDP_CODE_CRAM_WRITE);
    EXPECT_EQ(vdp.address, 0x1025);
    write_bytes({0x01});
    EXPECT_EQ(vdp.cram[5], 0x01);
    control(0xFF, 0xFF);
    write_bytes({0x02, 0x03});  // 0x3FFF, then round to 0
    EXPECT_EQ(vdp.cram[31], 0x02);
    EXPECT_EQ(vdp.cram[0], 0x03);
    EXPECT_EQ(vdp.address, 1);

    vdp.is_gg = true;
    control(0x3F, 0xC0);
    write_bytes({0x0F});
    EXPECT_EQ(vdp.cram[63], 0x0F);
}

TEST_F(VdpTest, RegisterWrites)
{
    for (uint8_t high : {0x8B, 0xBF}) {
        control(0xFF, high);
        EXPECT_EQ(vdp.address, ((high & 0x3F) << 8) | 0xFF);
        EXPECT_EQ(vdp.code, VDP_CODE_REGISTER);
    }
    // Register 7's top bits are the older modes' text colour.
    set_register(7, 0xF3);
    EXPECT_EQ(vdp.registers[7], 0xF3);
    EXPECT_EQ(vdp.backdrop_index, 19);
    write_bytes({0x5A});  // after a register write, data goes to VRAM
    EXPECT_EQ(vdp.vram[0x07F3], 0x5A);

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

// The V counter's values over a frame, as msvdp.txt lists them for each
// standard and picture height (the NTSC 240-line picture over 262 lines).
TEST_F(VdpTest, VCounterTables)
{
    struct Case {
        bool pal;
        uint8_t r0, r1;
        std::vector<std::pair<int, int>> runs;  // first and last value of each run
    };
    const Case cases[] = {
        {false, 0x04, 0x00, {{0x00, 0xDA}, {0xD5, 0xFF}}}, {false, 0x06, 0x10, {{0x00, 0xEA}, {0xE5, 0xFF}}},
        {false, 0x06, 0x08, {{0x00, 0xFF}, {0x00, 0x05}}}, {true, 0x04, 0x00, {{0x00, 0xF2}, {0xBA, 0xFF}}},
        {true, 0x06, 0x10, {{0x00, 0xFF}, {0x00, 0x02}, {0xCA, 0xFF}}},
        {true, 0x06, 0x08, {{0x00, 0xFF}, {0x00, 0x0A}, {0xD2, 0xFF}}},
        {true, 0x06, 0x18, {{0x00, 0xF2}, {0xBA, 0xFF}}},  // M1 and M3: 192 lines
    };
    for (const Case& c : cases) {
        vdp.is_pal = c.pal;
        set_register(0, c.r0);
        set_register(1, c.r1);
        std::vector<std::pair<int, int>> runs;
        for (int line = 0; line < vdp_lines_per_frame(); ++line) {
            const int value = vdp_vcounter_of_line(line);
            if (runs.empty() || value != runs.back().second + 1)
                runs.push_back({value, value});
            else
                runs.back().second = value;
        }
        EXPECT_EQ(runs, c.runs) << c.pal << ' ' << int(c.r1);
    }
    vdp.has_taller_modes = false;  // the first chip keeps 192 lines
    EXPECT_EQ(vdp_display_lines(), 192);
    vdp.has_taller_modes = true;
    vdp.is_pal = false;
}

// Runs the line steps of two frames (the first loads the line counter) and
// lists the lines of the second that raised the CPU interrupt, reading the
// status (as an interrupt handler would) on each.
std::vector<int> interrupt_lines(int lines_per_frame)
{
    std::vector<int> raised;
    for (int step = 0; step < 2 * lines_per_frame; ++step) {
        const int line = step % lines_per_frame;
        if (line == 0)
            raised.clear();
        if (vdp_line_step(line)) {
            raised.push_back(line);
            vdp_status_read();
        }
    }
    return raised;
}

// The line counter steps on lines 0-192 and reloads after; the frame flag
// rises on line 193 (225 and 241 for the taller pictures).
TEST_F(VdpTest, InterruptLines)
{
    set_register(0, 0x10);
    set_register(10, 0);
    EXPECT_EQ(interrupt_lines(262).size(), 193u);
    set_register(10, 63);
    EXPECT_EQ(interrupt_lines(262), (std::vector<int> {63, 127, 191}));
    set_register(10, 192);
    EXPECT_EQ(interrupt_lines(262), (std::vector<int> {192}));

    set_register(0, 0x00);
    set_register(1, 0x20);
    EXPECT_EQ(interrupt_lines(262), (std::vector<int> {193}));
    set_register(0, 0x06);
    set_register(1, 0x30);
    EXPECT_EQ(interrupt_lines(262), (std::vector<int> {225}));
    set_register(1, 0x28);
    EXPECT_EQ(interrupt_lines(262), (std::vector<int> {241}));
}

// The H counter needs the CPU's cycle count inside a port access.
std::vector<uint8_t> hcounter_reads;

int latch_and_read(int port)
{
    if ((port & 0xFF) == 0x7F) {
        vdp_latch_hcounter();
        hcounter_reads.push_back(vdp_hcounter_read());
    }
    return 0xFF;
}

TEST_F(VdpTest, HCounterLatchesThePixelOfTheLine)
{
    static uint8_t memory[0x10000];
    std::memset(memory, 0, sizeof memory);  // NOPs of four cycles each
    memory[11] = 0xDB;  // IN A,(0x7F): its I/O cycle 44 + 8 cycles into the line
    memory[12] = 0x7F;
    memory[13] = 0x76;  // HALT
    Z80_BeginMemoryMap();
    Z80_MapFetch(0x0000, 0xFFFF, memory);
    Z80_MapReadDirect(0x0000, 0xFFFF, memory);
    Z80_MapWriteDirect(0x0000, 0xFFFF, memory);
    Z80_EndMemoryMap();
    Z80_SetPortInHandler(latch_and_read);
    Z80_Reset();
    hcounter_reads.clear();
    vdp.slice_start = 0;
    Z80_Execute(100);
    vdp.slice_start = 200;  // the same read, 200 cycles further into a line
    Z80_Reset();
    Z80_Execute(100);
    // Cycle 52 is pixel 78, 54 pixels past H = 0x1E8's wrap: 0x036, read
    // as 0x1B; cycle 252 wraps to cycle 24 of the next line: pixel 36, 0x00C.
    EXPECT_EQ(hcounter_reads, (std::vector<uint8_t> {0x1B, 0x06}));

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
    vdp.address = 0xFFFF;
    vdp.cram[62] = 0xFF;
    vdp.cram[63] = 0x0F;
    vdp_refresh_derived();
    EXPECT_EQ(vdp.address, 0x3FFF);
    EXPECT_EQ(vdp.name_table_base, 0x3000);
    EXPECT_EQ(vdp.sprite_table_base, 0x2000);
    EXPECT_EQ(vdp.sprite_pattern_base, 0x2000);
    EXPECT_EQ(vdp.backdrop_index, 21);
    EXPECT_EQ(vdp.vscroll, 9);
    EXPECT_EQ(vdp.palette[31], 0xFFFFFFu);

    vdp.is_gg = false;
    vdp.cram[31] = 0x30;
    vdp_refresh_derived();
    EXPECT_EQ(vdp.palette[31], 0x0000FFu);
}

}  // namespace
