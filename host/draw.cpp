#include "host/draw.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstdlib>

#include "host/video.h"

Image screen_image = {};
uint8_t video_active = 0;
int32_t vid_fill_mode = 0;

namespace {

enum class Lucency { opaque, half, general };

Lucency lucency = Lucency::opaque;
int lucent_percent = 0;  // share of the old pixel kept by the general blend

// Everything a typed primitive needs to know about the current format,
// looked up once per call rather than once per pixel. Blending never changes
// the bits outside the colour channels.
struct Target {
    const uint32_t* channels;
    uint32_t channel_bits;
    uint32_t blend_mask;
};

Target current_target()
{
    const PixelFormat& f = *video_driver.format;
    return {f.channels, f.channels[0] | f.channels[1] | f.channels[2], f.blend_mask};
}

template <typename Pixel>
Pixel blend(Pixel old, uint32_t colour, const Target& t)
{
    uint32_t mixed;
    if (lucency == Lucency::half) {
        // Clearing the low bit of every channel first keeps the sum of each
        // channel from carrying into its neighbour. The sum itself may carry
        // out of bit 31 for 32-bit pixels, which only the untouched top byte
        // would have seen.
        mixed = ((old & t.blend_mask) + (colour & t.blend_mask)) >> 1;
    } else {
        mixed = 0;
        for (int channel = 0; channel < 3; channel++) {
            uint32_t m = t.channels[channel];
            int shift = std::countr_zero(m);
            uint32_t o = (old & m) >> shift;
            uint32_t n = (colour & m) >> shift;
            mixed |= ((o * lucent_percent + n * (100 - lucent_percent)) / 100) << shift;
        }
    }
    return Pixel((mixed & t.channel_bits) | (old & ~t.channel_bits));
}

template <typename Pixel>
Pixel* row_of(const Image& image, int y)
{
    return static_cast<Pixel*>(image.pixels) + static_cast<int64_t>(y) * image.pitch;
}

bool inside_clip(const Image& image, int64_t x, int64_t y)
{
    return x >= image.clip_x1 && x <= image.clip_x2 && y >= image.clip_y1 && y <= image.clip_y2;
}

template <typename Pixel>
void plot(int x, int y, uint32_t colour, const Image& image, const Target& t)
{
    Pixel* p = row_of<Pixel>(image, y) + x;
    *p = lucency == Lucency::opaque ? Pixel(colour) : blend<Pixel>(*p, colour, t);
}

template <typename Pixel>
void clear_pixels(uint32_t colour, const Image& image)
{
    if (image.pitch <= 0 || image.height <= 0)
        return;
    Pixel* p = static_cast<Pixel*>(image.pixels);
    std::fill_n(p, static_cast<int64_t>(image.pitch) * image.height, Pixel(colour));
}

template <typename Pixel>
void set_pixel(int x, int y, uint32_t colour, const Image& image)
{
    if (inside_clip(image, x, y))
        plot<Pixel>(x, y, colour, image, current_target());
}

template <typename Pixel>
void hline(int x1, int y, int x2, uint32_t colour, const Image& image)
{
    if (x1 > x2)
        std::swap(x1, x2);
    if (x1 > image.clip_x2 || x2 < image.clip_x1 || y > image.clip_y2 || y < image.clip_y1)
        return;
    x1 = std::max(x1, image.clip_x1);
    x2 = std::min(x2, image.clip_x2);
    Pixel* p = row_of<Pixel>(image, y);
    if (lucency == Lucency::opaque) {
        std::fill(p + x1, p + x2 + 1, Pixel(colour));
        return;
    }
    Target t = current_target();
    for (int x = x1; x <= x2; x++)
        p[x] = blend<Pixel>(p[x], colour, t);
}

// Steps k from 0 towards d (d itself excluded) along the major axis, but only
// over the k whose major coordinate lies inside [lo, hi]: the other points
// would be clipped anyway, and skipping them keeps absurd end points cheap.
template <typename Plot>
void walk_major(int64_t start, int64_t d, int64_t lo, int64_t hi, Plot plot_at)
{
    int64_t step = d < 0 ? -1 : 1;
    int64_t t_first = step > 0 ? lo - start : start - hi;
    int64_t t_last = step > 0 ? hi - start : start - lo;
    t_first = std::max<int64_t>(t_first, 0);
    t_last = std::min<int64_t>(t_last, d * step - 1);
    for (int64_t t = t_first; t <= t_last; t++)
        plot_at(t * step);
}

template <typename Pixel>
void line(int x1, int y1, int x2, int y2, uint32_t colour, const Image& image)
{
    Target t = current_target();
    auto plot_clipped = [&](int64_t x, int64_t y) {
        if (inside_clip(image, x, y))
            plot<Pixel>(static_cast<int>(x), static_cast<int>(y), colour, image, t);
    };
    int64_t dx = static_cast<int64_t>(x2) - x1;
    int64_t dy = static_cast<int64_t>(y2) - y1;
    // The slope is a single-precision float and the minor offset is
    // truncated toward zero, so that lines keep their established shape.
    if (std::abs(dx) < std::abs(dy)) {
        float s = static_cast<float>(dx) / static_cast<float>(dy);
        walk_major(y1, dy, image.clip_y1, image.clip_y2,
            [&](int64_t k) { plot_clipped(x1 + static_cast<int64_t>(s * static_cast<float>(k)), y1 + k); });
    } else if (dx != 0) {
        float s = static_cast<float>(dy) / static_cast<float>(dx);
        walk_major(x1, dx, image.clip_x1, image.clip_x2,
            [&](int64_t k) { plot_clipped(x1 + k, y1 + static_cast<int64_t>(s * static_cast<float>(k))); });
    }
    plot_clipped(x2, y2);
}

// Calls draw with the pixel type of the current driver's format; nothing is
// drawn while drawing is switched off or before a driver has fixed a format.
template <typename Draw>
void dispatch(const Image& image, Draw draw)
{
    if (!video_active || !video_driver.format || !image.pixels)
        return;
    if (video_driver.format->bytes_per_pixel == 4)
        draw(uint32_t {});
    else
        draw(uint16_t {});
}

}  // namespace

void image_set_clip(int x1, int y1, int x2, int y2, Image& image)
{
    image.clip_x1 = std::max(x1, 0);
    image.clip_y1 = std::max(y1, 0);
    image.clip_x2 = x2 < image.width ? x2 : image.width - 1;
    image.clip_y2 = y2 < image.height ? y2 : image.height - 1;
}

void vid_clear(uint32_t colour, Image& image)
{
    dispatch(image, [&]<typename Pixel>(Pixel) { clear_pixels<Pixel>(colour, image); });
}

void vid_set_pixel(int x, int y, uint32_t colour, Image& image)
{
    dispatch(image, [&]<typename Pixel>(Pixel) { set_pixel<Pixel>(x, y, colour, image); });
}

void vid_line(int x1, int y1, int x2, int y2, uint32_t colour, Image& image)
{
    dispatch(image, [&]<typename Pixel>(Pixel) { line<Pixel>(x1, y1, x2, y2, colour, image); });
}

void vid_hline(int x1, int y, int x2, uint32_t colour, Image& image)
{
    dispatch(image, [&]<typename Pixel>(Pixel) { hline<Pixel>(x1, y, x2, colour, image); });
}

void vid_rect(int x1, int y1, int x2, int y2, uint32_t colour, Image& image)
{
    if (y2 < y1)
        std::swap(y1, y2);
    if (!vid_fill_mode) {
        vid_hline(x1, y1, x2, colour, image);
        vid_hline(x1, y2, x2, colour, image);
        vid_line(x1, y1, x1, y2, colour, image);
        vid_line(x2, y1, x2, y2, colour, image);
        return;
    }
    // Rows outside the clip rectangle would draw nothing.
    int first = std::max(y1, image.clip_y1);
    int last = std::min(y2, image.clip_y2);
    for (int y = first; y <= last; y++)
        vid_hline(x1, y, x2, colour, image);
}

void vid_set_lucent(int percent)
{
    // The state is kept even while drawing is off: a caller that switches
    // translucency on and back off around its drawing must never leave it
    // stuck on because the window lost focus in between.
    if (percent <= 0) {
        lucency = Lucency::opaque;
        lucent_percent = 0;
    } else if (percent == 50) {
        lucency = Lucency::half;
        lucent_percent = 50;
    } else {
        lucency = Lucency::general;
        lucent_percent = std::min(percent, 100);
    }
}

void vid_shade_rect(int x1, int y1, int x2, int y2, Image& image)
{
    const int fill = vid_fill_mode;
    vid_fill_mode = 1;
    vid_set_lucent(50);
    vid_rect(x1, y1, x2, y2, 0, image);
    vid_set_lucent(0);
    vid_fill_mode = fill;
}

void text_print_shaded(int x, int y, uint32_t colour, const char* text)
{
    vid_shade_rect(x - 1, y - 1, x + text_width(text), y + 8, screen_image);
    text_goto(x, y);
    text_colour(colour);
    text_print("%s", text);
}
