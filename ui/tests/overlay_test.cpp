// What the overlay shows over a game: the state slot popup, whose box lit
// after a digit key is the one labelled with that digit, the boxes running
// left to right as the keys do, 1 to 9 then 0; the clock; the notice of a
// music recording.
#include <set>
#include <utility>

#include "host/draw.h"
#include "host/input.h"
#include "host/video.h"
#include "machine/interface_hooks.h"
#include "machine/scheduler.h"
#include "machine/tests/machine_fixture.h"
#include "sound/psg_log.h"
#include "ui/gui.h"

namespace {

using Pixels = std::set<std::pair<int, int>>;

constexpr uint32_t WHITE = 0xFFFFFF;

// The pixels of `colour`, or (with `reddish`) of a red tint, within the
// rectangle, moved so the first row and column of the shape are 0.
Pixels shape(int x1, int y1, int x2, int y2, bool reddish)
{
    Pixels found;
    for (int y = y1; y <= y2; ++y) {
        for (int x = x1; x <= x2; ++x) {
            const uint32_t pixel = picture_pixel_xrgb(x, y);
            const int r = pixel >> 16 & 0xFF;
            const int g = pixel >> 8 & 0xFF;
            const int b = pixel & 0xFF;
            if (reddish ? r >= 32 && r > 2 * g && r > 2 * b : pixel == WHITE)
                found.insert({x, y});
        }
    }
    return found;
}

Pixels normalised(const Pixels& pixels)
{
    int left = 1 << 30;
    int top = 1 << 30;
    for (const auto& [x, y] : pixels) {
        left = std::min(left, x);
        top = std::min(top, y);
    }
    Pixels moved;
    for (const auto& [x, y] : pixels)
        moved.insert({x - left, y - top});
    return moved;
}

// How the font draws `digit`, on its own.
Pixels glyph(int digit)
{
    vid_clear(0, screen_image);
    text_colour(vid_make_color(255, 255, 255));
    text_goto(20, 20);
    text_print("%d", digit);
    return normalised(shape(0, 0, screen_image.width - 1, screen_image.height - 1, false));
}

int key_pressed;
int first_frame;

class SlotPopup : public MachineFixture {
protected:
    void SetUp() override
    {
        MachineFixture::SetUp();
        gui_install_hooks();
        for (auto& key : key_state)
            key.store(0);
        settings.popups = true;
        // Popups left by a test before, in the same process.
        message_until = slot_popup_until = 0;
        vid_fill_mode = 1;  // as the main loop starts
    }
    void TearDown() override
    {
        headless_frame_hook = nullptr;
        quit_run = false;
        interface_hooks = {};
        MachineFixture::TearDown();
    }

    // Runs a game that shows nothing, presses `key` and ends a frame later,
    // with the popup drawn over the black picture.
    void press_in_game(int key)
    {
        boot("game.sms", 2, {0x18, 0xFE});  // JR -2: spins with the display off
        key_pressed = key;
        first_frame = headless_frame();
        headless_frame_hook = [](int polled) {
            if (polled - first_frame == 1)
                key_state[key_pressed].store(0x80);
            if (polled - first_frame == 2)
                quit_run = true;
        };
        SMS_Run();
        headless_frame_hook = nullptr;
        quit_run = false;
    }
};

TEST_F(SlotPopup, TheBoxLitByADigitKeyIsLabelledWithThatDigit)
{
    int last_left = -1;
    for (const int digit : {1, 2, 3, 4, 5, 6, 7, 8, 9, 0}) {
        press_in_game(digit == 0 ? KEY_0 : KEY_1 + digit - 1);
        const Pixels lit = shape(0, 0, screen_image.width - 1, screen_image.height - 1, true);
        ASSERT_FALSE(lit.empty()) << "no box lit after key " << digit;
        int left = screen_image.width;
        int right = 0;
        int top = screen_image.height;
        int bottom = 0;
        for (const auto& [x, y] : lit) {
            left = std::min(left, x);
            right = std::max(right, x);
            top = std::min(top, y);
            bottom = std::max(bottom, y);
        }
        const Pixels label = normalised(shape(left, top, right, bottom, false));
        EXPECT_EQ(label, glyph(digit)) << "the box lit after key " << digit << " reads otherwise";
        // Each next key lights a box further right, as the keys lie.
        EXPECT_GT(left, last_left) << digit;
        last_left = left;
        SMS_FreeMachine();
        SMS_FreeROM();
    }
}

TEST_F(SlotPopup, WithStatePopupsOffADigitKeyShowsNothing)
{
    settings.popups = false;
    press_in_game(KEY_1 + 4);
    EXPECT_EQ(state_slot, 4);
    for (int y = 0; y < screen_image.height; ++y)
        for (int x = 0; x < screen_image.width; ++x)
            ASSERT_EQ(picture_pixel_xrgb(x, y), 0u) << x << "," << y;
}

// Pixels of any colour but black in the rectangle.
int lit_pixels(int x1, int y1, int x2, int y2)
{
    int lit = 0;
    for (int y = y1; y <= y2; ++y)
        for (int x = x1; x <= x2; ++x)
            lit += picture_pixel_xrgb(x, y) != 0;
    return lit;
}

TEST_F(SlotPopup, TheClockAndTheRecordingNoticeShowInTheirCorners)
{
    const int w = screen_image.width;
    const int h = screen_image.height;
    settings.clock = true;
    press_in_game(0);  // no key at all
    EXPECT_GT(lit_pixels(w - 40, h - 10, w - 1, h - 1), 0) << "no clock";
    EXPECT_EQ(lit_pixels(0, h - 10, w / 2, h - 1), 0);
    SMS_FreeMachine();
    SMS_FreeROM();

    settings.clock = false;
    psg_log_start();
    ASSERT_TRUE(psg_logging);
    press_in_game(0);
    psg_log_stop();
    EXPECT_GT(lit_pixels(0, h - 10, w / 2, h - 1), 0) << "no notice of the recording";
    EXPECT_EQ(lit_pixels(w - 40, h - 10, w - 1, h - 1), 0);
}

// A refusal names the file and says what is wrong: wider than the screen,
// it goes on in lines above instead of being cut at the edge.
TEST_F(SlotPopup, AMessageWiderThanTheScreenGoesOnInLinesAbove)
{
    const int w = screen_image.width;
    const int h = screen_image.height;
    vid_clear(0, screen_image);
    show_message("a game with a long name.sms is not a Master System or Game Gear game: its size is not a whole "
                 "number of 16 KB banks");
    overlay_message();
    EXPECT_GT(lit_pixels(0, h - 9, w - 1, h - 1), 0);
    EXPECT_GT(lit_pixels(0, h - 18, w - 1, h - 10), 0) << "no line above the last";
    EXPECT_GT(lit_pixels(0, h - 27, w - 1, h - 19), 0) << "no third line";
    EXPECT_EQ(lit_pixels(0, 0, w - 1, h - 28), 0);

    vid_clear(0, screen_image);
    show_message("game.ST0 saved");
    overlay_message();
    EXPECT_GT(lit_pixels(0, h - 9, w - 1, h - 1), 0);
    EXPECT_EQ(lit_pixels(0, 0, w - 1, h - 10), 0);

    // A taller picture takes its pop-ups down to its own last line.
    vid_set_picture_height(224);
    vid_clear(0, screen_image);
    overlay_message();
    const int bottom_lit = lit_pixels(0, 224 - 9, w - 1, 224 - 1);
    vid_set_picture_height(192);
    EXPECT_GT(bottom_lit, 0) << "not on the bottom line of a 224-line picture";
}

}  // namespace
