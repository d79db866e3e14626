// The video display processor in mode 4: control and data ports, registers,
// VRAM and CRAM, status, counters, interrupts and the sprite collision test.
#pragma once

#include <cstdint>

constexpr int VDP_VRAM_SIZE = 16384;
constexpr int VDP_CRAM_SIZE = 64;
constexpr int VDP_REGISTERS = 11;
// Every four bytes of VRAM are one pattern row (one byte per bit plane).
constexpr int VDP_PATTERN_ROWS = VDP_VRAM_SIZE / 4;

struct VdpState {
    // Stored by save states.
    uint8_t vram[VDP_VRAM_SIZE];
    uint8_t cram[VDP_CRAM_SIZE];
    uint8_t registers[VDP_REGISTERS];
    uint16_t address;
    uint8_t status;  // bit 7 frame irq, bit 6 line irq, bit 5 collision
    bool latch_pending;
    uint8_t latch_low;
    uint8_t read_buffer;
    uint8_t line_counter;
    bool cram_target;

    // Working fields, rebuilt by vdp_refresh_derived.
    uint16_t address_mask;
    uint16_t vcounter;  // advanced by the scanline scheduler
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

void vdp_reset();
void vdp_control_write(uint8_t value);
void vdp_data_write(uint8_t value);
uint8_t vdp_data_read();
uint8_t vdp_status_read();
uint8_t vdp_vcounter_read();
uint8_t vdp_hcounter_read();
// Called at the start of every scanline with the new line number; true when
// the CPU interrupt is to be raised.
bool vdp_line_step(int line);
bool vdp_collision_check();
void vdp_refresh_derived();
// Lines in the picture of the current mode: 192, or 224 or 240 in the
// taller modes of mode 4 (mode bits M1 and M2, or M3 and M2, with M4).
int vdp_display_lines();
// A Master System colour byte (--BBGGRR) as a host pixel value.
uint32_t vdp_sms_colour(uint8_t value);
void vdp_colour_sms(int index, uint8_t value);
void vdp_colour_gg(int index, uint16_t word);
void vdp_palette_rebuild_gg();
