// Where the picture goes on the display, and who paces the frames: the
// arithmetic of presenting, kept apart from SDL so that it can be tested.
#pragma once

struct ViewRect {
    int x, y, w, h;
};

// The part of the back buffer worth showing. While the menus are shown they
// may draw over all of it; otherwise only the emulated picture counts, or on
// the Game Gear the 160 x 144 screen inside it.
ViewRect layout_source(
    int buffer_width, int buffer_height, int picture_x, int picture_y, bool game_gear, bool menus_shown);

// `source` (square pixels) scaled as large as fits in an output of `width` x
// `height` with its shape kept, centred: the rest is black bars.
ViewRect layout_fit(int width, int height, ViewRect source);

// Full screen: the largest whole-number scale of `source` that fits, unless
// that leaves more than a fifth of the height unused; then as layout_fit.
ViewRect layout_full_screen(int width, int height, ViewRect source);

// Whether a display refreshing `refresh_hz` times a second can pace frames
// at `frame_rate`: within 1 % of it. An unknown refresh rate (0) cannot.
bool layout_refresh_paces(double refresh_hz, int frame_rate);

// Whether this frame is shown on a display refreshing `refresh_hz` times a
// second: all are, unless the display is slower than the frame rate; then
// as many as it has refreshes, spread evenly, because a present that waits
// for every refresh would slow the game down to the display's rate.
// `credit` carries the fraction of a refresh from frame to frame.
bool layout_present_due(double& credit, double refresh_hz, int frame_rate);
