#include "vdp/render.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

#include "host/draw.h"
#include "host/video.h"
#include "vdp/vdp.h"

bool render_disable_bg = false;
bool render_disable_sprites = false;
bool render_line_priority = false;

namespace {

constexpr int PICTURE_WIDTH = 256;
constexpr int PICTURE_HEIGHT = 192;
constexpr unsigned VRAM_MASK = VDP_VRAM_SIZE - 1;
constexpr int SPRITE_COUNT = 64;
constexpr uint8_t SPRITE_TERMINATOR = 0xD0;

// Name table entry bits.
constexpr unsigned ENTRY_TILE = 0x01FF;
constexpr unsigned ENTRY_HFLIP = 0x0200;
constexpr unsigned ENTRY_VFLIP = 0x0400;
constexpr unsigned ENTRY_SPRITE_PALETTE = 0x0800;
constexpr unsigned ENTRY_PRIORITY = 0x1000;

constexpr std::array<uint8_t, 256> make_bit_reverse()
{
    std::array<uint8_t, 256> table {};
    for (int b = 0; b < 256; b++)
        for (int bit = 0; bit < 8; bit++)
            if (b & (1 << bit))
                table[b] |= uint8_t(0x80 >> bit);
    return table;
}

// Entry b is b with its bit order reversed: a horizontally flipped tile row
// is its plane bytes read backwards.
constexpr std::array<uint8_t, 256> BIT_REVERSE = make_bit_reverse();

constexpr std::array<uint64_t, 256> make_plane_spread()
{
    std::array<uint64_t, 256> table {};
    for (int b = 0; b < 256; b++) {
        std::array<uint8_t, 8> pixels {};
        for (int k = 0; k < 8; k++)
            pixels[k] = (b >> (7 - k)) & 1;
        table[b] = std::bit_cast<uint64_t>(pixels);
    }
    return table;
}

// Entry b holds the eight bits of plane byte b, leftmost pixel first, one per
// byte as they lie in memory, so that four shifted look-ups OR-ed together
// give a tile row's eight colours ready to be copied into a line buffer.
constexpr std::array<uint64_t, 256> PLANE_SPREAD = make_plane_spread();

constexpr uint64_t SPRITE_PALETTE_ROW = 0x1010101010101010;

uint8_t vram_byte(unsigned address)
{
    return vdp.vram[address & VRAM_MASK];
}

// The eight colours of the tile row whose four plane bytes start at address.
uint64_t decode_row(unsigned address, bool flip)
{
    const uint8_t* planes = &vdp.vram[address & VRAM_MASK & ~3u];
    uint64_t colours = 0;
    for (int plane = 0; plane < 4; plane++) {
        uint8_t bits = flip ? BIT_REVERSE[planes[plane]] : planes[plane];
        colours |= PLANE_SPREAD[bits] << plane;
    }
    return colours;
}

bool display_enabled()
{
    return vdp.registers[1] & 0x40;
}

// Where one picture line lies in screen_image: its row, the picture's left
// edge in it, and the picture columns [first, end) that fall inside the
// image. A picture larger than the image or placed partly off it is cut
// rather than written past the buffer.
template <typename Pixel>
struct PictureLine {
    Pixel* row;
    int left;
    int first;
    int end;
};

template <typename Pixel>
PictureLine<Pixel> picture_line(int line)
{
    PictureLine<Pixel> pl = {nullptr, picture_x_offset, 0, 0};
    int y = picture_y_offset + line;
    if (!video_active || !screen_image.pixels || line < 0 || line >= PICTURE_HEIGHT || y < 0
        || y >= screen_image.height)
        return pl;
    pl.row = static_cast<Pixel*>(screen_image.pixels) + static_cast<int64_t>(y) * screen_image.pitch;
    pl.first = std::max(0, -pl.left);
    pl.end = std::min(PICTURE_WIDTH, screen_image.width - pl.left);
    return pl;
}

// Decodes the 32 name table entries of a name table pixel row into one
// palette index per column, before scrolling. With only_priority, entries
// without the priority bit decode as index 0. Returns whether any entry has
// the bit.
bool decode_background(int row, uint8_t* indices, bool only_priority)
{
    unsigned entries = vdp.name_table_base + (row >> 3) * 64;
    int fine = row & 7;
    bool priority = false;
    for (int column = 0; column < 32; column++) {
        unsigned e = vram_byte(entries + 2 * column) | vram_byte(entries + 2 * column + 1) << 8;
        priority |= (e & ENTRY_PRIORITY) != 0;
        uint64_t colours = 0;
        if (!only_priority || (e & ENTRY_PRIORITY)) {
            int r = (e & ENTRY_VFLIP) ? 7 - fine : fine;
            colours = decode_row((e & ENTRY_TILE) * 32 + r * 4, e & ENTRY_HFLIP);
            if (e & ENTRY_SPRITE_PALETTE)
                colours |= SPRITE_PALETTE_ROW;
        }
        std::memcpy(indices + column * 8, &colours, 8);
    }
    return priority;
}

int horizontal_scroll(int line)
{
    bool locked = (vdp.registers[0] & 0x40) && line < 16;
    return locked ? 0 : vdp.hscroll;
}

// Register 0 bit 7 keeps the vertical scroll off the rightmost eight tile
// columns, so that a status panel there stays put while the playfield
// scrolls.
constexpr int VSCROLL_LOCKED_FROM = 192;

// The palette index of each picture column of the line, scrolled. Returns
// whether any of the line's name table entries has the priority bit.
bool background_line(int line, uint8_t* picture, bool only_priority)
{
    int row = line + vdp.vscroll;
    if (row > 223)  // the name table is 28 rows high
        row -= 224;
    uint8_t decoded[PICTURE_WIDTH];
    bool priority = decode_background(row, decoded, only_priority);
    uint8_t start = uint8_t(-horizontal_scroll(line));
    int locked_from = (vdp.registers[0] & 0x80) && row != line ? VSCROLL_LOCKED_FROM : PICTURE_WIDTH;
    for (int x = 0; x < locked_from; x++)
        picture[x] = decoded[uint8_t(start + x)];
    if (locked_from < PICTURE_WIDTH) {
        priority |= decode_background(line, decoded, only_priority);
        for (int x = locked_from; x < PICTURE_WIDTH; x++)
            picture[x] = decoded[uint8_t(start + x)];
    }
    return priority;
}

// A filled rectangle in the backdrop colour. Drawn row by row rather than
// with vid_rect so that the GUI's outline mode can never leave the mask open.
void fill_backdrop(int x1, int y1, int x2, int y2)
{
    uint32_t colour = vdp.palette[vdp.backdrop_index & 31];
    for (int y = std::max(y1, screen_image.clip_y1); y <= std::min(y2, screen_image.clip_y2); y++)
        vid_hline(x1, y, x2, colour, screen_image);
}

}  // namespace

template <typename Pixel>
void render_background_line(int line)
{
    PictureLine<Pixel> pl = picture_line<Pixel>(line);
    if (!pl.row)
        return;
    if (!display_enabled() || render_disable_bg) {
        // Black, not the backdrop: that is what a blanked display shows.
        vid_hline(pl.left, picture_y_offset + line, pl.left + PICTURE_WIDTH - 1, 0, screen_image);
        return;
    }
    uint8_t indices[PICTURE_WIDTH];
    if (background_line(line, indices, false))
        render_line_priority = true;
    Pixel* out = pl.row + pl.left;
    for (int x = pl.first; x < pl.end; x++)
        out[x] = Pixel(vdp.palette[indices[x]]);
}

template <typename Pixel>
void render_sprite_line(int line)
{
    PictureLine<Pixel> pl = picture_line<Pixel>(line);
    if (!pl.row || !display_enabled() || render_disable_sprites)
        return;
    int height = (vdp.registers[1] & 0x02) ? 16 : 8;
    // Sprites whose Y lies this close to the bottom of the 256-line space
    // enter from the top of the picture.
    int wrap = height == 16 ? 240 : 248;
    int shift = (vdp.registers[0] & 0x08) ? 8 : 0;
    unsigned table = vdp.sprite_table_base;
    int count = 0;
    while (count < SPRITE_COUNT && vram_byte(table + count) != SPRITE_TERMINATOR)
        count++;
    Pixel* out = pl.row + pl.left;
    // Backwards, so that sprite 0 is drawn last and lies on top.
    for (int j = count - 1; j >= 0; j--) {
        int y = vram_byte(table + j) + 1;
        if (y >= wrap)
            y -= 256;
        int row = line - y;
        if (row < 0 || row >= height)
            continue;
        int x = vram_byte(table + 0x80 + 2 * j) - shift;
        unsigned tile = vram_byte(table + 0x81 + 2 * j);
        if (height == 16)
            tile &= ~1u;  // an 8x16 sprite runs from an even tile into the next
        uint64_t colours = decode_row(vdp.sprite_pattern_base + (tile * 8 + row) * 4, false);
        uint8_t c[8];
        std::memcpy(c, &colours, 8);
        for (int k = 0; k < 8; k++)
            if (c[k] && x + k >= pl.first && x + k < pl.end)
                out[x + k] = Pixel(vdp.palette[16 + c[k]]);
    }
}

template <typename Pixel>
void render_priority_line(int line)
{
    render_line_priority = false;
    PictureLine<Pixel> pl = picture_line<Pixel>(line);
    if (!pl.row || !display_enabled() || render_disable_bg)
        return;
    uint8_t indices[PICTURE_WIDTH];
    background_line(line, indices, true);
    Pixel* out = pl.row + pl.left;
    // Colour 0 of a priority tile lets the sprite show through, whichever
    // palette the tile uses, as on the console.
    for (int x = pl.first; x < pl.end; x++)
        if (indices[x] & 15)
            out[x] = Pixel(vdp.palette[indices[x]]);
}

template void render_background_line<uint16_t>(int);
template void render_background_line<uint32_t>(int);
template void render_sprite_line<uint16_t>(int);
template void render_sprite_line<uint32_t>(int);
template void render_priority_line<uint16_t>(int);
template void render_priority_line<uint32_t>(int);

void render_frame_masks()
{
    int ox = picture_x_offset;
    int oy = picture_y_offset;
    int cx = screen_image.clip_x2;
    int cy = screen_image.clip_y2;
    if (vdp.is_gg) {
        // Everything outside the 160 x 144 window at picture (48, 24).
        fill_backdrop(0, 0, cx, oy + 23);
        fill_backdrop(0, oy + 168, cx, cy);
        fill_backdrop(0, oy + 24, ox + 47, oy + 167);
        fill_backdrop(ox + 208, oy + 24, cx, oy + 167);
    } else if (vdp.registers[0] & 0x20) {
        fill_backdrop(ox, oy, ox + 7, oy + PICTURE_HEIGHT - 1);
    }
}

void render_frame_borders()
{
    if (vdp.is_gg)
        return;
    int ox = picture_x_offset;
    int oy = picture_y_offset;
    int cx = screen_image.clip_x2;
    int cy = screen_image.clip_y2;
    if (oy != 0) {
        fill_backdrop(0, 0, cx, oy - 1);
        fill_backdrop(0, oy + PICTURE_HEIGHT, cx, cy);
    }
    if (ox != 0) {
        fill_backdrop(0, oy, ox - 1, oy + PICTURE_HEIGHT - 1);
        fill_backdrop(ox + PICTURE_WIDTH, oy, cx, oy + PICTURE_HEIGHT - 1);
    }
}
