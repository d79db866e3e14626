#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "host/draw.h"
#include "host/video.h"
#include "vdp/render.h"
#include "vdp/sprites.h"
#include "vdp/vdp.h"

namespace {

// A full-screen-like back buffer: the picture sits at an offset, with room
// on every side for borders and for catching stray writes.
constexpr int IMAGE_W = 320;
constexpr int IMAGE_H = 240;
constexpr int PITCH = 328;
constexpr int OX = 32;
constexpr int OY = 24;
constexpr uint32_t UNTOUCHED = 0x5A5A5A5A;

constexpr uint16_t NAME_TABLE = 0x3800;
constexpr uint16_t SPRITE_TABLE = 0x3F00;
constexpr uint16_t SPRITE_PATTERNS = 0x2000;

constexpr uint16_t HFLIP = 0x0200;
constexpr uint16_t VFLIP = 0x0400;
constexpr uint16_t SPRITE_PALETTE = 0x0800;
constexpr uint16_t PRIORITY = 0x1000;

class RenderTest : public ::testing::Test {
protected:
    std::vector<uint32_t> memory = std::vector<uint32_t>(PITCH * IMAGE_H, UNTOUCHED);

    void SetUp() override
    {
        screen_image = {IMAGE_W, IMAGE_H, PITCH, 0, 0, IMAGE_W - 1, IMAGE_H - 1, memory.data()};
        video_driver.format = &PIXEL_FORMAT_8888;
        video_active = 1;
        vid_fill_mode = 1;
        picture_x_offset = OX;
        picture_y_offset = OY;
        vdp = VdpState {};
        vdp.registers[0] = 0x04;  // mode 4
        vdp.registers[1] = 0x40;  // display on
        vdp.name_table_base = NAME_TABLE;
        vdp.sprite_table_base = SPRITE_TABLE;
        vdp.sprite_pattern_base = SPRITE_PATTERNS;
        vdp.vram[SPRITE_TABLE] = 0xD0;  // no sprites until a test places some
        for (int i = 0; i < 32; i++)
            vdp.palette[i] = 0xAB000100 + i;
        render_disable_bg = render_disable_sprites = render_line_priority = false;
    }
    void TearDown() override
    {
        render_disable_bg = render_disable_sprites = render_line_priority = false;
        picture_x_offset = picture_y_offset = 0;
        video_active = 0;
        video_driver.format = nullptr;
        screen_image = {};
    }

    // Patterns go in through the data port, as a game writes them.
    static void tile_row(uint16_t patterns, int tile, int row, const std::array<int, 8>& colours)
    {
        unsigned address = patterns + tile * 32 + row * 4;
        vdp_control_write(address & 0xFF);
        vdp_control_write(0x40 | address >> 8);
        for (int plane = 0; plane < 4; plane++) {
            uint8_t bits = 0;
            for (int k = 0; k < 8; k++)
                bits |= ((colours[k] >> plane) & 1) << (7 - k);
            vdp_data_write(bits);
        }
    }
    static void solid_tile(uint16_t patterns, int tile, int colour)
    {
        for (int row = 0; row < 8; row++)
            tile_row(patterns, tile, row, {colour, colour, colour, colour, colour, colour, colour, colour});
    }
    static void entry(int column, int row, uint16_t value)
    {
        vdp.vram[NAME_TABLE + row * 64 + column * 2] = value & 0xFF;
        vdp.vram[NAME_TABLE + row * 64 + column * 2 + 1] = value >> 8;
    }
    static void column_of_entries(int column, uint16_t value)
    {
        for (int row = 0; row < 28; row++)
            entry(column, row, value);
    }
    static void sprite(int i, int x, int y_byte, int tile)
    {
        vdp.vram[SPRITE_TABLE + i] = y_byte;
        vdp.vram[SPRITE_TABLE + 0x80 + 2 * i] = x;
        vdp.vram[SPRITE_TABLE + 0x81 + 2 * i] = tile;
    }
    static void end_sprites(int count)
    {
        vdp.vram[SPRITE_TABLE + count] = 0xD0;
    }

    uint32_t& image_pixel(int x, int y)
    {
        return memory[y * PITCH + x];
    }
    // The palette index shown at picture pixel (x, line); -1 for black,
    // -2 for anything else.
    int shown(int x, int line)
    {
        uint32_t p = image_pixel(OX + x, OY + line);
        if (p == 0)
            return -1;
        for (int i = 0; i < 32; i++)
            if (p == vdp.palette[i])
                return i;
        return -2;
    }
    std::vector<int> shown_run(int x, int line, int n)
    {
        std::vector<int> run;
        for (int k = 0; k < n; k++)
            run.push_back(shown(x + k, line));
        return run;
    }
    // One scanline the way the scheduler draws it.
    static void render(int line)
    {
        render_background_line<uint32_t>(line);
        vdp_sprites_evaluate(line);
        render_sprite_line<uint32_t>(line);
        if (render_line_priority)
            render_priority_line<uint32_t>(line);
    }
    bool outside_picture_untouched()
    {
        for (int y = 0; y < IMAGE_H; y++)
            for (int x = 0; x < PITCH; x++) {
                bool inside = x >= OX && x < OX + 256 && y >= OY && y < OY + 192;
                if (!inside && memory[y * PITCH + x] != UNTOUCHED)
                    return false;
            }
        return true;
    }
};

using Indices = std::vector<int>;

TEST_F(RenderTest, TilesDecodeWithFlipsPalettesAndHighTileNumbers)
{
    for (int row = 0; row < 8; row++)
        tile_row(0, 1, row, {row, 1, 2, 3, 4, 5, 6, 15 - row});
    solid_tile(0, 0x101, 9);
    entry(0, 0, 1);
    entry(1, 0, 1 | HFLIP);
    entry(2, 0, 1 | VFLIP);
    entry(3, 0, 1 | SPRITE_PALETTE | HFLIP | VFLIP);
    entry(4, 0, 0x101);
    vdp.backdrop_index = 20;
    render(3);
    EXPECT_EQ(shown_run(0, 3, 8), (Indices {3, 1, 2, 3, 4, 5, 6, 12}));
    EXPECT_EQ(shown_run(8, 3, 8), (Indices {12, 6, 5, 4, 3, 2, 1, 3}));
    EXPECT_EQ(shown_run(16, 3, 8), (Indices {4, 1, 2, 3, 4, 5, 6, 11}));
    EXPECT_EQ(shown_run(24, 3, 8), (Indices {27, 22, 21, 20, 19, 18, 17, 20}));
    EXPECT_EQ(shown_run(32, 3, 8), (Indices {9, 9, 9, 9, 9, 9, 9, 9}));
    // Colour 0 of the background shows palette entry 0, not the backdrop.
    EXPECT_EQ(shown(40, 3), 0);
    EXPECT_FALSE(render_line_priority);
    EXPECT_TRUE(outside_picture_untouched());
}

TEST_F(RenderTest, HorizontalScrollAndTheLockOfTheTopLines)
{
    solid_tile(0, 1, 1);
    solid_tile(0, 2, 2);
    column_of_entries(0, 1);
    column_of_entries(31, 2);
    vdp.hscroll = 8;
    render(0);
    EXPECT_EQ(shown_run(0, 0, 17), (Indices {2, 2, 2, 2, 2, 2, 2, 2, 1, 1, 1, 1, 1, 1, 1, 1, 0}));
    EXPECT_EQ(shown(255, 0), 0);

    vdp.hscroll = 3;
    render(1);
    EXPECT_EQ(shown_run(0, 1, 12), (Indices {2, 2, 2, 1, 1, 1, 1, 1, 1, 1, 1, 0}));
    EXPECT_EQ(shown_run(253, 1, 3), (Indices {2, 2, 2}));

    vdp.registers[0] = 0x40;
    vdp.hscroll = 8;
    render(15);
    render(16);
    EXPECT_EQ(shown_run(0, 15, 2), (Indices {1, 1}));
    EXPECT_EQ(shown_run(0, 16, 2), (Indices {2, 2}));
}

TEST_F(RenderTest, VerticalScrollWrapsAtTwoHundredTwentyFour)
{
    // Name row n, fine row r shows colours (n & 15, n >> 4, r, 1) on the left.
    for (int n = 0; n < 28; n++) {
        for (int r = 0; r < 8; r++)
            tile_row(0, 10 + n, r, {n & 15, n >> 4, r, 1, 0, 0, 0, 0});
        entry(0, n, 10 + n);
    }
    vdp.vscroll = 255;
    render(0);
    EXPECT_EQ(shown_run(0, 0, 3), (Indices {3, 0, 7}));
    vdp.vscroll = 100;
    render(191);  // row 291 - 224 = 67: name row 8, fine row 3
    EXPECT_EQ(shown_run(0, 191, 3), (Indices {8, 0, 3}));

    vdp.vscroll = 0;
    for (int line = 0; line < 192; line++)
        render(line);
    std::vector<uint32_t> unscrolled = memory;
    vdp.vscroll = 224;
    for (int line = 0; line < 192; line++)
        render(line);
    EXPECT_EQ(memory, unscrolled);
    EXPECT_EQ(shown_run(0, 191, 3), (Indices {7, 1, 7}));  // name row 23
}

TEST_F(RenderTest, LockedRightColumnsIgnoreTheVerticalScroll)
{
    // Name row n shows colour n + 1 in every column.
    for (int n = 0; n < 28; n++) {
        solid_tile(0, 40 + n, (n % 15) + 1);
        for (int column = 0; column < 32; column++)
            entry(column, n, 40 + n);
    }
    vdp.vscroll = 16;
    vdp.registers[0] = 0x80;
    render(0);
    EXPECT_EQ(shown(191, 0), 3);  // scrolled: name row 2
    EXPECT_EQ(shown(192, 0), 1);  // locked: name row 0
    EXPECT_EQ(shown(255, 0), 1);
    vdp.registers[0] = 0;
    render(0);
    EXPECT_EQ(shown(255, 0), 3);
}

// A status panel in the locked columns often has priority tiles over the
// sprites that pass beneath it, while the scrolled playfield beside it has
// none on the same line.
TEST_F(RenderTest, PriorityTilesOfTheLockedColumnsCoverSprites)
{
    solid_tile(0, 1, 4);
    for (int column = 24; column < 32; column++)
        entry(column, 0, 1 | PRIORITY);  // name row 0: the panel's top
    solid_tile(SPRITE_PATTERNS, 1, 7);
    sprite(0, 60, 255, 1);  // under the scrolled part
    sprite(1, 200, 255, 1);  // under the locked columns
    end_sprites(2);
    vdp.registers[0] = 0x80;
    vdp.vscroll = 16;  // the scrolled part shows name row 2 on line 0

    render_background_line<uint32_t>(0);
    EXPECT_TRUE(render_line_priority);
    vdp_sprites_evaluate(0);
    render_sprite_line<uint32_t>(0);
    render_priority_line<uint32_t>(0);
    EXPECT_EQ(shown_run(200, 0, 8), Indices(8, 4));
    EXPECT_EQ(shown_run(60, 0, 8), Indices(8, 23));

    // Without the lock line 0 shows name row 2 there too: no priority.
    vdp.registers[0] = 0;
    render(0);
    EXPECT_EQ(shown_run(200, 0, 8), Indices(8, 23));

    // With it, a priority tile of name row 2 in those columns is not shown,
    // so it covers nothing there.
    vdp.registers[0] = 0x80;
    for (int column = 24; column < 32; column++) {
        entry(column, 0, 1);
        entry(column, 2, 1 | PRIORITY);
    }
    render(0);
    EXPECT_EQ(shown_run(200, 0, 8), Indices(8, 23));
}

// A state load puts VRAM back wholesale, behind the data port; the VDP's
// refresh must bring the decoded patterns with it.
TEST_F(RenderTest, PatternsPutIntoVramWholesaleShowAfterTheRefresh)
{
    vdp.registers[2] = 0x0E;  // the fixture's tables, as the registers give them
    vdp.registers[5] = 0x7E;
    vdp.registers[6] = 0x04;
    solid_tile(0, 1, 3);
    entry(0, 0, 1);
    solid_tile(SPRITE_PATTERNS, 1, 2);
    sprite(0, 100, 255, 1);
    end_sprites(1);
    render(0);
    EXPECT_EQ(shown(0, 0), 3);
    EXPECT_EQ(shown(100, 0), 18);

    for (int plane = 0; plane < 4; plane++) {
        vdp.vram[1 * 32 + plane] = plane == 0 ? 0xFF : 0;  // colour 1
        vdp.vram[SPRITE_PATTERNS + 1 * 32 + plane] = plane == 3 ? 0xFF : 0;  // colour 8
    }
    vdp_refresh_derived();
    for (int i = 0; i < 32; i++)
        vdp.palette[i] = 0xAB000100 + i;  // the fixture's, not those of CRAM
    render(0);
    EXPECT_EQ(shown(0, 0), 1);
    EXPECT_EQ(shown(100, 0), 24);
}

TEST_F(RenderTest, SpritesUseTheirPaletteAndTransparentColourZero)
{
    solid_tile(SPRITE_PATTERNS, 2, 5);
    tile_row(SPRITE_PATTERNS, 2, 1, {0, 5, 5, 5, 5, 5, 5, 15});
    sprite(0, 10, 20, 2);
    end_sprites(1);
    for (int line = 20; line <= 29; line++)
        render(line);
    // The sprite covers lines Y + 1 = 21 to 28.
    EXPECT_EQ(shown_run(9, 22, 10), (Indices {0, 0, 21, 21, 21, 21, 21, 21, 31, 0}));
    EXPECT_EQ(shown_run(10, 20, 2), (Indices {0, 0}));
    EXPECT_EQ(shown_run(10, 21, 2), (Indices {21, 21}));
    EXPECT_EQ(shown_run(10, 28, 2), (Indices {21, 21}));
    EXPECT_EQ(shown_run(10, 29, 2), (Indices {0, 0}));
}

TEST_F(RenderTest, SpritesWrapFromTheBottomOfTheLineSpace)
{
    solid_tile(SPRITE_PATTERNS, 1, 3);
    solid_tile(SPRITE_PATTERNS, 3, 4);
    sprite(0, 0, 255, 1);  // 8x8: lines 0-7
    sprite(1, 20, 247, 1);  // lines -8 to -1: never seen
    sprite(2, 40, 191, 1);  // lines 192-199: below the picture
    end_sprites(3);
    for (int line = 0; line < 192; line++)
        render(line);
    EXPECT_EQ(shown(0, 7), 19);
    EXPECT_EQ(shown(0, 8), 0);
    for (int line = 0; line < 192; line++) {
        ASSERT_EQ(shown(20, line), 0) << line;
        ASSERT_EQ(shown(40, line), 0) << line;
    }

    // 8x16 sprites wrap from Y 239 on: Y 240 covers lines -15 to 0, and line
    // 0 is the last row of the second tile.
    vdp.registers[1] |= 0x02;
    sprite(0, 0, 240, 2);
    render(0);
    render(1);
    EXPECT_EQ(shown(0, 0), 20);
    EXPECT_EQ(shown(0, 1), 0);
}

TEST_F(RenderTest, SpritesAtTheEdgesAndShiftedLeft)
{
    tile_row(SPRITE_PATTERNS, 1, 0, {1, 2, 3, 4, 5, 6, 7, 8});
    sprite(0, 252, 9, 1);
    end_sprites(1);
    render(10);
    EXPECT_EQ(shown_run(252, 10, 4), (Indices {17, 18, 19, 20}));
    EXPECT_TRUE(outside_picture_untouched());

    vdp.registers[0] = 0x08;
    sprite(0, 0, 9, 1);
    sprite(1, 4, 19, 1);
    end_sprites(2);
    render(10);
    render(20);
    EXPECT_EQ(shown_run(0, 10, 8), (Indices {0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(shown_run(0, 20, 5), (Indices {21, 22, 23, 24, 0}));
    EXPECT_TRUE(outside_picture_untouched());
}

TEST_F(RenderTest, TallSpritesRunIntoTheNextTile)
{
    vdp.registers[1] |= 0x02;
    solid_tile(SPRITE_PATTERNS, 4, 6);
    solid_tile(SPRITE_PATTERNS, 5, 7);
    solid_tile(SPRITE_PATTERNS, 6, 9);
    sprite(0, 0, 49, 5);  // odd tile numbers lose bit 0
    end_sprites(1);
    for (int line = 49; line <= 66; line++)
        render(line);
    EXPECT_EQ(shown(0, 49), 0);
    EXPECT_EQ(shown(0, 50), 22);
    EXPECT_EQ(shown(0, 57), 22);
    EXPECT_EQ(shown(0, 58), 23);
    EXPECT_EQ(shown(0, 65), 23);
    EXPECT_EQ(shown(0, 66), 0);
}

TEST_F(RenderTest, LowerSpritesLieOnTopAndTheTerminatorEndsTheList)
{
    solid_tile(SPRITE_PATTERNS, 1, 1);
    solid_tile(SPRITE_PATTERNS, 2, 2);
    solid_tile(SPRITE_PATTERNS, 3, 3);
    sprite(0, 10, 0, 1);
    sprite(1, 14, 0, 2);
    sprite(2, 30, 0, 3);
    end_sprites(3);
    render(1);
    EXPECT_EQ(shown_run(9, 1, 14), (Indices {0, 17, 17, 17, 17, 17, 17, 17, 17, 18, 18, 18, 18, 0}));
    EXPECT_EQ(shown(30, 1), 19);

    vdp.vram[SPRITE_TABLE + 2] = 0xD0;
    render(1);
    EXPECT_EQ(shown(30, 1), 0);
    EXPECT_EQ(shown(10, 1), 17);
    vdp.vram[SPRITE_TABLE] = 0xD0;
    render(1);
    EXPECT_EQ(shown(10, 1), 0);
}

TEST_F(RenderTest, PriorityTilesCoverSpritesExceptWhereTheyAreColourZero)
{
    tile_row(0, 1, 0, {3, 3, 3, 3, 0, 0, 0, 0});
    column_of_entries(2, 1 | PRIORITY);
    column_of_entries(4, 1 | PRIORITY | SPRITE_PALETTE);
    column_of_entries(6, 1);
    solid_tile(SPRITE_PATTERNS, 1, 7);
    sprite(0, 16, 255, 1);
    sprite(1, 32, 255, 1);
    sprite(2, 48, 255, 1);
    end_sprites(3);
    vdp.hscroll = 0;

    render_background_line<uint32_t>(0);
    EXPECT_TRUE(render_line_priority);
    vdp_sprites_evaluate(0);
    render_sprite_line<uint32_t>(0);
    render_priority_line<uint32_t>(0);
    EXPECT_FALSE(render_line_priority);
    EXPECT_EQ(shown_run(16, 0, 8), (Indices {3, 3, 3, 3, 23, 23, 23, 23}));
    EXPECT_EQ(shown_run(32, 0, 8), (Indices {19, 19, 19, 19, 23, 23, 23, 23}));
    EXPECT_EQ(shown_run(48, 0, 8), (Indices {23, 23, 23, 23, 23, 23, 23, 23}));

    // The priority pass scrolls like the background.
    vdp.hscroll = 2;
    render(0);
    EXPECT_EQ(shown_run(16, 0, 8), (Indices {23, 23, 3, 3, 3, 3, 23, 23}));
}

TEST_F(RenderTest, DisplayOffAndTheDisableSwitches)
{
    solid_tile(0, 1, 5);
    column_of_entries(0, 1 | PRIORITY);
    solid_tile(SPRITE_PATTERNS, 1, 7);
    sprite(0, 40, 255, 1);
    end_sprites(1);
    vdp.backdrop_index = 18;

    vdp.registers[1] = 0x00;
    render(0);
    EXPECT_EQ(shown_run(0, 0, 256), Indices(256, -1));  // black, not the backdrop
    EXPECT_FALSE(render_line_priority);
    vdp.registers[1] = 0x40;

    render_disable_bg = true;
    render(1);
    EXPECT_EQ(shown(0, 1), -1);
    EXPECT_EQ(shown(40, 1), 23);
    render_disable_bg = false;

    render_disable_sprites = true;
    render(2);
    EXPECT_EQ(shown(0, 2), 5);
    EXPECT_EQ(shown(40, 2), 0);
    EXPECT_TRUE(outside_picture_untouched());
}

TEST_F(RenderTest, TwoBytePixelsTakeTheLowHalfOfThePalette)
{
    std::vector<uint16_t> small(PITCH * IMAGE_H, 0x5A5A);
    screen_image.pixels = small.data();
    video_driver.format = &PIXEL_FORMAT_565;
    solid_tile(0, 1, 4);
    entry(1, 0, 1);
    solid_tile(SPRITE_PATTERNS, 1, 2);
    sprite(0, 12, 255, 1);
    end_sprites(1);
    render_background_line<uint16_t>(0);
    vdp_sprites_evaluate(0);
    render_sprite_line<uint16_t>(0);
    const uint16_t* row = &small[OY * PITCH + OX];
    EXPECT_EQ(row[0], 0x0100);
    EXPECT_EQ(row[8], 0x0104);
    EXPECT_EQ(row[12], 0x0112);
    EXPECT_EQ(row[20], 0x0100);
    EXPECT_EQ(row[256], 0x5A5A);
    EXPECT_EQ(row[-1], 0x5A5A);
}

TEST_F(RenderTest, APictureLargerThanTheImageIsCut)
{
    // A 200 x 100 screen puts the picture at (-28, -46).
    screen_image = {200, 100, PITCH, 0, 0, 199, 99, memory.data()};
    picture_x_offset = -28;
    picture_y_offset = -46;
    solid_tile(0, 1, 4);
    column_of_entries(0, 1 | PRIORITY);
    column_of_entries(31, 1 | PRIORITY);
    solid_tile(SPRITE_PATTERNS, 1, 2);
    sprite(0, 0, 100, 1);
    sprite(1, 250, 100, 1);
    end_sprites(2);
    for (int line = 0; line < 192; line++)
        render(line);
    for (int y = 0; y < IMAGE_H; y++)
        for (int x = 0; x < PITCH; x++)
            ASSERT_EQ(memory[y * PITCH + x] != UNTOUCHED, x < 200 && y < 100) << x << "," << y;
}

TEST_F(RenderTest, GameGearMaskLeavesTheConsoleWindow)
{
    vdp.is_gg = true;
    vdp.registers[0] = 0x24;
    vdp.backdrop_index = 19;
    vid_fill_mode = 0;  // the mask is filled whatever the GUI last set
    render_frame_masks();
    auto masked = [&](int x, int y) { return image_pixel(x, y) == vdp.palette[19]; };
    EXPECT_TRUE(masked(0, 0));
    EXPECT_TRUE(masked(IMAGE_W - 1, IMAGE_H - 1));
    EXPECT_TRUE(masked(OX + 100, OY + 23));
    EXPECT_FALSE(masked(OX + 100, OY + 24));
    EXPECT_FALSE(masked(OX + 100, OY + 167));
    EXPECT_TRUE(masked(OX + 100, OY + 168));
    EXPECT_TRUE(masked(OX + 47, OY + 100));
    EXPECT_FALSE(masked(OX + 48, OY + 100));
    EXPECT_FALSE(masked(OX + 207, OY + 100));
    EXPECT_TRUE(masked(OX + 208, OY + 100));
    EXPECT_TRUE(masked(OX + 30, OY + 30));

    // The Game Gear has no borders of its own: the mask covers them.
    std::vector<uint32_t> before = memory;
    render_frame_borders();
    EXPECT_EQ(memory, before);
}

TEST_F(RenderTest, MasterSystemLeftColumnAndBorders)
{
    vdp.backdrop_index = 17;
    auto backdrop = [&](int x, int y) { return image_pixel(x, y) == vdp.palette[17]; };
    render_frame_masks();
    EXPECT_EQ(std::count(memory.begin(), memory.end(), UNTOUCHED), PITCH * IMAGE_H);

    vdp.registers[0] = 0x24;
    render_frame_masks();
    EXPECT_TRUE(backdrop(OX, OY));
    EXPECT_TRUE(backdrop(OX + 7, OY + 191));
    EXPECT_FALSE(backdrop(OX + 8, OY + 100));
    EXPECT_FALSE(backdrop(OX - 1, OY + 100));
    EXPECT_FALSE(backdrop(OX + 3, OY + 192));

    render_frame_borders();
    EXPECT_TRUE(backdrop(0, 0));
    EXPECT_TRUE(backdrop(IMAGE_W - 1, OY - 1));
    EXPECT_TRUE(backdrop(OX - 1, OY + 100));
    EXPECT_TRUE(backdrop(OX + 256, OY + 100));
    EXPECT_TRUE(backdrop(100, OY + 192));
    EXPECT_TRUE(backdrop(IMAGE_W - 1, IMAGE_H - 1));
    EXPECT_FALSE(backdrop(OX + 100, OY + 100));
    EXPECT_EQ(image_pixel(IMAGE_W, 0), UNTOUCHED);  // the pitch padding

    // A picture that fills the image has no borders.
    std::fill(memory.begin(), memory.end(), UNTOUCHED);
    picture_x_offset = picture_y_offset = 0;
    screen_image = {256, 192, PITCH, 0, 0, 255, 191, memory.data()};
    render_frame_borders();
    EXPECT_EQ(std::count(memory.begin(), memory.end(), UNTOUCHED), PITCH * IMAGE_H);
}

}  // namespace
