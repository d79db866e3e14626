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
#include "machine/cartridge.h"

namespace {

namespace fs = std::filesystem;

auto fields(const Settings& s)
{
    return std::tuple(s.fullscreen, s.bpp, s.xres, s.yres, s.frame_rate, s.usa, s.player1, s.player2, s.kup, s.kdown,
        s.kleft, s.kright, s.kb1, s.kb2, s.kpause, s.j1b1, s.j1b2, s.j1pause, s.j2b1, s.j2b2, s.j2pause, s.sound,
        s.clock, s.popups, s.sprite_limit, s.gg_speaker, s.console);
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
                            "; tarven rewrites this file at every exit, keeping the settings and \n"
                            "; putting these comments back. It reads tarven.cfg from the current \n"
                            "; folder when there is one, else from ~/.config/tarven. \n"
                            "\n"
                            "; Graphics options. \n"
                            "; - 'fullscreen' or 'windowed' (Alt+Enter switches) \n"
                            "; - bpp 16 or 32: the colour depth of the picture; 32 shows every \n"
                            ";   colour exactly, 16 rounds them slightly. Any other value is 16. \n"
                            "; - xres <width> \n"
                            "; - yres <height> \n"
                            "\n"
                            "; xres and yres give the size of the screen the menus are drawn on in \n"
                            "; full screen; the game's picture is scaled to fill the display either \n"
                            "; way. In a window, these values are ignored. \n"
                            "\n"
                            "bpp 16 \n"
                            "windowed \n"
                            "xres 320 \n"
                            "yres 200 \n"
                            "\n"
                            "; Console. \n"
                            "; 'pal' or 'ntsc' (50 Hz or 60 Hz) \n"
                            "; 'japan' or 'usa' (the console's region, which some games read) \n"
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
                            "; Keyboard control setup. Key values are PC scan codes (set 1); \n"
                            "; Settings, Config Keyboard... sets them by pressing the keys. \n"
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
                            "; only buttons are remappable. Values are button numbers, from 0. \n"
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
    const Settings changed = {true, 32, 640, 480, 50, false, DEVICE_LIGHTGUN, DEVICE_JOYSTICK2, 1, 2, 3, 4, 5, 6, 255,
        11, 10, 9, 8, 7, 6, false, true, false, false, true, {}, {}, CONSOLE_GAME_GEAR};
    settings = changed;
    config_write();
    const std::string text = file_text();
    EXPECT_NE(text.find("\nnosound \nclock \nnopopups \nnospritelimit \nggspeaker \n"), std::string::npos);
    EXPECT_NE(text.find("\nplayer1 lightgun \n"), std::string::npos);
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
    expected.sprite_limit = false;
    expected.gg_speaker = true;
    expected.console = CONSOLE_GAME_GEAR;
    EXPECT_EQ(fields(settings), fields(expected));
}

// Written only when set, so the defaults stay byte for byte as they were.
TEST_F(ConfigTest, BiosAndBoardChoicesRoundTrip)
{
    settings.bios = "my roms/bios 1.3.sms";
    settings.mapper_choices = {{-123456, MAPPER_KOREAN}, {77, MAPPER_NONE}};
    config_write();
    settings = Settings {};
    config_read();
    EXPECT_EQ(settings.bios, "my roms/bios 1.3.sms");
    ASSERT_EQ(settings.mapper_choices.size(), 2u);
    EXPECT_EQ(settings.mapper_choices[0].rom_checksum, -123456);
    EXPECT_EQ(settings.mapper_choices[0].mapper, MAPPER_KOREAN);
    EXPECT_EQ(settings.mapper_choices[1].mapper, MAPPER_NONE);

    settings = Settings {};
    read_text("mapper 5 codemasters mapper 6 nonsense mapper 5 sega usa");
    ASSERT_EQ(settings.mapper_choices.size(), 1u);
    EXPECT_EQ(settings.mapper_choices[0].mapper, MAPPER_SEGA);
    EXPECT_TRUE(settings.usa);
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
