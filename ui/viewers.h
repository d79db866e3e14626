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

// Draws the pop-ups whose switches are on, in the order FPS, VDP settings,
// PSG output; the first step of the frame's overlay.
void viewer_popups_draw();
