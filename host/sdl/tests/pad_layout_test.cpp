// The arithmetic of presenting and the pad mapping, without SDL.
#include <gtest/gtest.h>

#include <tuple>

#include "host/sdl/layout.h"
#include "host/sdl/pad.h"
#include "machine/machine.h"
#include "ui/config.h"

namespace {

std::tuple<int, int, int, int> as_tuple(ViewRect r)
{
    return {r.x, r.y, r.w, r.h};
}

constexpr ViewRect PICTURE = {0, 0, 256, 192};

TEST(Layout, WindowKeepsThePictureShapeWithBlackBars)
{
    EXPECT_EQ(as_tuple(layout_fit(512, 384, PICTURE)), std::make_tuple(0, 0, 512, 384));
    EXPECT_EQ(as_tuple(layout_fit(1000, 384, PICTURE)), std::make_tuple(244, 0, 512, 384));
    EXPECT_EQ(as_tuple(layout_fit(512, 700, PICTURE)), std::make_tuple(0, 158, 512, 384));
    EXPECT_EQ(as_tuple(layout_fit(301, 226, PICTURE)), std::make_tuple(0, 0, 301, 225));
}

TEST(Layout, FullScreenTakesTheLargestWholeScaleThatFillsFourFifthsOfTheHeight)
{
    // 1080 / 192 = 5.6: five times is 960 lines, 89 %.
    EXPECT_EQ(as_tuple(layout_full_screen(1920, 1080, PICTURE)), std::make_tuple(320, 60, 1280, 960));
    EXPECT_EQ(as_tuple(layout_full_screen(1366, 768, PICTURE)), std::make_tuple(171, 0, 1024, 768));
    // 1000 / 192 = 5.2 but only four fit across 1100: 768 lines are 77 %,
    // so the picture is fitted instead.
    EXPECT_EQ(as_tuple(layout_full_screen(1100, 1000, PICTURE)), std::make_tuple(0, 87, 1100, 825));
    // Smaller than the picture: shrunk with its shape kept.
    EXPECT_EQ(as_tuple(layout_full_screen(200, 150, PICTURE)), std::make_tuple(0, 0, 200, 150));
}

TEST(Layout, SourceIsTheWholeBufferUnderTheMenusElseThePictureOrTheGameGearScreen)
{
    EXPECT_EQ(as_tuple(layout_source(320, 200, 32, 4, false, true)), std::make_tuple(0, 0, 320, 200));
    EXPECT_EQ(as_tuple(layout_source(320, 200, 32, 4, false, false)), std::make_tuple(32, 4, 256, 192));
    EXPECT_EQ(as_tuple(layout_source(256, 192, 0, 0, true, false)), std::make_tuple(48, 24, 160, 144));
    EXPECT_EQ(as_tuple(layout_source(256, 192, 0, 0, true, true)), std::make_tuple(0, 0, 256, 192));
    // 1080 / 144 = 7.5: seven times fills 93 % of the height.
    EXPECT_EQ(as_tuple(layout_full_screen(1920, 1080, layout_source(256, 192, 0, 0, true, false))),
        std::make_tuple(400, 36, 1120, 1008));
}

TEST(Layout, DisplayPacesFramesOnlyWithinOnePercentOfTheFrameRate)
{
    EXPECT_TRUE(layout_refresh_paces(60, 60));
    EXPECT_TRUE(layout_refresh_paces(59.94, 60));
    EXPECT_TRUE(layout_refresh_paces(50, 50));
    EXPECT_FALSE(layout_refresh_paces(59, 60));
    EXPECT_FALSE(layout_refresh_paces(60, 50));
    EXPECT_FALSE(layout_refresh_paces(75, 60));
    EXPECT_FALSE(layout_refresh_paces(144, 60));
    EXPECT_FALSE(layout_refresh_paces(0, 60));
}

// Presents shown out of `frames` on a display of `refresh_hz`.
int presents(double refresh_hz, int frame_rate, int frames)
{
    double credit = 0;
    int shown = 0;
    for (int i = 0; i < frames; ++i)
        shown += layout_present_due(credit, refresh_hz, frame_rate);
    return shown;
}

TEST(Layout, DisplaySlowerThanTheFrameRateShowsOnlyAsManyFramesAsItRefreshes)
{
    EXPECT_EQ(presents(50, 60, 60), 50);
    EXPECT_EQ(presents(50, 60, 6), 5);
    EXPECT_EQ(presents(60, 60, 60), 60);
    EXPECT_EQ(presents(144, 60, 60), 60);
    EXPECT_EQ(presents(60, 50, 50), 50);
    EXPECT_EQ(presents(0, 60, 60), 60);
}

PadReading pad_holding(std::initializer_list<PadButton> buttons, int16_t x = 0, int16_t y = 0)
{
    PadReading pad {};
    for (PadButton button : buttons)
        pad.buttons[button] = true;
    pad.left_x = x;
    pad.left_y = y;
    return pad;
}

// Both players on pads with the default bindings, read through the ports.
class PadPlayers : public testing::Test {
protected:
    void SetUp() override
    {
        settings = Settings {};
        settings.player1 = DEVICE_JOYSTICK1;
        settings.player2 = DEVICE_JOYSTICK2;
        machine = MachineState {};
    }

    void read(const PadReading& pad1, const PadReading& pad2)
    {
        pad_to_joystick(pad1, joysticks[0]);
        pad_to_joystick(pad2, joysticks[1]);
        SMS_UpdateControllers();
    }
};

TEST_F(PadPlayers, SouthAndEastAreButtonsOneAndTwoAndStartIsPause)
{
    read(pad_holding({PAD_SOUTH}), pad_holding({PAD_EAST}));
    EXPECT_EQ(machine.port_dc, 0xFF & ~0x10);  // player 1 button 1
    EXPECT_EQ(machine.port_dd & 0x0F, 0x0F & ~0x08);  // player 2 button 2

    read(pad_holding({PAD_EAST, PAD_WEST, PAD_NORTH}), pad_holding({PAD_SOUTH}));
    EXPECT_EQ(machine.port_dc, 0xFF & ~0x20);
    EXPECT_EQ(machine.port_dd & 0x0F, 0x0F & ~0x04);

    machine.is_gg = true;
    read(pad_holding({PAD_START}), pad_holding({}));
    EXPECT_EQ(machine.gg_port0 & 0x80, 0);
}

TEST_F(PadPlayers, DPadAndLeftStickBothSteerOutsideTheDeadZone)
{
    read(pad_holding({PAD_DPAD_UP, PAD_DPAD_LEFT}), pad_holding({}, 32767, -32768));
    EXPECT_EQ(machine.port_dc & 0x0F, 0x0F & ~0x05);  // player 1 up, left
    EXPECT_EQ(machine.port_dc & 0xC0, 0x80);  // player 2 up
    EXPECT_EQ(machine.port_dd & 0x03, 0x01);  // player 2 right

    // The middle half of each axis steers nowhere: -16385..16382.
    read(pad_holding({}, -16385, 16382), pad_holding({PAD_DPAD_DOWN}, 16382, -16385));
    EXPECT_EQ(machine.port_dc & 0x0F, 0x0F);
    EXPECT_EQ(machine.port_dc & 0xC0, 0x40);  // player 2 down
    EXPECT_EQ(machine.port_dd & 0x03, 0x03);
    read(pad_holding({}, -16386, 16383), pad_holding({}));
    EXPECT_EQ(machine.port_dc & 0x0F, 0x0F & ~0x06);  // down, left
}

TEST_F(PadPlayers, BindingsNameButtonsInThePadOrder)
{
    settings.j1b1 = 3;  // west
    settings.j1b2 = 4;  // north
    read(pad_holding({PAD_WEST}), pad_holding({}));
    EXPECT_EQ(machine.port_dc & 0x30, 0x20);
    read(pad_holding({PAD_NORTH, PAD_SOUTH}), pad_holding({}));
    EXPECT_EQ(machine.port_dc & 0x30, 0x10);
}

}  // namespace
