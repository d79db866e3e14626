#include "vdp/vdp.h"

#include <array>
#include <bit>
#include <cstring>
#include <initializer_list>

#include "host/video.h"

VdpState vdp;

namespace {

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

}  // namespace

void vdp_reset()
{
    // Cleared so that a run is reproducible from power-on.
    std::memset(vdp.vram, 0, sizeof vdp.vram);
    std::memset(vdp.pattern_rows, 0, sizeof vdp.pattern_rows);
    vdp.address = 0;
    vdp.code = VDP_CODE_VRAM_READ;
    vdp.latch_pending = false;
    vdp.latch_low = 0;
    vdp.status = 0;
    vdp.line_irq = false;
    std::memset(vdp.registers, 0, sizeof vdp.registers);
    vdp.registers[10] = 0xFF;
    vdp.line_counter = 0xFF;
    vdp.vcounter = 0;
    vdp.slice_start = 0;
    vdp.hcounter_latch = 0;
    // The power-on table bases are not those of the zeroed registers.
    vdp.name_table_base = 0x3800;
    vdp.sprite_table_base = 0x3F00;
    vdp.sprite_pattern_base = 0;
    vdp.backdrop_index = 0;
    vdp.hscroll = 0;
    vdp.vscroll = 0;
}

void vdp_register_write(int reg, uint8_t value)
{
    // Registers 11 and up do not exist. Registers 3 and 4, and register 7's
    // top four bits, only serve the older modes.
    if (reg >= VDP_REGISTERS)
        return;
    vdp.registers[reg] = value;
    apply_register(reg);
}

void vdp_vram_write(uint16_t address, uint8_t value)
{
    address &= VDP_VRAM_MASK;
    vdp.vram[address] = value;
    update_pattern_row(address, value);
}

void vdp_cram_write(uint16_t address, uint8_t value)
{
    const int index = address & cram_mask();
    vdp.cram[index] = value;
    // A Game Gear colour is a word; either byte written shows at once
    // together with the current other byte.
    if (vdp.is_gg)
        vdp_colour_gg(index >> 1, cram_word(index >> 1));
    else
        vdp_colour_sms(index, value);
}

void vdp_refresh_derived()
{
    // A save state may carry any address; keep every later access in bounds.
    vdp.address &= VDP_VRAM_MASK;
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
