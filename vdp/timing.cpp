// Where the chip is in its frame: the V counter's tables, the H counter and
// its latch, the line counter, the status flags and the interrupt line.
//
// A line begins, for all of these, as the H counter passes 0xF4 in the
// blanking before the line's pixels: the V counter takes the new line's
// value and the line counter and the frame flag step there. The CPU runs
// each line as one slice that starts at that point, so a flag rising as a
// line begins reaches the CPU at the first instruction boundary after it.
#include "vdp/vdp.h"
#include "z80/z80.h"

namespace {

constexpr int LINES_NTSC = 262;
constexpr int LINES_PAL = 313;

// The V counter counts the lines up to last_direct, then jumps back by drop
// and counts on, wrapping at 256 (msvdp.txt's tables: NTSC 00-DA, D5-FF;
// 00-EA, E5-FF; 00-FF, 00-05; PAL 00-F2, BA-FF; 00-FF, 00-02, CA-FF;
// 00-FF, 00-0A, D2-FF).
struct VCounterShape {
    int last_direct;
    int drop;
};
// [PAL][192, 224, 240 lines]
constexpr VCounterShape V_COUNTER_SHAPES[2][3] = {
    {{0xDA, 6}, {0xEA, 6}, {LINES_NTSC, 0}},
    {{0xF2, 0x39}, {0x102, 0x39}, {0x10A, 0x39}},
};

// The H counter is nine bits, of which a read gives the top eight. Over the
// 342 pixels of a line it counts 0x000-0x127, jumps to 0x1D2 and counts on
// to 0x1FF; the line begins at LINE_START_HCOUNT.
constexpr int PIXELS_PER_LINE = 342;
constexpr int HCOUNT_LAST_BEFORE_JUMP = 0x127;
constexpr int HCOUNT_AFTER_JUMP = 0x1D2;
constexpr int LINE_START_HCOUNT = 0x1E8;  // read as 0xF4
constexpr int PIXELS_BEFORE_WRAP = 0x200 - LINE_START_HCOUNT;

int mode_index(int lines)
{
    return lines == 192 ? 0 : lines == 224 ? 1 : 2;
}

int hcount_at_pixel(int pixel)
{
    if (pixel < PIXELS_BEFORE_WRAP)
        return LINE_START_HCOUNT + pixel;
    const int count = pixel - PIXELS_BEFORE_WRAP;
    return count <= HCOUNT_LAST_BEFORE_JUMP ? count : HCOUNT_AFTER_JUMP + count - HCOUNT_LAST_BEFORE_JUMP - 1;
}

}  // namespace

int vdp_display_lines()
{
    // M2 (register 0 bit 1) with M4 lets M1 and M3 (register 1 bits 4 and 3)
    // pick the taller pictures; both or neither keep 192.
    const uint8_t r0 = vdp.registers[0];
    const uint8_t r1 = vdp.registers[1];
    if (!vdp.has_taller_modes || (r0 & 0x06) != 0x06 || !(r1 & 0x10) == !(r1 & 0x08))
        return 192;
    return (r1 & 0x10) ? 224 : 240;
}

int vdp_lines_per_frame()
{
    return vdp.is_pal ? LINES_PAL : LINES_NTSC;
}

uint8_t vdp_vcounter_of_line(int line)
{
    const VCounterShape& shape = V_COUNTER_SHAPES[vdp.is_pal][mode_index(vdp_display_lines())];
    return static_cast<uint8_t>(line <= shape.last_direct ? line : line - shape.drop);
}

uint8_t vdp_vcounter_read()
{
    int line = vdp.vcounter;
    if (vdp_line_cycle() >= VDP_CYCLES_PER_LINE && ++line >= vdp_lines_per_frame())
        line = 0;
    return vdp_vcounter_of_line(line);
}

int vdp_line_cycle()
{
    return vdp.slice_start + Z80_GetElapsedCycles();
}

int vdp_cycle_of_picture_x(int x)
{
    // The first cycle by whose start the beam has reached the column.
    const int pixel = PIXELS_BEFORE_WRAP + x;
    return (pixel * VDP_CYCLES_PER_LINE + PIXELS_PER_LINE - 1) / PIXELS_PER_LINE;
}

void vdp_latch_hcounter_at(int line_cycle)
{
    int cycle = line_cycle % VDP_CYCLES_PER_LINE;
    if (cycle < 0)
        cycle += VDP_CYCLES_PER_LINE;
    const int pixel = cycle * PIXELS_PER_LINE / VDP_CYCLES_PER_LINE;
    vdp.hcounter_latch = static_cast<uint8_t>(hcount_at_pixel(pixel) >> 1);
}

void vdp_latch_hcounter()
{
    vdp_latch_hcounter_at(vdp_line_cycle());
}

bool vdp_irq_asserted()
{
    return ((vdp.status & VDP_STATUS_FRAME) && (vdp.registers[1] & 0x20))
        || (vdp.line_irq && (vdp.registers[0] & 0x10));
}

void vdp_irq_update()
{
    if (vdp_irq_asserted())
        Z80_RaiseIRQ(0xFF);
    else
        Z80_LowerIRQ();
}

bool vdp_line_step(int line)
{
    // The counter steps on the picture's lines and the one after them, and
    // is reloaded on all others; the frame flag rises on the line after that.
    const int lines = vdp_display_lines();
    if (line <= lines) {
        if (vdp.line_counter == 0) {
            vdp.line_counter = vdp.registers[10];
            vdp.line_irq = true;
        } else {
            --vdp.line_counter;
        }
    } else {
        vdp.line_counter = vdp.registers[10];
    }
    if (line == lines + 1)
        vdp.status |= VDP_STATUS_FRAME;
    return vdp_irq_asserted();
}
