// The scanline renderer: draws each visible line of the emulated picture
// straight into screen_image. Each line pass exists for 2-byte pixels
// (uint16_t, depths 15 and 16) and 4-byte pixels (uint32_t, depth 32).
#pragma once

#include <cstdint>

// The Settings menu's "  Disable bg" and "  Disable sprites" switches.
extern bool render_disable_bg;
extern bool render_disable_sprites;
// Set by the background pass when the line holds a priority tile; cleared by
// the priority pass.
extern bool render_line_priority;

template <typename Pixel>
void render_background_line(int line);
template <typename Pixel>
void render_sprite_line(int line);
template <typename Pixel>
void render_priority_line(int line);

extern template void render_background_line<uint16_t>(int);
extern template void render_background_line<uint32_t>(int);
extern template void render_sprite_line<uint16_t>(int);
extern template void render_sprite_line<uint32_t>(int);
extern template void render_priority_line<uint16_t>(int);
extern template void render_priority_line<uint32_t>(int);

// Draws one picture line from colour numbers (0-15), indices[x] for picture
// column x, through `colours` (host pixel values).
template <typename Pixel>
void render_indexed_line(int line, const uint8_t* indices, const uint32_t* colours);
extern template void render_indexed_line<uint16_t>(int, const uint8_t*, const uint32_t*);
extern template void render_indexed_line<uint32_t>(int, const uint8_t*, const uint32_t*);

// The backdrop's host pixel value, in the mode the registers select.
uint32_t render_backdrop_colour();

// Game Gear window mask or Master System left-column blank, once per frame.
void render_frame_masks();
// Backdrop bands round the picture, after the frame is presented.
void render_frame_borders();
