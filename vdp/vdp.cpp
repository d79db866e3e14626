#include "vdp/vdp.h"

#include <array>
#include <bit>
#include <cstring>
#include <initializer_list>

#include "host/video.h"
#include "z80/z80.h"

VdpState vdp;

namespace {

constexpr uint16_t VRAM_MASK = VDP_VRAM_SIZE - 1;

constexpr uint8_t STATUS_FRAME_IRQ = 0x80;
constexpr uint8_t STATUS_LINE_IRQ = 0x40;

// The last line that still raises a pending frame interrupt.
constexpr int FRAME_IRQ_LAST_LINE = 223;
constexpr int ACTIVE_LINES = 192;

// A Y byte of 208 in the sprite attribute table ends the sprite list.
constexpr uint8_t SPRITE_LIST_END = 0xD0;

constexpr int SMS_LEVELS[4] = {0, 85, 170, 255};
// The Game Gear's three-bit levels are not i * 255 / 7 throughout.
constexpr int GG_LEVELS[8] = {0, 36, 73, 109, 146, 182, 218, 255};

constexpr std::array<uint64_t, 256> make_plane_spread()
{
    std::array<uint64_t, 256> table {};
    for (int b = 0; b < 256; ++b) {
        std::array<uint8_t, 8> pixels {};
        for (int k = 0; k < 8; ++k)
            pixels[k] = (b >> (7 - k)) & 1;
        table[b] = std::bit_cast<uint64_t>(pixels);
    }
    return table;
}

// Entry b holds the eight bits of plane byte b, leftmost pixel first, one per
// byte as they lie in memory: plane n shifted left by n adds its share to
// each of a row's eight colours.
constexpr std::array<uint64_t, 256> PLANE_SPREAD = make_plane_spread();
constexpr uint64_t PLANE0_BITS = PLANE_SPREAD[0xFF];  // plane 0's bit of every pixel

// One VRAM byte written: only its own plane of its row's colours changes.
void update_pattern_row(uint16_t address, uint8_t value)
{
    uint64_t& row = vdp.pattern_rows[address >> 2];
    const int plane = address & 3;
    row = (row & ~(PLANE0_BITS << plane)) | (PLANE_SPREAD[value] << plane);
}

void decode_pattern_rows()
{
    for (int row = 0; row < VDP_PATTERN_ROWS; ++row) {
        const uint8_t* planes = &vdp.vram[row * 4];
        vdp.pattern_rows[row] = PLANE_SPREAD[planes[0]] | PLANE_SPREAD[planes[1]] << 1 | PLANE_SPREAD[planes[2]] << 2
            | PLANE_SPREAD[planes[3]] << 3;
    }
}

uint16_t cram_mask()
{
    return vdp.is_gg ? VDP_CRAM_SIZE - 1 : 31;
}

// The Game Gear's 16-bit colour word of one palette entry.
uint16_t cram_word(int colour)
{
    return static_cast<uint16_t>(vdp.cram[2 * colour] | (vdp.cram[2 * colour + 1] << 8));
}

// Updates the working copy that depends on one register.
void apply_register(int reg)
{
    const uint8_t value = vdp.registers[reg];
    switch (reg) {
    case 2:
        vdp.name_table_base = (value & 0x0E) << 10;
        break;
    case 5:
        vdp.sprite_table_base = (value & 0x7E) << 7;
        break;
    case 6:
        vdp.sprite_pattern_base = (value & 0x04) ? 0x2000 : 0;
        break;
    // Masked again because a save state may carry any byte here.
    case 7:
        vdp.backdrop_index = 16 + (value & 0x0F);
        break;
    case 8:
        vdp.hscroll = value;
        break;
    case 9:
        vdp.vscroll = value;
        break;
    default:
        break;  // registers 0, 1 and 10 are read where they are used
    }
}

void register_write(int reg, uint8_t value)
{
    // Registers 11 and up do not exist. Registers 3 and 4, and register 7's
    // top four bits, only serve the older modes.
    if (reg >= VDP_REGISTERS)
        return;
    vdp.registers[reg] = value;
    apply_register(reg);
}

}  // namespace

void vdp_reset()
{
    // Cleared so that a run is reproducible from power-on.
    std::memset(vdp.vram, 0, sizeof vdp.vram);
    std::memset(vdp.pattern_rows, 0, sizeof vdp.pattern_rows);
    vdp.address = 0;
    vdp.address_mask = VRAM_MASK;
    vdp.cram_target = false;
    vdp.latch_pending = false;
    vdp.latch_low = 0;
    vdp.status = 0;
    std::memset(vdp.registers, 0, sizeof vdp.registers);
    vdp.registers[10] = 0xFF;
    vdp.line_counter = 0xFF;
    vdp.vcounter = 0;
    // The power-on table bases are not those of the zeroed registers.
    vdp.name_table_base = 0x3800;
    vdp.sprite_table_base = 0x3F00;
    vdp.sprite_pattern_base = 0;
    vdp.backdrop_index = 0;
    vdp.hscroll = 0;
    vdp.vscroll = 0;
}

void vdp_control_write(uint8_t value)
{
    if (!vdp.latch_pending) {
        vdp.latch_low = value;
        vdp.latch_pending = true;
        return;
    }
    vdp.latch_pending = false;

    const uint16_t address = ((value & 0x3F) << 8) | vdp.latch_low;
    switch (value >> 6) {
    case 0:  // VRAM read set-up: the chip fetches the first byte at once
        vdp.cram_target = false;
        vdp.address_mask = VRAM_MASK;
        vdp.read_buffer = vdp.vram[address];
        vdp.address = (address + 1) & VRAM_MASK;
        break;
    case 1:  // VRAM write set-up
        vdp.cram_target = false;
        vdp.address_mask = VRAM_MASK;
        vdp.address = address;
        break;
    case 2:
        register_write(value - 0x80, vdp.latch_low);
        break;
    case 3:  // CRAM write set-up
        vdp.cram_target = true;
        vdp.address_mask = cram_mask();
        vdp.address = vdp.latch_low & vdp.address_mask;
        break;
    }
}

void vdp_data_write(uint8_t value)
{
    vdp.latch_pending = false;
    if (!vdp.cram_target) {
        vdp.vram[vdp.address] = value;
        update_pattern_row(vdp.address, value);
    } else {
        vdp.cram[vdp.address] = value;
        // A Game Gear colour is a word; either byte written shows at once
        // together with the current other byte.
        if (vdp.is_gg)
            vdp_colour_gg(vdp.address >> 1, cram_word(vdp.address >> 1));
        else
            vdp_colour_sms(vdp.address, value);
    }
    vdp.address = (vdp.address + 1) & vdp.address_mask;
}

uint8_t vdp_data_read()
{
    const uint8_t result = vdp.read_buffer;
    vdp.latch_pending = false;
    // The read-ahead comes from VRAM even while CRAM is the write target.
    vdp.read_buffer = vdp.vram[vdp.address];
    vdp.address = (vdp.address + 1) & vdp.address_mask;
    return result;
}

uint8_t vdp_status_read()
{
    vdp.latch_pending = false;
    Z80_LowerIRQ();
    const uint8_t result = vdp.status;
    vdp.status &= ~(STATUS_FRAME_IRQ | STATUS_LINE_IRQ);
    return result;
}

uint8_t vdp_vcounter_read()
{
    return vdp.vcounter < 256 ? vdp.vcounter : 255;
}

uint8_t vdp_hcounter_read()
{
    // 341 pixel clocks pass in the 228 CPU cycles of a scanline.
    return static_cast<uint8_t>(Z80_GetElapsedCycles() * 341 / 228);
}

bool vdp_line_step(int line)
{
    const uint8_t reload = vdp.registers[10];
    if (line > ACTIVE_LINES) {
        // Vertical blank reloads the counter on every line.
        vdp.line_counter = reload;
        return line <= FRAME_IRQ_LAST_LINE && (vdp.status & STATUS_FRAME_IRQ) && (vdp.registers[1] & 0x20);
    }
    if (line == ACTIVE_LINES)
        vdp.status |= STATUS_FRAME_IRQ;
    const uint8_t count = line == 0 ? reload : vdp.line_counter;
    if (count == 0) {
        vdp.line_counter = reload;
        vdp.status |= STATUS_LINE_IRQ;
    } else {
        vdp.line_counter = count - 1;
    }
    return (vdp.status & STATUS_LINE_IRQ) && (vdp.registers[0] & 0x10);
}

bool vdp_collision_check()
{
    const int height = (vdp.registers[1] & 0x02) ? 16 : 8;
    // The table is 256-byte aligned; masking keeps a stray base inside VRAM.
    const uint8_t* table = vdp.vram + (vdp.sprite_table_base & VRAM_MASK & ~0xFF);

    int xs[64], ys[64];
    int count = 0;
    for (int i = 0; i < 64 && table[i] != SPRITE_LIST_END; ++i) {
        const int y = table[i] + 1;
        if (y >= 192 && y <= 240)
            continue;  // parked below the picture
        xs[count] = table[0x80 + 2 * i];
        ys[count] = y;
        ++count;
    }

    // A box test on the 8-pixel-wide cells, ignoring transparent pixels.
    for (int i = 0; i < count; ++i) {
        for (int j = i + 1; j < count; ++j) {
            if (xs[j] > xs[i] - 8 && xs[j] < xs[i] + 8 && ys[j] > ys[i] - height && ys[j] < ys[i] + height)
                return true;
        }
    }
    return false;
}

void vdp_refresh_derived()
{
    vdp.address_mask = vdp.cram_target ? cram_mask() : VRAM_MASK;
    // A save state may carry any address; keep every later access in bounds.
    vdp.address &= vdp.address_mask;
    for (int reg : {2, 5, 6, 7, 8, 9})
        apply_register(reg);
    decode_pattern_rows();
    if (vdp.is_gg) {
        vdp_palette_rebuild_gg();
    } else {
        for (int i = 0; i < 32; ++i)
            vdp_colour_sms(i, vdp.cram[i]);
    }
}

int vdp_display_lines()
{
    const bool m1 = vdp.registers[1] & 0x10;
    const bool m2 = vdp.registers[0] & 0x02;
    const bool m3 = vdp.registers[1] & 0x08;
    const bool m4 = vdp.registers[0] & 0x04;
    if (!m4 || !m2 || !vdp.has_taller_modes || m1 == m3)
        return 192;
    return m1 ? 224 : 240;
}

uint32_t vdp_sms_colour(uint8_t value)
{
    return vid_make_color(SMS_LEVELS[value & 3], SMS_LEVELS[(value >> 2) & 3], SMS_LEVELS[(value >> 4) & 3]);
}

void vdp_colour_sms(int index, uint8_t value)
{
    vdp.palette[index & 31] = vdp_sms_colour(value);
}

void vdp_colour_gg(int index, uint16_t word)
{
    // The lowest bit of each four-bit channel is not used.
    vdp.palette[index & 31]
        = vid_make_color(GG_LEVELS[(word >> 1) & 7], GG_LEVELS[(word >> 5) & 7], GG_LEVELS[(word >> 9) & 7]);
}

void vdp_palette_rebuild_gg()
{
    for (int i = 0; i < 32; ++i)
        vdp_colour_gg(i, cram_word(i));
}
