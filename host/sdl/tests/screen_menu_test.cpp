// The Settings menu's Fullscreen entry on SDL's dummy video driver: it
// switches the screen mode itself, not only the setting, and its twin
// switches back.
#include <gtest/gtest.h>

#include <cstdlib>

#include "host/draw.h"
#include "host/input.h"
#include "host/sdl/sdl_host.h"
#include "host/video.h"
#include "machine/scheduler.h"
#include "ui/config.h"
#include "ui/gui.h"

namespace {

void click(int x, int y)
{
    mouse_x = x;
    mouse_y = y;
    for (int down : {1, 0}) {
        mouse_left = down;
        mouse_clicked = 1;
        gui_frame();
    }
}

TEST(ScreenMenu, FullscreenSwitchesTheScreenModeAndBack)
{
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    settings = Settings {};
    settings.xres = 320;
    settings.yres = 200;
    vid_apply_mode();
    gui_visible = true;
    const int windowed = video_driver.number;
    ASSERT_EQ(screen_image.width, 256);

    click(83 + 3, 4);  // Settings
    click(83 + 20, 60 + 4);  // Fullscreen
    EXPECT_TRUE(settings.fullscreen);
    EXPECT_NE(video_driver.number, windowed);
    EXPECT_EQ(screen_image.width, 320);
    EXPECT_EQ(screen_image.height, 200);

    click(83 + 3, 4);
    click(83 + 20, 60 + 4);  // now Windowed
    EXPECT_FALSE(settings.fullscreen);
    EXPECT_EQ(video_driver.number, windowed);
    EXPECT_EQ(screen_image.width, 256);
}

}  // namespace
