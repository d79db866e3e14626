// Clipped drawing primitives over an Image, translucency, and text in the
// built-in font. Every primitive draws in the pixel format of the current
// video driver (video.h) and does nothing while video_active is 0.
#pragma once

#include <cstdint>

struct Image {
    int32_t width;
    int32_t height;
    int32_t pitch;  // in pixels, not bytes
    int32_t clip_x1;
    int32_t clip_y1;
    int32_t clip_x2;  // inclusive
    int32_t clip_y2;  // inclusive
    void* pixels;  // pixel (0, 0)
};

// The back buffer, filled in by the video driver.
extern Image screen_image;
// 1 while the back buffer may be drawn to.
extern uint8_t video_active;
// 1: vid_rect fills; 0: vid_rect outlines.
extern int32_t vid_fill_mode;

void image_set_clip(int x1, int y1, int x2, int y2, Image& image);

void vid_clear(uint32_t colour, Image& image);
void vid_set_pixel(int x, int y, uint32_t colour, Image& image);
void vid_line(int x1, int y1, int x2, int y2, uint32_t colour, Image& image);
void vid_hline(int x1, int y, int x2, uint32_t colour, Image& image);
void vid_rect(int x1, int y1, int x2, int y2, uint32_t colour, Image& image);
// 0 (or less): opaque; 50: exact average; other percentages: that much of
// the old pixel is kept (values above 100 count as 100).
void vid_set_lucent(int percent);
// A half-translucent black box, filled whatever the fill flag: what a pop-up's
// text is drawn on, so that it reads on any picture.
void vid_shade_rect(int x1, int y1, int x2, int y2, Image& image);

// Text in the built-in font, drawn into screen_image.
void text_goto(int x, int y);
void text_colour(uint32_t pixel);
void text_putc(int code);
void text_print(const char* format, ...) __attribute__((format(printf, 1, 2)));
int text_width(const char* text);
// Text from data (never a format) in `colour` at (x, y), on a shaded box.
void text_print_shaded(int x, int y, uint32_t colour, const char* text);
void text_print_right(int x, int y, const char* text);
void text_print_centred(int x, int y, const char* format, ...) __attribute__((format(printf, 3, 4)));
