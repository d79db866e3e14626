#include <gtest/gtest.h>
#include <zlib.h>

#include "host/draw.h"
#include "host/headless/headless.h"
#include "host/input.h"
#include "host/video.h"
#include "ui/key_names.h"
#include "ui/session.h"

TEST(InputScript, ParsesEveryEventKind)
{
    const std::string text = "# a comment\n"
                             "\n"
                             "  10 key 28 down\n"
                             "12 key enter up # Enter, a comment\n"
                             "12 key F5 down\r\n"
                             "3 mouse 40 -5\n"
                             "4 button down\n"
                             "5 wheel -120\n"
                             "6 joy2 11 down\n"
                             "7 drop games/My Game.sms \n"
                             "start my game.input.state \n"
                             "rate 50\n"
                             "9 pad2 start button1\n"
                             "8 pad1 none\n"
                             "8 console pause reset\n"
                             "9 machine-crc32 0a1B2c3d\n"
                             "9 player2 lightgun\n"
                             "9 paddle1 255\n"
                             "9 aim -32768 32767\n";
    std::vector<InputEvent> events;
    Session session;
    std::string error;
    ASSERT_TRUE(input_script_parse(text, "script", events, session, error)) << error;
    ASSERT_EQ(events.size(), 8u);
    EXPECT_EQ(session.start_state, "my game.input.state");
    EXPECT_EQ(session.rate, 50);
    EXPECT_EQ(session.frames, 9);
    ASSERT_EQ(session.changes.size(), 6u);
    EXPECT_EQ(session.changes[0].group, SessionGroup::pad1);
    EXPECT_EQ(session.changes[0].bits, 0);
    EXPECT_EQ(session.changes[1].bits, CONSOLE_PAUSE | CONSOLE_RESET);
    EXPECT_EQ(session.changes[2].bits, HELD_START | HELD_BUTTON1);
    EXPECT_EQ(session.changes[3].group, SessionGroup::player2);
    EXPECT_EQ(session.changes[3].bits, static_cast<uint8_t>(PortDevice::lightgun));
    EXPECT_EQ(session.changes[4].bits, 255);
    EXPECT_EQ(session.changes[5].aim_x, INT16_MIN);
    EXPECT_EQ(session.changes[5].aim_y, INT16_MAX);
    ASSERT_EQ(session.checks.size(), 1u);
    EXPECT_EQ(session.checks[0].crc, 0x0a1b2c3du);
    EXPECT_EQ(events[0].frame, 10);
    EXPECT_EQ(events[0].kind, InputEvent::KEY);
    EXPECT_EQ(events[0].a, 28);
    EXPECT_EQ(events[0].b, 1);
    EXPECT_EQ(events[1].a, 28);
    EXPECT_EQ(events[1].b, 0);
    EXPECT_EQ(events[2].a, 0x3F);
    EXPECT_EQ(events[3].kind, InputEvent::MOUSE);
    EXPECT_EQ(events[3].b, -5);
    EXPECT_EQ(events[4].kind, InputEvent::BUTTON);
    EXPECT_EQ(events[4].a, 1);
    EXPECT_EQ(events[5].kind, InputEvent::WHEEL);
    EXPECT_EQ(events[5].a, -120);
    EXPECT_EQ(events[6].kind, InputEvent::JOYSTICK_BUTTON);
    EXPECT_EQ(events[6].a, 12 + 11);
    EXPECT_EQ(events[6].b, 1);
    EXPECT_EQ(events[7].kind, InputEvent::DROP);
    EXPECT_EQ(events[7].path, "games/My Game.sms");
}

TEST(InputScript, MalformedLinesAreNamed)
{
    for (const char* line : {"0 key 28 down", "5 key 256 down", "5 key NOSUCHKEY down", "5 key 28 pressed", "5 mouse 1",
             "5 button down now", "5 wheel", "x key 28 down", "5 jump", "5 joy1 12 down", "5 joy3 1 down", "5 drop",
             "5 drop  ", "start", "rate 55", "0 pad1 up", "5 pad1", "5 pad1 none up", "5 pad3 up", "5 console start",
             "5 machine-crc32 123456789", "5 machine-crc32 -1", "5 machine-crc32", "5 player1", "5 player1 mouse",
             "5 player2 pad pad", "5 paddle1 256", "5 paddle2 -1", "5 paddle1", "5 aim 1", "5 aim 1 2 3",
             "5 aim -32769 0", "5 aim 0 32768", "5 aim - 0", "5 aim +1 0"}) {
        std::vector<InputEvent> events;
        Session session;
        std::string error;
        EXPECT_FALSE(input_script_parse(std::string("1 key 1 down\n") + line + "\n", "in.txt", events, session, error))
            << line;
        EXPECT_NE(error.find("in.txt:2:"), std::string::npos) << error;
    }
}

TEST(InputScript, EventsArriveAtTheirFramesInputPoll)
{
    headless_video_start(32);
    key_state[30].store(0);
    mouse_wheel = 0;
    // Frames count from the start of the run; other tests may have polled.
    const int next = headless_frame() + 1;
    input_script_set(
        {{next + 1, InputEvent::KEY, 30, 1}, {next, InputEvent::WHEEL, 120, 0}, {next + 2, InputEvent::KEY, 30, 0}});

    input_poll();
    EXPECT_EQ(mouse_wheel, 120);
    EXPECT_FALSE(key_down(30));
    input_poll();
    EXPECT_TRUE(key_down(30));
    EXPECT_EQ(last_key.load(), 30);
    input_poll();
    EXPECT_FALSE(key_down(30));
}

TEST(Picture, EveryPixelFormatReadsBackAsTheSameColours)
{
    for (int depth : {15, 16, 32}) {
        headless_video_start(depth);
        vid_set_pixel(0, 0, vid_make_color(255, 255, 255), screen_image);
        EXPECT_EQ(picture_pixel_xrgb(0, 0), 0xFFFFFFu) << depth;
        vid_clear(vid_make_color(0, 0, 0), screen_image);
        EXPECT_EQ(picture_colour_count(), 1) << depth;
        EXPECT_EQ(picture_pixel_xrgb(5, 5), 0u);
    }
}

TEST(Picture, CrcCoversRowsAsLittleEndianXrgb)
{
    headless_video_start(32);
    vid_clear(0x00123456, screen_image);
    std::vector<uint8_t> expected;
    for (int i = 0; i < HEADLESS_WIDTH * HEADLESS_HEIGHT; ++i)
        expected.insert(expected.end(), {0x56, 0x34, 0x12, 0x00});
    EXPECT_EQ(picture_crc32(), crc32(crc32(0, Z_NULL, 0), expected.data(), static_cast<uInt>(expected.size())));
}

TEST(KeyNames, TableRunsFromEscToF12)
{
    EXPECT_STREQ(key_name(1), "ESC");
    EXPECT_STREQ(key_name(16), "Q");
    EXPECT_STREQ(key_name(51), ",");
    EXPECT_STREQ(key_name(88), "F12");
    EXPECT_STREQ(key_name(85), "scancode");
    EXPECT_STREQ(key_name(89), "scancode");
    EXPECT_EQ(key_code_by_name("F11"), 87);
    EXPECT_EQ(key_code_by_name(""), -1);
    EXPECT_EQ(key_code_by_name("space"), 57);
    EXPECT_EQ(key_code_by_name("LEFT"), 75);
}
