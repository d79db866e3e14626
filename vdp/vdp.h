// The video display processor in mode 4: its record and the operations the
// machine calls. The parts live apart: ports.cpp (control, data, status and
// counter ports), memory.cpp (registers, VRAM and CRAM, colours), timing.cpp
// (V and H counters, status flags, interrupts), sprites.cpp (which sprites a
// line shows, overflow and collision) and render.cpp (the picture).
#pragma once

#include <cstdint>

constexpr int VDP_VRAM_SIZE = 16384;
constexpr unsigned VDP_VRAM_MASK = VDP_VRAM_SIZE - 1;
constexpr int VDP_CRAM_SIZE = 64;
constexpr int VDP_REGISTERS = 11;
constexpr int VDP_PICTURE_WIDTH = 256;  // pixels of every line, in every mode
// Every four bytes of VRAM are one pattern row (one byte per bit plane).
constexpr int VDP_PATTERN_ROWS = VDP_VRAM_SIZE / 4;
// A sprite Y byte that ends the sprite list (in mode 4, in the 192-line
// picture only).
constexpr uint8_t VDP_SPRITE_LIST_END = 0xD0;
constexpr int VDP_CYCLES_PER_LINE = 228;  // CPU cycles; the chip counts 342 pixels in them

constexpr uint8_t VDP_STATUS_FRAME = 0x80;  // frame interrupt pending
constexpr uint8_t VDP_STATUS_OVERFLOW = 0x40;  // a ninth sprite on a line (a fifth in the older modes)
constexpr uint8_t VDP_STATUS_COLLISION = 0x20;  // opaque pixels of two sprites met

// The code register: what the last control word set up.
enum VdpCode : uint8_t {
    VDP_CODE_VRAM_READ = 0,
    VDP_CODE_VRAM_WRITE = 1,
    VDP_CODE_REGISTER = 2,
    VDP_CODE_CRAM_WRITE = 3,
};

struct VdpState {
    // Stored by save states.
    uint8_t vram[VDP_VRAM_SIZE];
    uint8_t cram[VDP_CRAM_SIZE];
    uint8_t registers[VDP_REGISTERS];
    uint16_t address;  // one 14-bit address for VRAM and CRAM
    uint8_t status;  // VDP_STATUS_* bits
    bool latch_pending;
    uint8_t latch_low;
    uint8_t read_buffer;
    uint8_t line_counter;
    uint8_t code;  // a VdpCode; a state keeps only whether it is VDP_CODE_CRAM_WRITE
    bool line_irq;  // line interrupt pending (not a status bit)

    // Working fields, rebuilt by vdp_refresh_derived or set by the machine.
    uint16_t vcounter;  // line of the frame, 0 to 261 or 312; advanced by the scheduler
    // Cycles of the current line that had passed when the CPU's current
    // slice began (an instruction may run past the end of a line).
    int32_t slice_start;
    uint8_t hcounter_latch;  // the H counter as TH last rose
    bool is_pal;  // 313 lines a frame, else 262
    bool sprite_limit = true;  // draw only the eight sprites a line the console shows
    uint32_t palette[32];  // host pixel values; 0-15 background, 16-31 sprites
    uint16_t name_table_base;
    uint16_t sprite_table_base;
    uint16_t sprite_pattern_base;
    uint8_t backdrop_index;
    uint8_t hscroll;
    uint8_t vscroll;
    bool is_gg;  // Game Gear: 64-byte CRAM of 16-bit colours, 160 x 144 window
    // The 224- and 240-line modes exist (Master System II and Game Gear
    // chips); the first Master System chip has neither, and its name table
    // address keeps register 2's bit 0 as an address mask.
    bool has_taller_modes = true;
    // The TMS9918 itself (the SG-1000's chip): the older modes alone, in
    // its own colours.
    bool is_tms9918 = false;
    // Each pattern row of VRAM decoded into its eight colours, byte k (in
    // memory order) holding pixel k, leftmost first: the renderer copies a
    // row instead of decoding its bit planes on every line. Kept up to date
    // by data port writes; whatever writes vram otherwise must call
    // vdp_refresh_derived (a state load does).
    uint64_t pattern_rows[VDP_PATTERN_ROWS];
};

extern VdpState vdp;

// memory.cpp
void vdp_reset();
void vdp_register_write(int reg, uint8_t value);
void vdp_vram_write(uint16_t address, uint8_t value);
void vdp_cram_write(uint16_t address, uint8_t value);
void vdp_refresh_derived();
// A Master System colour byte (--BBGGRR) as a host pixel value.
uint32_t vdp_sms_colour(uint8_t value);
void vdp_colour_sms(int index, uint8_t value);
void vdp_colour_gg(int index, uint16_t word);
void vdp_palette_rebuild_gg();

// ports.cpp
void vdp_control_write(uint8_t value);
void vdp_data_write(uint8_t value);
uint8_t vdp_data_read();
uint8_t vdp_status_read();
uint8_t vdp_vcounter_read();
uint8_t vdp_hcounter_read();

// timing.cpp
// Lines of the picture the registers select: 192, 224 or 240.
int vdp_display_lines();
int vdp_lines_per_frame();
// Called as every line begins, with the new line number: steps the line
// counter and raises the flags. True while the CPU's interrupt line is to
// be held up.
bool vdp_line_step(int line);
// Whether the chip asserts the interrupt line: a pending flag whose
// interrupt is enabled.
bool vdp_irq_asserted();
// Puts the CPU's interrupt line where the flags and enables say, at once.
void vdp_irq_update();
// The V counter of a line of the frame, in the current mode and standard.
uint8_t vdp_vcounter_of_line(int line);
// Latches the H counter at the current cycle of the line, as a rising TH
// output of port 0x3F does.
void vdp_latch_hcounter();
// Latches the H counter as it stood at a given cycle of the current line (a
// light gun's sensor, found after the moment it saw the beam).
void vdp_latch_hcounter_at(int line_cycle);
// The cycle of the current line the CPU has reached (228 and more once an
// instruction runs past the line's end).
int vdp_line_cycle();
// The cycle of a line at which the beam reaches column x of the picture
// (0-255; H counts 0x000-0x0FF).
int vdp_cycle_of_picture_x(int x);
