// The SDL host layer on SDL's dummy video driver: events are pushed into
// SDL's queue and read back through input_poll, as the main loop does.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "host/draw.h"
#include "host/input.h"
#include "host/sdl/sdl_host.h"
#include "host/sdl/sdl_internal.h"
#include "host/video.h"
#include "machine/machine.h"
#include "machine/scheduler.h"
#include "sdl_fixture.h"
#include "ui/config.h"
#include "ui/viewers.h"
#include "vdp/vdp.h"

namespace {

// The driver's number, back buffer size and picture offsets, in one line.
std::string video_mode()
{
    return std::to_string(video_driver.number) + ": " + std::to_string(screen_image.width) + "x"
        + std::to_string(screen_image.height) + " at " + std::to_string(picture_x_offset) + ","
        + std::to_string(picture_y_offset);
}

class SdlHost : public SdlFixture {
protected:
    // Releases every key the test pressed, so no repeat outlives it.
    void TearDown() override
    {
        for (SDL_Scancode scancode : {SDL_SCANCODE_LALT, SDL_SCANCODE_A, SDL_SCANCODE_TAB, SDL_SCANCODE_RETURN})
            push_key(scancode, false);
        input_poll();
    }
};

TEST_F(SdlHost, KeysArriveAsSetOneCodesWithExtendedKeysFolded)
{
    push_key(SDL_SCANCODE_Z, true);
    push_key(SDL_SCANCODE_LEFT, true);
    push_key(SDL_SCANCODE_KP_ENTER, true);
    input_poll();
    EXPECT_EQ(key_state[0x2C], 0x80);
    EXPECT_EQ(key_state[75], 0x80);
    EXPECT_EQ(key_state[203], 0);
    EXPECT_EQ(key_state[28], 0x80);
    EXPECT_EQ(last_key, 28);

    push_key(SDL_SCANCODE_LEFT, false);
    push_key(SDL_SCANCODE_Z, false);
    push_key(SDL_SCANCODE_KP_ENTER, false);
    // SDL's own repeats would fire at the desktop's rate; they are ignored.
    push_key(SDL_SCANCODE_Z, true, true);
    input_poll();
    EXPECT_EQ(key_state[75], 0);
    EXPECT_EQ(key_state[0x2C], 0);
    EXPECT_EQ(key_state[28], 0);
}

TEST_F(SdlHost, HeldKeyRepeatsAfter29TicksThenEvery9UntilReleased)
{
    const int32_t pressed_at = key_clock;
    push_key(SDL_SCANCODE_A, true);
    input_poll();
    std::vector<int32_t> repeats;
    for (int i = 0; i < 50; ++i) {
        last_key = 0;
        key_clear(0x1E);  // as a hot key would, so each repeat shows
        timer_tick();
        if (last_key == 0x1E && key_state[0x1E] == 1)
            repeats.push_back(key_clock - pressed_at);
    }
    EXPECT_EQ(repeats, (std::vector<int32_t> {29, 38, 47}));

    push_key(SDL_SCANCODE_A, false);
    input_poll();
    for (int i = 0; i < 30; ++i)
        timer_tick();
    EXPECT_EQ(key_state[0x1E], 0);
}

TEST_F(SdlHost, AltTabIsSwallowed)
{
    push_key(SDL_SCANCODE_LALT, true);
    push_key(SDL_SCANCODE_TAB, true);
    input_poll();
    EXPECT_EQ(key_state[KEY_TAB], 0);
    EXPECT_EQ(key_state[KEY_LALT], 0);
    EXPECT_EQ(last_key, 0);
    for (int i = 0; i < 40; ++i)
        timer_tick();
    EXPECT_EQ(key_state[KEY_TAB], 0);
}

TEST_F(SdlHost, AltEnterSwitchesBetweenWindowAndFullScreen)
{
    settings.xres = 320;
    settings.yres = 200;
    push_key(SDL_SCANCODE_RALT, true);
    push_key(SDL_SCANCODE_RETURN, true);
    input_poll();
    EXPECT_TRUE(settings.fullscreen);
    EXPECT_EQ(video_mode(), "1: 320x200 at 32,4");
    EXPECT_EQ(key_state[KEY_ENTER], 0);
    EXPECT_EQ(key_state[KEY_LALT], 0);
    EXPECT_EQ(last_key, 0);

    push_key(SDL_SCANCODE_RETURN, false);
    push_key(SDL_SCANCODE_RETURN, true);
    push_key(SDL_SCANCODE_LALT, true);
    input_poll();
    EXPECT_FALSE(settings.fullscreen);
    EXPECT_EQ(video_mode(), "3: 256x192 at 0,0");
    int width = 0;
    int height = 0;
    SDL_GetWindowSize(vid_window(), &width, &height);
    EXPECT_EQ(width, 512);
    EXPECT_EQ(height, 384);
}

TEST_F(SdlHost, HotKeyTappedWithinOneFrameStillActs)
{
    push_key(SDL_SCANCODE_LALT, true);
    push_key(SDL_SCANCODE_RETURN, true);
    push_key(SDL_SCANCODE_RETURN, false);
    push_key(SDL_SCANCODE_LALT, false);
    input_poll();
    EXPECT_TRUE(settings.fullscreen);
}

// A key tapped between two polls reads as down for one frame, so the game,
// the menus' ESC and the dialogs see it; a key still held stays down.
TEST_F(SdlHost, KeyTappedWithinOneFrameIsDownForOneFrame)
{
    push_key(SDL_SCANCODE_ESCAPE, true);
    push_key(SDL_SCANCODE_ESCAPE, false);
    push_key(SDL_SCANCODE_X, true);
    input_poll();
    EXPECT_EQ(key_state[KEY_ESC], 0x80);
    EXPECT_EQ(key_state[KEY_X], 0x80);
    input_poll();
    EXPECT_EQ(key_state[KEY_ESC], 0);
    EXPECT_EQ(key_state[KEY_X], 0x80);
    // Pressed again before the deferred release: held, not let go.
    push_key(SDL_SCANCODE_ESCAPE, true);
    push_key(SDL_SCANCODE_ESCAPE, false);
    push_key(SDL_SCANCODE_ESCAPE, true);
    input_poll();
    input_poll();
    EXPECT_EQ(key_state[KEY_ESC], 0x80);
    push_key(SDL_SCANCODE_ESCAPE, false);
    push_key(SDL_SCANCODE_X, false);
    input_poll();
    EXPECT_EQ(key_state[KEY_ESC], 0);
    EXPECT_EQ(key_state[KEY_X], 0);
}

// Likewise a click: the press is kept for the GUI, which routes it to the
// window under the pointer although the button is up again; the next poll
// forgets it.
TEST_F(SdlHost, ClickWithinOneFrameKeepsItsPress)
{
    push_button(SDL_BUTTON_LEFT, true);
    push_button(SDL_BUTTON_LEFT, false);
    input_poll();
    EXPECT_EQ(mouse_left, 0);
    EXPECT_EQ(mouse_clicked, 1);
    EXPECT_EQ(mouse_pressed, 1);
    input_poll();
    EXPECT_EQ(mouse_pressed, 0);
}

TEST_F(SdlHost, FullScreenBufferAlwaysHoldsThePicture)
{
    settings.fullscreen = true;
    settings.xres = 100;
    settings.yres = 50;
    vid_apply_mode();
    EXPECT_EQ(video_mode(), "1: 256x192 at 0,0");
}

TEST_F(SdlHost, PaletteFollowsThePixelFormat)
{
    vdp.cram[0] = 0x3F;  // white
    settings.bpp = 32;
    vid_apply_mode();
    EXPECT_EQ(vdp.palette[0], 0xFFFFFFu);
    EXPECT_EQ(video_driver.format, &PIXEL_FORMAT_8888);
    settings.bpp = 16;
    vid_apply_mode();
    EXPECT_EQ(vdp.palette[0], 0xFFFFu);
    EXPECT_EQ(video_driver.format, &PIXEL_FORMAT_565);
}

TEST_F(SdlHost, PointerMapsThroughTheWindowsCurrentSize)
{
    gui_visible = true;
    SDL_SetWindowSize(vid_window(), 300, 225);
    SDL_WarpMouseInWindow(vid_window(), 150, 113);
    input_poll();
    EXPECT_EQ(mouse_x, 128);
    EXPECT_EQ(mouse_y, 96);
    EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_DISABLE);
}

// With the menus hidden a Game Gear game's 160 x 144 screen fills the
// window's height; the pointer still maps into the whole picture.
TEST_F(SdlHost, GameGearScreenAloneFillsTheWindowHeight)
{
    vdp.is_gg = true;
    const SDL_FRect picture = vid_picture_rect();
    vdp.is_gg = false;
    // 384 / 144 = 8 / 3 window pixels a picture pixel, the screen centred.
    EXPECT_FLOAT_EQ(picture.h, 192 * 8 / 3.0f);
    EXPECT_FLOAT_EQ(picture.y, -24 * 8 / 3.0f);
    EXPECT_NEAR(picture.x + 48 * picture.w / 256, 43, 0.01);
    EXPECT_NEAR(picture.w, 256 * 426 / 160.0f, 0.01);
}

// The pop-ups lie inside a Game Gear's screen: the picture never moves or
// zooms for one.
TEST_F(SdlHost, GameGearPictureStaysPutWhileAPopupShows)
{
    vdp.is_gg = true;
    const SDL_FRect alone = vid_picture_rect();
    show_message("chip_show.ST0 saved");
    const SDL_FRect with_message = vid_picture_rect();
    message_until = 0;
    settings.clock = true;
    const SDL_FRect with_clock = vid_picture_rect();
    settings.clock = false;
    view_fps = true;
    const SDL_FRect with_fps = vid_picture_rect();
    view_fps = false;
    vdp.is_gg = false;
    for (const SDL_FRect& picture : {with_message, with_clock, with_fps}) {
        EXPECT_FLOAT_EQ(picture.x, alone.x);
        EXPECT_FLOAT_EQ(picture.y, alone.y);
        EXPECT_FLOAT_EQ(picture.w, alone.w);
        EXPECT_FLOAT_EQ(picture.h, alone.h);
    }
    EXPECT_NEAR(alone.w, 256 * 426 / 160.0f, 0.01);
}

TEST_F(SdlHost, PointerOutsideTheFullScreenPictureIsClampedAndShown)
{
    gui_visible = true;
    settings.fullscreen = true;
    vid_apply_mode();
    SDL_WarpMouseInWindow(vid_window(), 0, 0);
    const SDL_FRect picture = vid_picture_rect();
    ASSERT_GT(picture.y, 0) << "the dummy desktop is wider than 320 x 200";
    input_poll();
    EXPECT_EQ(mouse_x, 0);
    EXPECT_EQ(mouse_y, 0);
    EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_ENABLE);

    SDL_WarpMouseInWindow(vid_window(), picture.x + picture.w - 1, picture.y + picture.h / 2);
    input_poll();
    EXPECT_EQ(mouse_x, 319);
    EXPECT_EQ(mouse_y, 100);
    EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_DISABLE);
}

// A joystick of no known layout: its own axes and button numbers.
TEST_F(SdlHost, JoystickAxesButtonsAndUnplugging)
{
    EXPECT_EQ(joysticks[0].left + joysticks[0].right + joysticks[0].up + joysticks[0].down, 0);
    const int index = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_UNKNOWN, 2, 12, 0);
    ASSERT_GE(index, 0) << SDL_GetError();
    input_poll();  // sees the new device
    SDL_Joystick* device = SDL_JoystickOpen(index);
    ASSERT_NE(device, nullptr);

    // The dead zone is the middle half: 16383..49150 in 0..65535.
    SDL_JoystickSetVirtualAxis(device, 0, 16382 - 32768);
    SDL_JoystickSetVirtualAxis(device, 1, 49151 - 32768);
    SDL_JoystickSetVirtualButton(device, 11, SDL_PRESSED);
    input_poll();
    EXPECT_TRUE(joysticks[0].left);
    EXPECT_FALSE(joysticks[0].right);
    EXPECT_TRUE(joysticks[0].down);
    EXPECT_NE(joysticks[0].buttons[11], 0u);
    EXPECT_EQ(joysticks[0].buttons[0], 0u);

    SDL_JoystickSetVirtualAxis(device, 0, 16383 - 32768);
    SDL_JoystickSetVirtualAxis(device, 1, 49150 - 32768);
    input_poll();
    EXPECT_FALSE(joysticks[0].left);
    EXPECT_FALSE(joysticks[0].down);

    // An unplugged joystick lets go of everything rather than stay held.
    SDL_JoystickSetVirtualAxis(device, 0, -32768);
    input_poll();
    SDL_JoystickClose(device);
    SDL_JoystickDetachVirtual(index);
    input_poll();
    EXPECT_FALSE(joysticks[0].left);
    EXPECT_EQ(joysticks[0].buttons[11], 0u);
}

// A pad in SDL's database (a virtual one is numbered in the standard
// layout): plugged in while playing, it drives player 1 at once through the
// default bindings, and unplugging it lets go of everything.
TEST_F(SdlHost, PadPluggedInWhilePlayingSteersAndPressesThroughTheDefaultBindings)
{
    settings.player1 = DEVICE_JOYSTICK1;
    const int index = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER, 6, 15, 0);
    ASSERT_GE(index, 0) << SDL_GetError();
    input_poll();
    SDL_Joystick* device = SDL_JoystickOpen(index);
    ASSERT_NE(device, nullptr);

    SDL_JoystickSetVirtualButton(device, SDL_CONTROLLER_BUTTON_A, SDL_PRESSED);
    SDL_JoystickSetVirtualButton(device, SDL_CONTROLLER_BUTTON_DPAD_UP, SDL_PRESSED);
    SDL_JoystickSetVirtualAxis(device, SDL_CONTROLLER_AXIS_LEFTX, 32767);
    input_poll();
    SMS_UpdateControllers();
    // Active low: up (bit 0), right (bit 3) and button 1 (bit 4) held.
    EXPECT_EQ(machine.port_dc & 0x3F, 0x3F & ~0x19);

    SDL_JoystickSetVirtualButton(device, SDL_CONTROLLER_BUTTON_A, SDL_RELEASED);
    SDL_JoystickSetVirtualButton(device, SDL_CONTROLLER_BUTTON_DPAD_UP, SDL_RELEASED);
    SDL_JoystickSetVirtualAxis(device, SDL_CONTROLLER_AXIS_LEFTX, 0);
    SDL_JoystickSetVirtualButton(device, SDL_CONTROLLER_BUTTON_B, SDL_PRESSED);
    input_poll();
    SMS_UpdateControllers();
    EXPECT_EQ(machine.port_dc & 0x3F, 0x3F & ~0x20);

    SDL_JoystickClose(device);
    SDL_JoystickDetachVirtual(index);
    input_poll();
    SMS_UpdateControllers();
    EXPECT_EQ(machine.port_dc & 0x3F, 0x3F);
}

TEST_F(SdlHost, AltXAndClosingTheWindowQuitThroughTheOrderlyExit)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            push_key(SDL_SCANCODE_LALT, true);
            push_key(SDL_SCANCODE_X, true);
            input_poll();
        },
        testing::ExitedWithCode(0), "");
    EXPECT_EXIT(
        {
            SDL_Event event {};
            event.type = SDL_WINDOWEVENT;
            event.window.event = SDL_WINDOWEVENT_CLOSE;
            SDL_PushEvent(&event);
            input_poll();
        },
        testing::ExitedWithCode(0), "");
    // SDL turns SIGINT and SIGTERM into this event.
    EXPECT_EXIT(
        {
            SDL_Event event {};
            event.type = SDL_QUIT;
            SDL_PushEvent(&event);
            input_poll();
        },
        testing::ExitedWithCode(0), "");
}

// A file dropped on the window goes to the program's handler, once, and
// SDL's copy of its name is freed (the sanitizer build would see a leak).
TEST_F(SdlHost, ADroppedFileGoesToTheHandler)
{
    static std::vector<std::string> dropped;
    dropped.clear();
    file_drop_handler = [](const std::string& path) {
        dropped.push_back(path);
        return true;
    };
    for (Uint32 type : {SDL_DROPBEGIN, SDL_DROPFILE, SDL_DROPTEXT, SDL_DROPCOMPLETE}) {
        SDL_Event event {};
        event.type = type;
        event.drop.file = type == SDL_DROPFILE ? SDL_strdup("/games/My Game.sms")
            : type == SDL_DROPTEXT             ? SDL_strdup("some text")
                                               : nullptr;
        SDL_PushEvent(&event);
    }
    input_poll();
    file_drop_handler = nullptr;
    ASSERT_EQ(dropped.size(), 1u);
    EXPECT_EQ(dropped[0], "/games/My Game.sms");
}

}  // namespace
