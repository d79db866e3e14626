#include "host/video.h"

#include <bit>

namespace {

uint32_t make_color_555(int r, int g, int b)
{
    return ((r & 0xF8) << 7) | ((g & 0xF8) << 2) | ((b & 0xFF) >> 3);
}

uint32_t make_color_565(int r, int g, int b)
{
    return ((r & 0xF8) << 8) | ((g & 0xFC) << 3) | ((b & 0xFF) >> 3);
}

uint32_t make_color_8888(int r, int g, int b)
{
    return ((r & 0xFF) << 16) | ((g & 0xFF) << 8) | (b & 0xFF);
}

// Widens a channel of `bits` bits to 8, so that full scale stays full scale.
uint32_t widen(uint32_t value, int bits)
{
    return (value << (8 - bits)) | (value >> (2 * bits - 8));
}

}  // namespace

const PixelFormat PIXEL_FORMAT_555 = {15, 2, 0x7BDE, make_color_555, {0x7C00, 0x03E0, 0x001F}};
const PixelFormat PIXEL_FORMAT_565 = {16, 2, 0xF7DE, make_color_565, {0xF800, 0x07E0, 0x001F}};
const PixelFormat PIXEL_FORMAT_8888 = {32, 4, 0xFEFEFEFE, make_color_8888, {0xFF0000, 0x00FF00, 0x0000FF}};

VideoDriver video_driver = {};
int32_t picture_x_offset = 0;
int32_t picture_y_offset = 0;
int32_t picture_height = 192;
bool vid_display_paces = false;
bool vid_fast_forward = false;

uint32_t vid_make_color(int r, int g, int b)
{
    // Before any driver has started there is no format to convert into;
    // black is pixel value 0 in every format.
    return video_driver.format ? video_driver.format->make_color(r, g, b) : 0;
}

uint32_t vid_pixel_xrgb(uint32_t pixel)
{
    uint32_t xrgb = 0;
    for (uint32_t mask : video_driver.format->channels)
        xrgb = xrgb << 8 | widen((pixel & mask) >> std::countr_zero(mask), std::popcount(mask));
    return xrgb;
}

uint32_t picture_pixel_xrgb(int x, int y)
{
    const int64_t at = int64_t {picture_y_offset + y} * screen_image.pitch + picture_x_offset + x;
    return vid_pixel_xrgb(video_driver.format->bytes_per_pixel == 4
            ? static_cast<const uint32_t*>(screen_image.pixels)[at]
            : static_cast<const uint16_t*>(screen_image.pixels)[at]);
}

void vid_show_page()
{
    if (video_driver.show_page)
        video_driver.show_page();
}

int vid_depth()
{
    return video_driver.format ? video_driver.format->depth : 0;
}

void vid_set_picture_height(int lines)
{
    if (lines == picture_height)
        return;
    picture_height = lines;
    if (video_driver.picture_resized)
        video_driver.picture_resized();
}
