#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/draw.h"
#include "host/video.h"

namespace {

constexpr int WIDTH = 64;
constexpr int HEIGHT = 9;
constexpr uint16_t INK = 0xFFFF;

class FontTest : public ::testing::Test {
protected:
    std::vector<uint16_t> memory = std::vector<uint16_t>(WIDTH * HEIGHT, 0);

    void SetUp() override
    {
        screen_image = {WIDTH, HEIGHT, WIDTH, 0, 0, WIDTH - 1, HEIGHT - 1, memory.data()};
        video_driver.format = &PIXEL_FORMAT_565;
        video_active = 1;
        text_colour(INK);
        text_goto(0, 0);
    }
    void TearDown() override
    {
        video_active = 0;
        video_driver.format = nullptr;
        screen_image = {};
    }

    // Rows y .. y + 6 of columns x .. x + w - 1, space separated, '#' for ink.
    std::string glyph_at(int x, int y, int w)
    {
        std::string s;
        for (int r = 0; r < 7; r++) {
            if (r)
                s += ' ';
            for (int c = 0; c < w; c++)
                s += memory[(y + r) * WIDTH + x + c] == INK ? '#' : '.';
        }
        return s;
    }
    int ink_columns_from(int x)
    {
        int last = -1;
        for (int y = 0; y < HEIGHT; y++)
            for (int c = x; c < WIDTH; c++)
                if (memory[y * WIDTH + c] == INK)
                    last = std::max(last, c);
        return last;
    }
};

TEST_F(FontTest, WidthsAreGlyphWidthsPlusOneEach)
{
    EXPECT_EQ(text_width("Reset"), 23);
    EXPECT_EQ(text_width(""), 0);
    EXPECT_EQ(text_width(" "), 3);
    EXPECT_EQ(text_width("~"), 8);
    EXPECT_EQ(text_width("i.'"), 6);
    // Codes without a glyph take no room.
    EXPECT_EQ(text_width("a\x01\x80z"), 11);
}

TEST_F(FontTest, GlyphsAreDrawnAtTheCursorAndAdvanceIt)
{
    text_goto(2, 1);
    text_print("R%c", '+');
    EXPECT_EQ(glyph_at(2, 1, 5), "###.. #..#. #..#. ###.. #..#. #..#. #..#.");
    EXPECT_EQ(glyph_at(7, 1, 5), "#.... ##... ###.. ####. ##### ..#.. ...#.");
    EXPECT_EQ(glyph_at(12, 1, 7), "....... ....... ....... ....... ....... ....... .......");
    text_putc('[');
    text_putc('{');
    text_putc('<');
    EXPECT_EQ(glyph_at(13, 1, 2), "## ## ## ## ## .# ..");
    EXPECT_EQ(glyph_at(16, 1, 2), glyph_at(13, 1, 2));
    EXPECT_EQ(glyph_at(19, 1, 2), glyph_at(13, 1, 2));
}

TEST_F(FontTest, RightAlignedAndCentredText)
{
    // "100%" is 4 + 4 + 4 + 6 = 18 wide; its last inked column is x - 2.
    text_print_right(40, 0, "100%");
    EXPECT_EQ(ink_columns_from(0), 38);
    EXPECT_EQ(glyph_at(22, 0, 3), ".#. ##. .#. .#. .#. .#. ###");

    std::fill(memory.begin(), memory.end(), 0);
    text_print_centred(30, 0, "%d", 11);  // 8 wide: starts at 26
    EXPECT_EQ(glyph_at(26, 0, 3), ".#. ##. .#. .#. .#. .#. ###");
    EXPECT_EQ(glyph_at(30, 0, 3), ".#. ##. .#. .#. .#. .#. ###");
}

TEST_F(FontTest, TextObeysTheClipRectangle)
{
    image_set_clip(0, 0, 2, 2, screen_image);
    text_goto(0, 0);
    text_print("MM");
    EXPECT_EQ(ink_columns_from(0), 2);
    for (int y = 3; y < HEIGHT; y++)
        for (int x = 0; x < WIDTH; x++)
            ASSERT_NE(memory[y * WIDTH + x], INK);
}

TEST_F(FontTest, OverlongFormattedTextIsCutAtTheBuffer)
{
    // Only 255 of the 1000 two-pixel-wide glyphs fit the buffer, so the text
    // centred on 256 starts at column 1.
    std::string text(1000, 'i');
    text_print_centred(256, 0, "%s", text.c_str());
    EXPECT_EQ(memory[1 * WIDTH + 0], 0);
    EXPECT_EQ(memory[1 * WIDTH + 1], INK);
    EXPECT_EQ(memory[1 * WIDTH + 3], INK);
}

}  // namespace
