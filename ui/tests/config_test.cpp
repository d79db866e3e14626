#include "ui/config.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <tuple>

#include "host/tests/scratch_directory.h"

namespace {

namespace fs = std::filesystem;

auto fields(const Settings& s)
{
    return std::tuple(s.fullscreen, s.bpp, s.xres, s.yres, s.frame_rate, s.usa, s.player1, s.player2, s.kup, s.kdown,
        s.kleft, s.kright, s.kb1, s.kb2, s.kpause, s.j1b1, s.j1b2, s.j1pause, s.j2b1, s.j2b2, s.j2pause, s.sound,
        s.clock, s.popups, s.console);
}

class ConfigTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        path = (dir / "tarven.cfg").string();
        config_path = path.c_str();
        settings = Settings {};
    }
    void TearDown() override
    {
        config_path = "tarven.cfg";
        settings = Settings {};
    }

    void write_file(const std::string& text)
    {
        std::ofstream(path, std::ios::binary) << text;
    }
    std::string file_text()
    {
        std::ostringstream text;
        text << std::ifstream(path, std::ios::binary).rdbuf();
        return text.str();
    }
    // Reads text into settings that start from the defaults.
    void read_text(const std::string& text)
    {
        settings = Settings {};
        write_file(text);
        config_read();
    }

    ScratchDirectory scratch;
    const fs::path& dir = scratch.path();
    std::string path;
};

const char DEFAULT_FILE[] = "; ********************* \n"
                            "; TARVEN -- Config file \n"
                            "; ********************* \n"
                            "\n"
                            "; Graphics options. \n"
                            "; - 'fullscreen' or 'windowed' \n"
                            "; - bpp 8, 16 or 32 (24bpp not supported) \n"
                            "; - xres <screen resolution width> \n"
                            "; - yres <screen resolution height> \n"
                            "\n"
                            "; Note about BPP - In fullscreen, this can be anything. But in \n"
                            "; Windowed mode, this MUST match the bpp that windows is running in. \n"
                            "; 32 bpp is slower, and offers no advantages - only included for \n"
                            "; compatibility. You should use 16 unless you have problems. \n"
                            "; For fullscreen, most video cards should support 320x200 or 320x240. \n"
                            "; In Windowed mode, these values are ignored. \n"
                            "\n"
                            "bpp 16 \n"
                            "windowed \n"
                            "xres 320 \n"
                            "yres 200 \n"
                            "\n"
                            "; SMS info. \n"
                            "; 'pal' or 'ntsc' (50hz or 60hz) \n"
                            "; 'japan' or 'usa' (langauge detection) \n"
                            "\n"
                            "ntsc \n"
                            "usa \n"
                            "\n"
                            "; Control setup. For players 1 and 2, valid control \n"
                            "; options are 'none', 'keyboard', 'joystick1' and 'joystick2'. \n"
                            "\n"
                            "player1 keyboard \n"
                            "player2 none \n"
                            "\n"
                            "; Keyboard control setup. Key values are given in scancodes, \n"
                            "; But these can be setup easily from inside TARVEN. \n"
                            "\n"
                            "kUP 72 \n"
                            "kDOWN 80 \n"
                            "kLEFT 75 \n"
                            "kRIGHT 77 \n"
                            "kB1 44 \n"
                            "kB2 45 \n"
                            "kPAUSE 57 \n"
                            "\n"
                            "; Joystick control setup. Directional controls are fixed, \n"
                            "; only buttons are remappable. Values are button numbers. \n"
                            "\n"
                            "j1B1 0 \n"
                            "j1B2 1 \n"
                            "j1PAUSE 2 \n"
                            "\n"
                            "j2B1 0 \n"
                            "j2B2 1 \n"
                            "j2PAUSE 2 \n"
                            "\n"
                            "; options: \n"
                            "; - 'nosound' \n"
                            "; - 'clock' \n"
                            "; - 'nopopups' \n"
                            "\n";

TEST_F(ConfigTest, WritesTheDefaultsByteForByte)
{
    config_write();
    EXPECT_EQ(file_text(), DEFAULT_FILE);
    EXPECT_FALSE(fs::exists(path + ".tmp"));
}

TEST_F(ConfigTest, RoundTripReproducesEverySetting)
{
    const Settings changed = {true, 32, 640, 480, 50, false, DEVICE_JOYSTICK1, DEVICE_JOYSTICK2, 1, 2, 3, 4, 5, 6, 255,
        11, 10, 9, 8, 7, 6, false, true, false, CONSOLE_GAME_GEAR};
    settings = changed;
    config_write();
    const std::string text = file_text();
    EXPECT_NE(text.find("\nnosound \nclock \nnopopups \n"), std::string::npos);
    EXPECT_NE(text.find("\nconsole gamegear \n"), std::string::npos);
    read_text(text);
    EXPECT_EQ(fields(settings), fields(changed));

    // The default file brings back every default except the options, which
    // the file can only switch away from their defaults, and the console,
    // which it names only when chosen.
    write_file(DEFAULT_FILE);
    settings = changed;
    config_read();
    Settings expected;
    expected.sound = false;
    expected.clock = true;
    expected.popups = false;
    expected.console = CONSOLE_GAME_GEAR;
    EXPECT_EQ(fields(settings), fields(expected));
}

TEST_F(ConfigTest, KeywordsAndDepths)
{
    read_text("FULLSCREEN BPP 32");
    Settings expected;
    expected.fullscreen = true;
    expected.bpp = 32;
    EXPECT_EQ(fields(settings), fields(expected));

    for (const char* text : {"bpp 32 bpp 8", "bpp 32 bpp 24", "bpp 32 bpp -32"}) {
        read_text(text);
        EXPECT_EQ(settings.bpp, 16) << text;
    }
    // An unreadable depth keeps the one before.
    read_text("bpp 32 bpp sixteen");
    EXPECT_EQ(settings.bpp, 32);

    read_text("pal japan PAL ntsc nosound clock nopopups kUP 1 J2PAUSE 3 player2 JOYSTICK2");
    EXPECT_EQ(settings.frame_rate, 60);
    EXPECT_FALSE(settings.usa);
    EXPECT_FALSE(settings.sound);
    EXPECT_TRUE(settings.clock);
    EXPECT_FALSE(settings.popups);
    EXPECT_EQ(settings.kup, 1);
    EXPECT_EQ(settings.j2pause, 3);
    EXPECT_EQ(settings.player2, DEVICE_JOYSTICK2);
}

TEST_F(ConfigTest, UnknownDeviceWordIsTriedAsALaterKeyword)
{
    read_text("player1 joystick3 keyboard");
    EXPECT_EQ(settings.player1, DEVICE_KEYBOARD);
    read_text("player1 none player1 joystick3 keyboard");
    EXPECT_EQ(settings.player1, DEVICE_NONE);

    read_text("player1 player2 joystick1");
    EXPECT_EQ(settings.player1, DEVICE_KEYBOARD);
    EXPECT_EQ(settings.player2, DEVICE_JOYSTICK1);

    // Only the keywords after the player's own entry are tried.
    read_text("player1 kb1 12 player2 fullscreen player2 clock");
    EXPECT_EQ(settings.kb1, 12);
    EXPECT_FALSE(settings.fullscreen);
    EXPECT_TRUE(settings.clock);
    read_text("player2");
    EXPECT_EQ(settings.player2, DEVICE_NONE);
}

TEST_F(ConfigTest, CommentsStartOnlyAtTheStartOfAWord)
{
    read_text("bpp 32;comment\nfullscreen ;comment nosound clock\n;\nnopopups\nyres 300;x");
    EXPECT_EQ(settings.bpp, 32);
    EXPECT_TRUE(settings.fullscreen);
    EXPECT_TRUE(settings.sound);
    EXPECT_FALSE(settings.clock);
    EXPECT_FALSE(settings.popups);  // the line after a bare ";" is read
    EXPECT_EQ(settings.yres, 300);
}

TEST_F(ConfigTest, ACommentAfterAPlayerKeywordIsAComment)
{
    read_text("player1 ; pal and japan\nplayer2 ;japan\nclock");
    EXPECT_EQ(settings.frame_rate, 60);
    EXPECT_TRUE(settings.usa);
    EXPECT_EQ(settings.player1, DEVICE_KEYBOARD);
    EXPECT_EQ(settings.player2, DEVICE_NONE);
    EXPECT_TRUE(settings.clock);  // the next line is read
}

TEST_F(ConfigTest, ASettingsPathThatIsNoFileIsNeitherReadNorReplaced)
{
    ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
    config_read();  // returns at once: nothing writes to the FIFO
    EXPECT_EQ(settings.bpp, Settings {}.bpp);
    config_write();
    EXPECT_TRUE(fs::is_fifo(path));
    fs::remove(path);
    fs::create_directory(path);
    config_read();
    config_write();
    EXPECT_TRUE(fs::is_directory(path));
}

TEST_F(ConfigTest, BadNumbersAndOutOfRangeValuesKeepThePreviousValue)
{
    read_text("xres abc yres 480 kup 99999999999 kdown - kleft +7 kright -0");
    EXPECT_EQ(settings.xres, 320);
    EXPECT_EQ(settings.yres, 480);
    EXPECT_EQ(settings.kup, 72);
    EXPECT_EQ(settings.kdown, 80);
    EXPECT_EQ(settings.kleft, 7);
    EXPECT_EQ(settings.kright, 0);

    read_text("kup 256 kdown -1 kb1 255 j1b1 12 j1b2 -1 j2pause 11 xres 0 yres -5");
    EXPECT_EQ(settings.kup, 72);
    EXPECT_EQ(settings.kdown, 80);
    EXPECT_EQ(settings.kb1, 255);
    EXPECT_EQ(settings.j1b1, 0);
    EXPECT_EQ(settings.j1b2, 1);
    EXPECT_EQ(settings.j2pause, 11);
    EXPECT_EQ(settings.xres, 320);
    EXPECT_EQ(settings.yres, 200);
}

TEST_F(ConfigTest, LongWordsAreCutWithoutOverflow)
{
    // The tail of an overlong word is not a word of its own.
    read_text(std::string(99, 'x') + "clock " + std::string(5000, 'y') + " nosound ;" + std::string(5000, 'z')
        + " fullscreen\nplayer1 " + std::string(300, 'k') + " kb2 9");
    EXPECT_FALSE(settings.clock);
    EXPECT_FALSE(settings.sound);
    EXPECT_FALSE(settings.fullscreen);
    EXPECT_EQ(settings.kb2, 9);
}

TEST_F(ConfigTest, MissingFilesAndFailedWrites)
{
    settings.bpp = 32;
    config_read();  // no file yet
    EXPECT_EQ(settings.bpp, 32);

    // A write that cannot create its temporary file leaves the old file alone.
    write_file("clock\n");
    fs::create_directory(path + ".tmp");
    config_write();
    EXPECT_EQ(file_text(), "clock\n");
    fs::remove(path + ".tmp");

    config_path = nullptr;
    config_read();
    config_write();
    EXPECT_EQ(settings.bpp, 32);
    EXPECT_EQ(file_text(), "clock\n");
}

}  // namespace
