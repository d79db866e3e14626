// The emulated picture as it stands in the screen image, whatever the
// pixel format: its colours, its CRC and PNG files of it. Apart from the
// portable host layer, so that only the programs link libpng.
#pragma once

#include <cstdint>
#include <string>

#include "host/video.h"  // picture_pixel_xrgb

// A part of the picture, in picture pixels.
struct PictureArea {
    int x, y, width, height;
};

// The whole picture, 256 pixels wide and as high as the current mode's.
inline PictureArea whole_picture()
{
    return {0, 0, 256, picture_height};
}

// What a Game Gear shows of it.
inline PictureArea game_gear_picture()
{
    return {48, game_gear_window_top(), 160, 144};
}

// zlib's CRC-32 over the whole picture as little-endian 32-bit XRGB values,
// row by row.
uint32_t picture_crc32();
// How many different colours the whole picture shows.
int picture_colour_count();
// Writes the area as an 8-bit RGB PNG file through the one writer of the
// user's files (which reports a failure).
bool picture_write_png(const std::string& path, PictureArea area = whole_picture());

// The screenshot key, F8: called at each frame end once the picture is
// complete and before the menus and popups are drawn over it, writes what
// the game shows to the next free GAME-NNN.png in screenshot_folder, and
// says so in the popup.
void screenshot_key();
// Where screenshots go; empty for the current folder.
extern std::string screenshot_folder;
// The file the next screenshot goes to.
std::string screenshot_next_path();
