// The video driver record: pixel format, colour maker and the platform's
// present and shutdown. The drawing primitives (draw.h) and the scanline
// renderer dispatch on the pixel format recorded here; a platform layer only
// supplies back-buffer memory and presents it.
#pragma once

#include <cstdint>

#include "host/draw.h"

// A pixel format of the back buffer.
struct PixelFormat {
    int depth;  // 15, 16 or 32
    int bytes_per_pixel;  // 2 or 4
    uint32_t blend_mask;  // 0x7BDE, 0xF7DE or 0xFEFEFEFE
    uint32_t (*make_color)(int r, int g, int b);
    // Bit masks of the red, green and blue channels; bits outside them (the
    // unused top bit of 555, the top byte of 32-bit pixels) hold no colour.
    uint32_t channels[3];
};

extern const PixelFormat PIXEL_FORMAT_555;
extern const PixelFormat PIXEL_FORMAT_565;
extern const PixelFormat PIXEL_FORMAT_8888;

// The current driver. `format` is null until a driver has started.
struct VideoDriver {
    int number;
    const char* name;
    const char* description;
    const PixelFormat* format;
    void (*show_page)();
    void (*shutdown)();
    // Fits the back buffer to a new picture_height; null where one size
    // holds every picture.
    void (*picture_resized)();
};

extern VideoDriver video_driver;

// Where the emulated picture sits in screen_image.
extern int32_t picture_x_offset;
extern int32_t picture_y_offset;
// The picture is 256 pixels wide and this many lines high: 192, or 224 or
// 240 in the taller modes of the later chips.
constexpr int PICTURE_LINES_MAX = 240;
extern int32_t picture_height;

// The top line of the Game Gear's 160 x 144 screen in the picture, which
// the console centres on it: line 24 of 192, 40 of 224.
inline int game_gear_window_top()
{
    return (picture_height - 144) / 2;
}

// Called by the machine between frames, before the first line of a frame
// whose picture height differs from the last one; the driver fits its back
// buffer (and the window) to it, keeping the pixels' shape.
void vid_set_picture_height(int lines);

// True while each present waits for a display refreshing at the frame rate:
// the display then paces the frames and the frame timer only measures them.
// Drivers that present without waiting leave it false.
extern bool vid_display_paces;

// True while the game runs as fast as it can (fast-forward): frames come
// faster than any display shows them, so a present shows a frame only when
// the frame timer has ticked since the last one and never waits for the
// display's refresh.
extern bool vid_fast_forward;

// (r, g, b), each 0-255, as a pixel value of the current format.
uint32_t vid_make_color(int r, int g, int b);
// A pixel value of the current format as 0x00RRGGBB.
uint32_t vid_pixel_xrgb(uint32_t pixel);
// The emulated picture's pixel (x, y) as 0x00RRGGBB, whatever the format:
// what the screen image holds there (the menus drawn over it included).
uint32_t picture_pixel_xrgb(int x, int y);
// Presents the back buffer through the current driver.
void vid_show_page();
// Colour depth of the current driver: 15, 16 or 32.
int vid_depth();

// Starts the video driver the settings ask for (full screen or windowed, 16
// or 32 bits per pixel), replacing screen_image and the picture offsets; how
// the screen mode is switched. Provided by the platform layer.
void vid_apply_mode();
