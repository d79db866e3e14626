#include "host/icon.h"

#include <cstddef>

namespace {

// A block as in the demo with a star on it. '.' is transparent.
constexpr const char* ICON_ROWS[ICON_DESIGN_SIZE] = {
    "................",
    ".oooooooooooooo.",
    ".oYYYYYYYYYYRRo.",
    ".oYRRRRRRRRRRRo.",
    ".oYRRRRwwRRRRRo.",
    ".oYRRRRwwRRRRRo.",
    ".oYRRwwwwwwRRRo.",
    ".oYRRwwwwwwRRRo.",
    ".oYRRRRwwRRRRRo.",
    ".oYRRRwRRwRRRRo.",
    ".oYRRwRRRRwRRRo.",
    ".oRRRRRRRRRRRRo.",
    ".oRRRRRRRRRRRRo.",
    ".oRRRRRRRRRRRRo.",
    ".oooooooooooooo.",
    "................",
};

// RGBA of an icon character: outline, highlight, block, star.
constexpr uint32_t icon_colour(char c)
{
    return c == 'o' ? 0x201008FF : c == 'Y' ? 0xFFD070FF : c == 'R' ? 0xE05020FF : c == 'w' ? 0xFFFFFFFF : 0;
}

}  // namespace

std::vector<uint8_t> icon_rgba(int size)
{
    const int scale = size / ICON_DESIGN_SIZE;
    std::vector<uint8_t> pixels(static_cast<size_t>(size) * size * 4);
    uint8_t* out = pixels.data();
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            const uint32_t colour = icon_colour(ICON_ROWS[y / scale][x / scale]);
            for (int shift = 24; shift >= 0; shift -= 8)
                *out++ = static_cast<uint8_t>(colour >> shift);
        }
    }
    return pixels;
}
