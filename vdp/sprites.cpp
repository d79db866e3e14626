#include "vdp/sprites.h"

#include <bit>
#include <cstring>

#include "vdp/bytes.h"
#include "vdp/vdp.h"

SpriteLine sprite_line;

namespace {

// The first Master System chip widens only the first four sprites of a line
// when zoomed; its later chips widen all eight.
constexpr int FIRST_CHIP_WIDE_SPRITES = 4;

// Whether opaque pixels of the console's sprites meet on a visible pixel.
bool sprites_collide(int shown)
{
    // One bit a picture column; pixels off the edges are not counted.
    uint64_t taken[VDP_PICTURE_WIDTH / 64] = {};
    for (int i = 0; i < shown; i++) {
        uint64_t colours = sprite_line.colours[i];
        const int width = sprite_line.wide[i] ? 2 : 1;
        for (int k = 0; colours; k++, colours >>= 8) {
            if (!(colours & 0xFF))
                continue;
            for (int half = 0; half < width; half++) {
                const int column = sprite_line.x[i] + k * width + half;
                if (column < 0 || column >= VDP_PICTURE_WIDTH)
                    continue;
                const uint64_t bit = uint64_t(1) << (column & 63);
                if (taken[column >> 6] & bit)
                    return true;
                taken[column >> 6] |= bit;
            }
        }
    }
    return false;
}

}  // namespace

void vdp_sprites_evaluate(int line)
{
    sprite_line.count = 0;
    if (!(vdp.registers[1] & 0x40))
        return;  // a blanked display fetches no sprites
    const bool tall = vdp.registers[1] & 0x02;
    const bool zoom = vdp.registers[1] & 0x01;
    const unsigned height = (tall ? 16 : 8) << zoom;
    const int shift = (vdp.registers[0] & 0x08) ? 8 : 0;
    // The table is 256-byte aligned; masking keeps a stray base inside VRAM.
    const uint8_t* table = &vdp.vram[vdp.sprite_table_base & VDP_VRAM_MASK & ~0xFFu];
    int listed = VDP_SPRITES;
    if (vdp_display_lines() == 192)
        if (const void* end = std::memchr(table, VDP_SPRITE_LIST_END, VDP_SPRITES))
            listed = int(static_cast<const uint8_t*>(end) - table);
    // The sprite's top line is Y + 1. Counted modulo 256, its row on this
    // line also comes out right for a sprite whose Y lies so close to the
    // bottom of the 256-line space that it enters from the top of the picture.
    const uint8_t above = uint8_t(line - 1);
    const unsigned patterns = vdp.sprite_pattern_base / 4;
    bool full = false;
    // Eight Y bytes at a time, in table order.
    for (int group = 0; group < listed && !full; group += 8) {
        const uint64_t rows = bytewise_difference(BYTES * above, little_endian<uint64_t>(table + group));
        uint64_t visible = zero_bytes(rows & (BYTES * uint8_t(-height)));
        if (listed - group < 8)
            visible &= (uint64_t(1) << 8 * (listed - group)) - 1;  // the terminator and after
        for (; visible; visible &= visible - 1) {
            if (sprite_line.count == VDP_SPRITES_PER_LINE) {
                // The console stops at the ninth; without the limit every
                // sprite is drawn, and the flag is still the console's.
                vdp.status |= VDP_STATUS_OVERFLOW;
                full = vdp.sprite_limit;
                if (full)
                    break;
            }
            const int bit = std::countr_zero(visible);
            const int j = group + bit / 8;
            const unsigned row = uint8_t(rows >> (bit & ~7)) >> zoom;
            unsigned tile = table[0x81 + 2 * j];
            if (tall)
                tile &= ~1u;  // an 8x16 sprite runs from an even tile into the next
            const int n = sprite_line.count++;
            sprite_line.x[n] = int16_t(table[0x80 + 2 * j] - shift);
            sprite_line.wide[n] = zoom && (vdp.has_taller_modes || n < FIRST_CHIP_WIDE_SPRITES);
            sprite_line.colours[n] = vdp.pattern_rows[(patterns + tile * 8 + row) & (VDP_PATTERN_ROWS - 1)];
        }
    }
    // A lone sprite meets nothing, and a raised flag stays up until read.
    const int shown = sprite_line.count < VDP_SPRITES_PER_LINE ? sprite_line.count : VDP_SPRITES_PER_LINE;
    if (shown > 1 && !(vdp.status & VDP_STATUS_COLLISION) && sprites_collide(shown))
        vdp.status |= VDP_STATUS_COLLISION;
}
