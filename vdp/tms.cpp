#include "vdp/tms.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "host/video.h"
#include "vdp/render.h"
#include "vdp/vdp.h"

namespace {

constexpr int SPRITES = 32;
constexpr int SPRITES_PER_LINE = 4;
constexpr uint8_t STATUS_SPRITE_NUMBER = 0x1F;
// Text mode's 40 columns of 6 pixels leave 8 pixels of backdrop each side.
constexpr int TEXT_LEFT = 8;
constexpr int TEXT_COLUMNS = 40;

// The colours the Master System and Game Gear chips show in the older
// modes: fixed, not taken from CRAM, each a Master System colour byte
// (--BBGGRR). Colour 0 is transparent: the backdrop shows through.
constexpr uint8_t SEGA_COLOURS[16]
    = {0x00, 0x00, 0x08, 0x0C, 0x10, 0x30, 0x01, 0x3C, 0x02, 0x03, 0x05, 0x0F, 0x04, 0x33, 0x15, 0x3F};

// The TMS9918's own colours, as its data sheet gives them.
constexpr uint8_t TMS9918_RGB[16][3] = {{0, 0, 0}, {0, 0, 0}, {33, 200, 66}, {94, 220, 120}, {84, 85, 237},
    {125, 118, 252}, {212, 82, 77}, {66, 235, 245}, {252, 85, 84}, {255, 121, 120}, {212, 193, 84}, {230, 206, 128},
    {33, 176, 59}, {201, 91, 186}, {204, 204, 204}, {255, 255, 255}};

enum class Mode { graphics1, text, graphics2, multicolor };

Mode current_mode()
{
    // Of the undocumented mixtures, text wins, then multicolor.
    if (vdp.registers[1] & 0x10)
        return Mode::text;
    if (vdp.registers[1] & 0x08)
        return Mode::multicolor;
    return (vdp.registers[0] & 0x02) ? Mode::graphics2 : Mode::graphics1;
}

uint8_t vram_at(unsigned address)
{
    return vdp.vram[address & VDP_VRAM_MASK];
}

// Eight pixels of one pattern byte, bit 7 leftmost: `one` for a set bit,
// `zero` for a clear one.
void spread(uint8_t* out, uint8_t bits, uint8_t one, uint8_t zero)
{
    for (int k = 0; k < 8; ++k)
        out[k] = (bits & (0x80 >> k)) ? one : zero;
}

unsigned name_table()
{
    return (vdp.registers[2] & 0x0F) << 10;
}

void graphics_line(int line, uint8_t* out, bool graphics2)
{
    const unsigned names = name_table() + (line >> 3) * 32;
    const int fine = line & 7;
    for (int column = 0; column < 32; ++column) {
        const unsigned name = vram_at(names + column);
        uint8_t pattern;
        uint8_t colour;
        if (graphics2) {
            // The screen's thirds each have their own 256 patterns; the low
            // bits of registers 3 and 4 mask the table addresses.
            const unsigned row = ((line >> 6) * 256 + name) * 8 + fine;
            pattern = vram_at(((vdp.registers[4] & 0x04) << 11) | (row & (((vdp.registers[4] & 0x03) << 11) | 0x7FF)));
            colour = vram_at(((vdp.registers[3] & 0x80) << 6) | (row & (((vdp.registers[3] & 0x7F) << 6) | 0x3F)));
        } else {
            pattern = vram_at(((vdp.registers[4] & 0x07) << 11) + name * 8 + fine);
            colour = vram_at((vdp.registers[3] << 6) + name / 8);
        }
        spread(out + column * 8, pattern, colour >> 4, colour & 15);
    }
}

void text_line(int line, uint8_t* out)
{
    const unsigned names = name_table() + (line >> 3) * TEXT_COLUMNS;
    const unsigned patterns = (vdp.registers[4] & 0x07) << 11;
    const uint8_t foreground = vdp.registers[7] >> 4;
    const uint8_t background = vdp.registers[7] & 15;
    std::memset(out, 0, VDP_PICTURE_WIDTH);
    for (int column = 0; column < TEXT_COLUMNS; ++column) {
        uint8_t six[8];
        spread(six, vram_at(patterns + vram_at(names + column) * 8 + (line & 7)), foreground, background);
        std::memcpy(out + TEXT_LEFT + column * 6, six, 6);
    }
}

void multicolor_line(int line, uint8_t* out)
{
    const unsigned names = name_table() + (line >> 3) * 32;
    const unsigned patterns = (vdp.registers[4] & 0x07) << 11;
    // Each pattern's eight bytes cover four rows of names, two a row, each
    // byte four lines high.
    const int byte = ((line >> 3) & 3) * 2 + ((line >> 2) & 1);
    for (int column = 0; column < 32; ++column) {
        const uint8_t colours = vram_at(patterns + vram_at(names + column) * 8 + byte);
        std::memset(out + column * 8, colours >> 4, 4);
        std::memset(out + column * 8 + 4, colours & 15, 4);
    }
}

// Draws the line's sprites over `out` and records the fifth sprite and any
// collision in the status. The lower-numbered sprite wins a pixel; two
// sprites' set pattern bits on one pixel collide, whatever their colours.
void draw_sprites(int line, uint8_t* out)
{
    const uint8_t* table = &vdp.vram[(vdp.registers[5] & 0x7F) << 7];
    const unsigned patterns = (vdp.registers[6] & 0x07) << 11;
    const int size = (vdp.registers[1] & 0x02) ? 16 : 8;
    const int zoom = (vdp.registers[1] & 0x01) ? 2 : 1;
    bool taken[VDP_PICTURE_WIDTH + 64] = {};  // from x = -32, as the early clock shifts
    int shown = 0;
    int i = 0;
    for (; i < SPRITES; ++i) {
        const uint8_t* sprite = table + 4 * i;
        if (sprite[0] == VDP_SPRITE_LIST_END)
            break;
        // Y counts from -1, and the bottom 32 values are the lines above.
        int top = sprite[0] + 1;
        if (sprite[0] >= 0xE0)
            top -= 256;
        const int row = (line - top) / zoom;
        if (line < top || row >= size)
            continue;
        if (++shown > SPRITES_PER_LINE) {
            if (!(vdp.status & VDP_STATUS_OVERFLOW))
                vdp.status = (vdp.status & ~STATUS_SPRITE_NUMBER) | VDP_STATUS_OVERFLOW | i;
            return;
        }
        const int x = sprite[1] - ((sprite[3] & 0x80) ? 32 : 0);
        const uint8_t colour = sprite[3] & 15;
        const unsigned pattern = size == 16 ? sprite[2] & 0xFC : sprite[2];
        // The row's pixels, leftmost in bit 15. A 16-pixel sprite's right
        // half is the pattern 16 bytes on.
        const unsigned address = patterns + pattern * 8 + row;
        const unsigned bits = vram_at(address) << 8 | (size == 16 ? vram_at(address + 16) : 0);
        for (int px = 0; px < size * zoom; ++px) {
            const int at = x + px;
            if (!(bits & (0x8000 >> (px / zoom))) || at >= VDP_PICTURE_WIDTH)
                continue;
            if (taken[at + 32]) {
                vdp.status |= VDP_STATUS_COLLISION;
                continue;
            }
            taken[at + 32] = true;
            if (at >= 0 && colour)
                out[at] = colour;
        }
    }
    // Without a fifth sprite the number is that of the last one looked at.
    if (!(vdp.status & VDP_STATUS_OVERFLOW))
        vdp.status = (vdp.status & ~STATUS_SPRITE_NUMBER) | std::min(i, SPRITES - 1);
}

// Colour i of the chip in the older modes, as a host pixel value.
uint32_t colour_of(int i)
{
    if (vdp.is_tms9918)
        return vid_make_color(TMS9918_RGB[i][0], TMS9918_RGB[i][1], TMS9918_RGB[i][2]);
    return vdp_sms_colour(SEGA_COLOURS[i]);
}

// The colours of the chip in the older modes, with the backdrop in place of
// colour 0.
void make_colours(uint32_t* colours)
{
    colours[0] = tms_backdrop_colour();
    for (int i = 1; i < 16; ++i)
        colours[i] = colour_of(i);
}

}  // namespace

uint32_t tms_backdrop_colour()
{
    return colour_of(vdp.registers[7] & 15);
}

bool vdp_tms_mode()
{
    return vdp.is_tms9918 || !(vdp.registers[0] & 0x04);
}

void tms_line(int line, bool draw)
{
    uint8_t indices[VDP_PICTURE_WIDTH];
    const bool enabled = vdp.registers[1] & 0x40;
    const Mode mode = current_mode();
    if (!enabled) {
        // A blanked display shows the backdrop.
        std::memset(indices, 0, sizeof indices);
    } else if (mode == Mode::text) {
        text_line(line, indices);
    } else if (mode == Mode::multicolor) {
        multicolor_line(line, indices);
    } else {
        graphics_line(line, indices, mode == Mode::graphics2);
    }
    // Text mode has no sprites.
    if (enabled && mode != Mode::text)
        draw_sprites(line, indices);
    if (!draw)
        return;
    uint32_t colours[16];
    make_colours(colours);
    if (vid_depth() == 32)
        render_indexed_line<uint32_t>(line, indices, colours);
    else
        render_indexed_line<uint16_t>(line, indices, colours);
}
