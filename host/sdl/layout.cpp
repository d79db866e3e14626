#include "host/sdl/layout.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "host/video.h"

namespace {

constexpr int PICTURE_WIDTH = 256;
// The Game Gear's screen inside the Master System's picture.
constexpr ViewRect GAME_GEAR_SCREEN = {48, 0, 160, 144};

}  // namespace

ViewRect layout_source(
    int buffer_width, int buffer_height, int picture_x, int picture_y, bool game_gear, bool menus_shown)
{
    if (menus_shown)
        return {0, 0, buffer_width, buffer_height};
    if (game_gear)
        return {
            picture_x + GAME_GEAR_SCREEN.x, picture_y + game_gear_window_top(), GAME_GEAR_SCREEN.w, GAME_GEAR_SCREEN.h};
    return {picture_x, picture_y, PICTURE_WIDTH, picture_height};
}

ViewRect layout_fit(int width, int height, ViewRect source)
{
    if (source.w <= 0 || source.h <= 0)
        return {0, 0, width, height};
    int w = width;
    int h = static_cast<int>(int64_t {width} * source.h / source.w);
    if (h > height) {
        h = height;
        w = static_cast<int>(int64_t {height} * source.w / source.h);
    }
    return {(width - w) / 2, (height - h) / 2, w, h};
}

ViewRect layout_full_screen(int width, int height, ViewRect source)
{
    if (source.w <= 0 || source.h <= 0)
        return {0, 0, width, height};
    const int scale = std::min(width / source.w, height / source.h);
    const int h = scale * source.h;
    if (scale < 1 || int64_t {h} * 5 < int64_t {height} * 4)
        return layout_fit(width, height, source);
    const int w = scale * source.w;
    return {(width - w) / 2, (height - h) / 2, w, h};
}

bool layout_refresh_paces(double refresh_hz, int frame_rate)
{
    return frame_rate > 0 && std::abs(refresh_hz - frame_rate) * 100 <= frame_rate;
}

bool layout_present_due(double& credit, double refresh_hz, int frame_rate)
{
    if (refresh_hz <= 0 || refresh_hz >= frame_rate) {
        credit = 0;
        return true;
    }
    credit += refresh_hz / frame_rate;
    if (credit < 1)
        return false;
    credit -= 1;
    return true;
}
