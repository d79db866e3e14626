#include "vdp/render.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <type_traits>

#include "host/draw.h"
#include "host/video.h"
#include "vdp/bytes.h"
#include "vdp/sprites.h"
#include "vdp/tms.h"
#include "vdp/vdp.h"

bool render_disable_bg = false;
bool render_disable_sprites = false;
bool render_line_priority = false;

namespace {

// Name table entry bits.
constexpr unsigned ENTRY_TILE = 0x01FF;
constexpr unsigned ENTRY_HFLIP = 0x0200;
constexpr unsigned ENTRY_VFLIP = 0x0400;
constexpr unsigned ENTRY_SPRITE_PALETTE = 0x0800;
constexpr unsigned ENTRY_PRIORITY = 0x1000;

constexpr uint64_t SPRITE_PALETTE_ROW = 0x1010101010101010;

// The eight colours of the pattern row at the given row index, from the
// decoded rows the VDP keeps.
uint64_t pattern_row(unsigned row)
{
    return vdp.pattern_rows[row & (VDP_PATTERN_ROWS - 1)];
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
inline PictureLine<Pixel> picture_line(int line)
{
    PictureLine<Pixel> pl = {nullptr, picture_x_offset, 0, 0};
    int y = picture_y_offset + line;
    if (!video_active || !screen_image.pixels || line < 0 || line >= picture_height || y < 0
        || y >= screen_image.height)
        return pl;
    pl.row = static_cast<Pixel*>(screen_image.pixels) + static_cast<int64_t>(y) * screen_image.pitch;
    pl.first = std::max(0, -pl.left);
    pl.end = std::min(VDP_PICTURE_WIDTH, screen_image.width - pl.left);
    return pl;
}

// The taller modes' name table has 32 rows, at 0x700 above the base that
// register 2's bits 3 and 2 give. The first chip keeps register 2's bit 0
// as a mask on address bit 10: with it clear, rows 16 and up repeat rows 0
// and up (a quirk some games depend on).
unsigned name_row_address(int name_row)
{
    if (vdp_display_lines() > 192)
        return (((vdp.registers[2] & 0x0C) << 10) | 0x700) + name_row * 64;
    const unsigned address = vdp.name_table_base + name_row * 64;
    if (!vdp.has_taller_modes && !vdp.is_gg)
        return address & (0x3BFF | (vdp.registers[2] & 1) << 10);
    return address;
}

// Fills indices[0, 512) with the palette index of each column of a name
// table pixel row before scrolling, twice over, so that a scrolled line is
// one run from its start offset. With only_priority, entries without the
// priority bit give index 0. Returns whether any entry has the bit.
bool decode_background(int row, uint8_t* indices, bool only_priority)
{
    // A name table row is 64 bytes at a multiple of 64: it never wraps.
    const uint8_t* entries = &vdp.vram[name_row_address(row >> 3) & VDP_VRAM_MASK & ~63u];
    unsigned fine = row & 7;
    unsigned any = 0;
    for (int column = 0; column < 32; column++) {
        const unsigned e = little_endian<uint16_t>(entries + 2 * column);
        any |= e;
        // 7 - fine when flipped vertically.
        unsigned r = fine ^ ((e & ENTRY_VFLIP) ? 7 : 0);
        uint64_t colours = pattern_row((e & ENTRY_TILE) * 8 + r);
        // Pixel k is byte k: a flipped row is the bytes in reverse.
        if (e & ENTRY_HFLIP)
            colours = __builtin_bswap64(colours);
        if (e & ENTRY_SPRITE_PALETTE)
            colours |= SPRITE_PALETTE_ROW;
        if (only_priority && !(e & ENTRY_PRIORITY))
            colours = 0;
        std::memcpy(indices + column * 8, &colours, 8);
        std::memcpy(indices + VDP_PICTURE_WIDTH + column * 8, &colours, 8);
    }
    return any & ENTRY_PRIORITY;
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

// The background of one picture line as palette indices: picture column x
// shows scrolled[start + x], or locked[start + x] from locked_from on.
struct BackgroundLine {
    alignas(8) uint8_t scrolled[2 * VDP_PICTURE_WIDTH];
    alignas(8) uint8_t locked[2 * VDP_PICTURE_WIDTH];
    int start;
    int locked_from;
    bool priority;  // any of the line's name table entries has the bit
};

void background_line(int line, BackgroundLine& bg, bool only_priority)
{
    int row = line + vdp.vscroll;
    if (vdp_display_lines() > 192)
        row &= 255;  // the taller modes' name table is 32 rows high
    else if (row > 223)  // the name table is 28 rows high
        row -= 224;
    bg.start = uint8_t(-horizontal_scroll(line));
    bg.priority = decode_background(row, bg.scrolled, only_priority);
    bg.locked_from = (vdp.registers[0] & 0x80) && row != line ? VSCROLL_LOCKED_FROM : VDP_PICTURE_WIDTH;
    if (bg.locked_from < VDP_PICTURE_WIDTH)
        bg.priority |= decode_background(line, bg.locked, only_priority);
}

// Calls run(indices, from, to) for the runs of picture columns within
// [first, end) that one source of indices covers; column x shows indices[x].
template <typename Run>
void for_each_background_run(const BackgroundLine& bg, int first, int end, Run run)
{
    int split = std::clamp(bg.locked_from, first, end);
    run(bg.scrolled + bg.start, first, split);
    if (split < end)
        run(bg.locked + bg.start, split, end);
}

// The two bytes of a pair of palette indices read as one 16-bit key.
uint16_t pair_key(uint8_t left, uint8_t right)
{
    uint8_t two[2] = {left, right};
    uint16_t key;
    std::memcpy(&key, two, sizeof key);
    return key;
}

// The host values of two neighbouring pixels for every pair of palette
// indices, at the pair's key, so that a line goes through the palette two
// pixels per look-up. Indices stay below 32, so keys stay below 0x2000, and
// only 32 runs of 32 entries are ever used. Checked against the palette on
// every line and rebuilt for the entries that changed.
template <typename Pixel>
struct PixelPairs {
    using Pair = std::conditional_t<sizeof(Pixel) == 2, uint32_t, uint64_t>;
    uint32_t palette[32];  // the palette the pairs were made from
    Pair pair[0x2000];
};

template <typename Pixel>
PixelPairs<Pixel> pixel_pairs;

template <typename Pixel>
const PixelPairs<Pixel>& current_pixel_pairs()
{
    PixelPairs<Pixel>& pp = pixel_pairs<Pixel>;
    if (std::memcmp(pp.palette, vdp.palette, sizeof pp.palette) == 0)
        return pp;
    uint32_t changed = 0;
    for (int i = 0; i < 32; i++)
        if (pp.palette[i] != vdp.palette[i])
            changed |= 1u << i;
    std::memcpy(pp.palette, vdp.palette, sizeof pp.palette);
    auto make = [&](int left, int right) {
        Pixel two[2] = {Pixel(pp.palette[left]), Pixel(pp.palette[right])};
        std::memcpy(&pp.pair[pair_key(left, right)], two, sizeof two);
    };
    for (int i = 0; i < 32; i++) {
        if (!(changed & (1u << i)))
            continue;
        for (int j = 0; j < 32; j++) {
            make(i, j);
            make(j, i);
        }
    }
    return pp;
}

// out[x] = palette[indices[x]] for x in [from, to), two pixels at a time.
template <typename Pixel>
void copy_through_palette(Pixel* out, const uint8_t* indices, int from, int to, const PixelPairs<Pixel>& pp)
{
    auto copy_pair = [&](int at) {
        uint16_t key;
        std::memcpy(&key, indices + at, sizeof key);
        std::memcpy(out + at, &pp.pair[key], sizeof pp.pair[0]);
    };
    int x = from;
    for (; x + 8 <= to; x += 8)
        for (int pair = 0; pair < 8; pair += 2)
            copy_pair(x + pair);
    for (; x + 2 <= to; x += 2)
        copy_pair(x);
    if (x < to)
        out[x] = Pixel(pp.palette[indices[x]]);
}

// A filled rectangle in the backdrop colour. Drawn row by row rather than
// with vid_rect so that the GUI's outline mode can never leave the mask open.
void fill_backdrop(int x1, int y1, int x2, int y2)
{
    const uint32_t colour = render_backdrop_colour();
    for (int y = std::max(y1, screen_image.clip_y1); y <= std::min(y2, screen_image.clip_y2); y++)
        vid_hline(x1, y, x2, colour, screen_image);
}

}  // namespace

uint32_t render_backdrop_colour()
{
    return vdp_tms_mode() ? tms_backdrop_colour() : vdp.palette[vdp.backdrop_index & 31];
}

template <typename Pixel>
void render_background_line(int line)
{
    PictureLine<Pixel> pl = picture_line<Pixel>(line);
    if (!pl.row)
        return;
    if (!display_enabled() || render_disable_bg) {
        // Black, not the backdrop: that is what a blanked display shows.
        vid_hline(pl.left, picture_y_offset + line, pl.left + VDP_PICTURE_WIDTH - 1, 0, screen_image);
        return;
    }
    BackgroundLine bg;
    background_line(line, bg, false);
    if (bg.priority)
        render_line_priority = true;
    Pixel* out = pl.row + pl.left;
    const PixelPairs<Pixel>& pp = current_pixel_pairs<Pixel>();
    for_each_background_run(bg, pl.first, pl.end,
        [&](const uint8_t* indices, int from, int to) { copy_through_palette(out, indices, from, to, pp); });
}

template <typename Pixel>
void render_sprite_line(int line)
{
    PictureLine<Pixel> pl = picture_line<Pixel>(line);
    if (!pl.row || render_disable_sprites)
        return;
    const uint32_t* palette = vdp.palette + 16;
    Pixel* out = pl.row + pl.left;
    // Backwards, so that the first sprite is drawn last and lies on top.
    for (int i = sprite_line.count - 1; i >= 0; i--) {
        const uint64_t colours = sprite_line.colours[i];
        if (!colours)
            continue;
        const int x = sprite_line.x[i];
        uint8_t c[8];
        std::memcpy(c, &colours, 8);
        if (sprite_line.wide[i]) {
            for (int k = std::max(0, pl.first - x); k < std::min(16, pl.end - x); k++)
                if (c[k >> 1])
                    out[x + k] = Pixel(palette[c[k >> 1]]);
            continue;
        }
        auto draw = [&](int from, int to) {
            for (int k = from; k < to; k++)
                if (c[k])
                    out[x + k] = Pixel(palette[c[k]]);
        };
        if (x >= pl.first && x + 8 <= pl.end)
            draw(0, 8);  // the common case, in eight fixed steps
        else
            draw(std::max(0, pl.first - x), std::min(8, pl.end - x));
    }
}

template <typename Pixel>
void render_priority_line(int line)
{
    render_line_priority = false;
    PictureLine<Pixel> pl = picture_line<Pixel>(line);
    if (!pl.row || !display_enabled() || render_disable_bg)
        return;
    BackgroundLine bg;
    background_line(line, bg, true);
    Pixel* out = pl.row + pl.left;
    // Colour 0 of a priority tile lets the sprite show through, whichever
    // palette the tile uses, as on the console.
    for_each_background_run(bg, pl.first, pl.end, [&](const uint8_t* indices, int from, int to) {
        for (int x = from; x < to; x++)
            if (indices[x] & 15)
                out[x] = Pixel(vdp.palette[indices[x]]);
    });
}

template <typename Pixel>
void render_indexed_line(int line, const uint8_t* indices, const uint32_t* colours)
{
    PictureLine<Pixel> pl = picture_line<Pixel>(line);
    if (!pl.row)
        return;
    Pixel* out = pl.row + pl.left;
    for (int x = pl.first; x < pl.end; x++)
        out[x] = Pixel(colours[indices[x]]);
}

template void render_indexed_line<uint16_t>(int, const uint8_t*, const uint32_t*);
template void render_indexed_line<uint32_t>(int, const uint8_t*, const uint32_t*);
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
        // Everything outside the 160 x 144 window, centred on the picture.
        const int top = oy + game_gear_window_top();
        fill_backdrop(0, 0, cx, top - 1);
        fill_backdrop(0, top + 144, cx, cy);
        fill_backdrop(0, top, ox + 47, top + 143);
        fill_backdrop(ox + 208, top, cx, top + 143);
    } else if (vdp.registers[0] & 0x20) {
        fill_backdrop(ox, oy, ox + 7, oy + picture_height - 1);
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
        fill_backdrop(0, oy + picture_height, cx, cy);
    }
    if (ox != 0) {
        fill_backdrop(0, oy, ox - 1, oy + picture_height - 1);
        fill_backdrop(ox + VDP_PICTURE_WIDTH, oy, cx, oy + picture_height - 1);
    }
}
