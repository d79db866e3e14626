// tarven's icon: pixel art drawn at any whole multiple of its design size,
// for the window (host/sdl) and for the PNG files installed for the desktop
// (tools/icon), so both show the same picture.
#pragma once

#include <cstdint>
#include <vector>

// The icon's own size in pixels; it is drawn at whole multiples of it.
constexpr int ICON_DESIGN_SIZE = 16;

// The icon SIZE x SIZE pixels large, as RGBA bytes row by row from the top,
// transparent around the block. SIZE is a multiple of ICON_DESIGN_SIZE.
std::vector<uint8_t> icon_rgba(int size);
