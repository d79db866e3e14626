#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <vector>

#include "host/draw.h"
#include "host/video.h"

namespace {

constexpr int WIDTH = 20;
constexpr int HEIGHT = 10;
constexpr int PITCH = 24;  // rows carry padding the primitives must respect

// A padded back buffer in the pixel type under test, with a guard row after
// the last image row that nothing may touch.
template <typename Pixel>
class DrawTest : public ::testing::Test {
protected:
    std::vector<Pixel> memory = std::vector<Pixel>(PITCH * (HEIGHT + 1), Pixel(0x5A5A5A5A));

    void SetUp() override
    {
        screen_image = {WIDTH, HEIGHT, PITCH, 0, 0, WIDTH - 1, HEIGHT - 1, memory.data()};
        video_driver.format = sizeof(Pixel) == 4 ? &PIXEL_FORMAT_8888 : &PIXEL_FORMAT_565;
        video_active = 1;
        vid_fill_mode = 1;
        vid_set_lucent(0);
    }
    void TearDown() override
    {
        vid_set_lucent(0);
        video_active = 0;
        video_driver.format = nullptr;
        screen_image = {};
    }

    Pixel& at(int x, int y)
    {
        return memory[y * PITCH + x];
    }
    void clear_to(Pixel value)
    {
        std::fill(memory.begin(), memory.begin() + PITCH * HEIGHT, value);
    }
    // The pixels set to `colour`, as rows of '#' and '.', for easy comparison.
    std::string picture(Pixel colour)
    {
        std::string s;
        for (int y = 0; y < HEIGHT; y++) {
            for (int x = 0; x < WIDTH; x++)
                s += at(x, y) == colour ? '#' : '.';
            s += '\n';
        }
        return s;
    }
    bool guard_intact()
    {
        for (int i = PITCH * HEIGHT; i < PITCH * (HEIGHT + 1); i++)
            if (memory[i] != Pixel(0x5A5A5A5A))
                return false;
        return true;
    }
};

using Pixels = ::testing::Types<uint16_t, uint32_t>;
TYPED_TEST_SUITE(DrawTest, Pixels);

TYPED_TEST(DrawTest, ClearCoversRowPaddingButNotBeyondTheImage)
{
    vid_clear(0x12345678, screen_image);
    for (int y = 0; y < HEIGHT; y++)
        for (int x = 0; x < PITCH; x++)
            ASSERT_EQ(this->at(x, y), TypeParam(0x12345678)) << x << "," << y;
    EXPECT_TRUE(this->guard_intact());
}

TYPED_TEST(DrawTest, HlineOrdersEndsAndClips)
{
    this->clear_to(0);
    vid_hline(7, 1, 3, 1, screen_image);
    EXPECT_EQ(this->picture(1).substr(21, 20), "...#####............");

    image_set_clip(5, 2, 12, 8, screen_image);
    this->clear_to(0);
    vid_hline(-100, 3, 100, 1, screen_image);
    vid_hline(0, 4, 4, 1, screen_image);  // wholly left of the clip
    vid_hline(13, 5, 19, 1, screen_image);  // wholly right of it
    vid_hline(0, 1, 19, 1, screen_image);  // above it
    vid_hline(0, 9, 19, 1, screen_image);  // below it
    EXPECT_EQ(this->picture(1),
        "....................\n"
        "....................\n"
        "....................\n"
        ".....########.......\n"
        "....................\n"
        "....................\n"
        "....................\n"
        "....................\n"
        "....................\n"
        "....................\n");
}

TYPED_TEST(DrawTest, SetClipClampsToTheImage)
{
    image_set_clip(-3, -1, 50, 30, screen_image);
    EXPECT_EQ(screen_image.clip_x1, 0);
    EXPECT_EQ(screen_image.clip_y1, 0);
    EXPECT_EQ(screen_image.clip_x2, WIDTH - 1);
    EXPECT_EQ(screen_image.clip_y2, HEIGHT - 1);
    image_set_clip(2, 3, 4, 5, screen_image);
    EXPECT_EQ(screen_image.clip_x2, 4);
    EXPECT_EQ(screen_image.clip_y2, 5);
}

TYPED_TEST(DrawTest, WholeImageClipReachesTheLastColumnAndRowButNotThePadding)
{
    image_set_clip(0, 0, WIDTH, HEIGHT, screen_image);
    EXPECT_EQ(screen_image.clip_x2, WIDTH - 1);
    EXPECT_EQ(screen_image.clip_y2, HEIGHT - 1);
    image_set_clip(0, 0, WIDTH - 1, HEIGHT - 1, screen_image);
    EXPECT_EQ(screen_image.clip_x2, WIDTH - 1);
    EXPECT_EQ(screen_image.clip_y2, HEIGHT - 1);

    // Drawn over the initial fill, so that the padding shows any stray pixel.
    vid_line(0, 0, WIDTH + 3, 0, 1, screen_image);
    vid_hline(0, 1, WIDTH + 3, 1, screen_image);
    vid_set_pixel(WIDTH - 1, 2, 1, screen_image);
    vid_set_pixel(WIDTH, 2, 1, screen_image);
    vid_line(WIDTH - 2, 3, WIDTH + 2, 7, 1, screen_image);
    vid_line(4, 0, 4, HEIGHT + 3, 1, screen_image);
    for (int y : {0, 1, 2})
        EXPECT_EQ(this->at(WIDTH - 1, y), TypeParam(1)) << y;
    EXPECT_EQ(this->at(WIDTH - 1, 4), TypeParam(1));
    EXPECT_EQ(this->at(4, HEIGHT - 1), TypeParam(1));
    for (int y = 0; y < HEIGHT; y++)
        for (int x = WIDTH; x < PITCH; x++)
            EXPECT_EQ(this->at(x, y), TypeParam(0x5A5A5A5A)) << x << "," << y;
    EXPECT_TRUE(this->guard_intact());
}

TYPED_TEST(DrawTest, LinesTruncateTowardZero)
{
    this->clear_to(0);
    vid_line(4, 4, 4, 4, 1, screen_image);
    EXPECT_EQ(this->picture(1).find('#'), 4u * 21 + 4);
    EXPECT_EQ(std::count(this->memory.begin(), this->memory.end(), TypeParam(1)), 1);

    // Steep and going up-left: x offsets -0.4 and -0.8 truncate to 0, not -1.
    this->clear_to(0);
    vid_line(5, 6, 3, 1, 1, screen_image);
    // Shallow: y = trunc(k / 3).
    vid_line(10, 0, 16, 2, 1, screen_image);
    EXPECT_EQ(this->picture(1),
        "..........###.......\n"
        "...#.........###....\n"
        "....#...........#...\n"
        "....#...............\n"
        ".....#..............\n"
        ".....#..............\n"
        ".....#..............\n"
        "....................\n"
        "....................\n"
        "....................\n");
}

TYPED_TEST(DrawTest, AbsurdLineEndsAreClippedQuickly)
{
    this->clear_to(0);
    vid_line(INT_MIN, 5, INT_MAX, 5, 1, screen_image);
    vid_line(3, INT_MIN, 3, INT_MAX, 1, screen_image);
    EXPECT_EQ(this->picture(1).substr(5 * 21, 21), "####################\n");
    EXPECT_EQ(this->at(3, 0), TypeParam(1));
    EXPECT_EQ(this->at(3, HEIGHT - 1), TypeParam(1));
    EXPECT_TRUE(this->guard_intact());
}

TYPED_TEST(DrawTest, RectangleOutlineIgnoresOrderOfY)
{
    vid_fill_mode = 0;
    this->clear_to(0);
    vid_rect(2, 1, 6, 4, 1, screen_image);
    std::string upright = this->picture(1);
    this->clear_to(0);
    vid_rect(2, 4, 6, 1, 1, screen_image);
    EXPECT_EQ(this->picture(1), upright);
    EXPECT_EQ(upright.substr(0, 5 * 21),
        "....................\n"
        "..#####.............\n"
        "..#...#.............\n"
        "..#...#.............\n"
        "..#####.............\n");

    vid_fill_mode = 1;
    this->clear_to(0);
    vid_rect(6, 3, 2, 1, 1, screen_image);  // x is never exchanged, and hline orders it
    EXPECT_EQ(this->picture(1).substr(0, 5 * 21),
        "....................\n"
        "..#####.............\n"
        "..#####.............\n"
        "..#####.............\n"
        "....................\n");
}

TYPED_TEST(DrawTest, NothingIsDrawnWhileInactive)
{
    video_active = 0;
    auto before = this->memory;
    vid_clear(1, screen_image);
    vid_set_pixel(1, 1, 1, screen_image);
    vid_line(0, 0, 9, 9, 1, screen_image);
    vid_hline(0, 2, 9, 1, screen_image);
    vid_rect(0, 0, 9, 9, 1, screen_image);
    vid_fill_mode = 0;
    vid_rect(0, 0, 9, 9, 1, screen_image);
    text_goto(0, 0);
    text_print("Reset");
    EXPECT_EQ(this->memory, before);
}

TYPED_TEST(DrawTest, TranslucencyAboveHundredKeepsTheOldPixel)
{
    this->clear_to(TypeParam(0x00ABCDEF));
    vid_set_lucent(150);
    vid_rect(0, 0, 5, 5, 0, screen_image);
    EXPECT_EQ(this->at(3, 3), TypeParam(0x00ABCDEF));
    vid_set_lucent(0);
    vid_set_pixel(3, 3, 7, screen_image);
    EXPECT_EQ(this->at(3, 3), TypeParam(7));
}

// The pixel that one translucent write over `old` leaves, in a given format.
template <typename Pixel>
Pixel blended(const PixelFormat& format, int percent, Pixel old, uint32_t colour)
{
    Pixel pixel = old;
    Image image = {1, 1, 1, 0, 0, 0, 0, &pixel};
    video_driver.format = &format;
    vid_set_lucent(percent);
    vid_set_pixel(0, 0, colour, image);
    vid_set_lucent(0);
    return pixel;
}

TEST(Translucency, HalfIsTheExactAverageWithoutCarries)
{
    video_active = 1;
    EXPECT_EQ(blended<uint16_t>(PIXEL_FORMAT_565, 50, 0xFFFF, 0), 0x7BEF);
    EXPECT_EQ(blended<uint16_t>(PIXEL_FORMAT_555, 50, 0x7FFF, 0), 0x3DEF);
    // Each 32-bit channel averages on its own; the top byte stays, and white
    // over white stays white although the masked sum carries out of bit 31.
    EXPECT_EQ(blended<uint32_t>(PIXEL_FORMAT_8888, 50, 0xFF204060, 0x00406080), 0xFF305070u);
    EXPECT_EQ(blended<uint32_t>(PIXEL_FORMAT_8888, 50, 0xFFFFFFFF, 0xFFFFFFFF), 0xFFFEFEFEu);
    video_active = 0;
    video_driver.format = nullptr;
}

TEST(Translucency, GeneralPercentagesBlendEachChannel)
{
    video_active = 1;
    // 25 % of the old pixel, 75 % of the new one, truncated per channel.
    // 565: old (31, 0, 10), new (0, 63, 30) -> (7, 47, 25).
    EXPECT_EQ(blended<uint16_t>(PIXEL_FORMAT_565, 25, (31 << 11) | 10, (63 << 5) | 30), (7 << 11) | (47 << 5) | 25);
    // 555: old (31, 31, 0), new (1, 0, 31) -> (8, 7, 23); bit 15 is left alone.
    EXPECT_EQ(blended<uint16_t>(PIXEL_FORMAT_555, 25, 0x8000 | (31 << 10) | (31 << 5), (1 << 10) | 31),
        0x8000 | (8 << 10) | (7 << 5) | 23);
    // 32 bpp: old (200, 0, 100), new (0, 255, 1) at 70 % old -> (140, 76, 70),
    // the top byte of the old pixel kept.
    EXPECT_EQ(blended<uint32_t>(PIXEL_FORMAT_8888, 70, 0xAAC80064, 0x5500FF01), 0xAA8C4C46u);
    video_active = 0;
    video_driver.format = nullptr;
}

}  // namespace
