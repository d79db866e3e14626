// Sprite evaluation: which sprites a line shows, in the console's order, and
// the overflow and collision flags that go with it. The renderer draws what
// the evaluation found.
#pragma once

#include <cstdint>

constexpr int VDP_SPRITES = 64;
constexpr int VDP_SPRITES_PER_LINE = 8;

struct SpriteLine {
    int count;  // entries to draw; the first lies on top
    int16_t x[VDP_SPRITES];  // left edge, register 0 bit 3 applied
    bool wide[VDP_SPRITES];  // zoomed: each pixel two wide
    uint64_t colours[VDP_SPRITES];  // the line's pattern row, pixel k in byte k
};

// The current line's sprites.
extern SpriteLine sprite_line;

// Finds the sprites of a picture line, sets the status flags the line
// raises, and leaves the sprites to draw in sprite_line (none while the
// display is blanked).
void vdp_sprites_evaluate(int line);
