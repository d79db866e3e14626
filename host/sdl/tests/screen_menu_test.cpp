// The Settings menu's Fullscreen entry on SDL's dummy video driver: it
// switches the screen mode itself, not only the setting, and its twin
// switches back.
#include "host/draw.h"
#include "host/video.h"
#include "sdl_fixture.h"
#include "ui/tests/gui_input.h"

namespace {

constexpr int SETTINGS_MENU = 83;

using ScreenMenu = SdlFixture;

TEST_F(ScreenMenu, FullscreenSwitchesTheScreenModeAndBack)
{
    settings.xres = 320;
    settings.yres = 200;
    gui_visible = true;
    const int windowed = video_driver.number;
    ASSERT_EQ(screen_image.width, 256);

    gui_choose(SETTINGS_MENU, 60);  // Fullscreen
    EXPECT_TRUE(settings.fullscreen);
    EXPECT_NE(video_driver.number, windowed);
    EXPECT_EQ(screen_image.width, 320);
    EXPECT_EQ(screen_image.height, 200);

    gui_choose(SETTINGS_MENU, 60);  // now Windowed
    EXPECT_FALSE(settings.fullscreen);
    EXPECT_EQ(video_driver.number, windowed);
    EXPECT_EQ(screen_image.width, 256);
}

}  // namespace
