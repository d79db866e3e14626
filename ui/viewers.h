// Windows and pop-ups that show the inside of the video and sound chips:
// the Patterns and Palette windows, and the FPS, VDP settings and PSG
// output pop-ups.
#pragma once

// The View menu's pop-up switches.
extern bool view_fps;
extern bool view_vdp_settings;
extern bool view_psg_output;
// 0 or 16: the palette half the Patterns window draws in.
extern int patterns_palette_offset;

// The part of the screen image the pop-ups are drawn in, edges included.
struct PopupArea {
    int x1, y1, x2, y2;
};

// Draws the pop-ups whose switches are on, in the order FPS, VDP settings,
// PSG output, inside `area`, the PSG output's bottom above row `bottom`
// (below it lie the overlay's other pop-ups).
void viewer_popups_draw(PopupArea area, int bottom);
