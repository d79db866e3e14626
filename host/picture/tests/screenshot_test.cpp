// The screenshot key's files: their names, their folder, their pictures.
#include <gtest/gtest.h>
#include <png.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "host/draw.h"
#include "host/headless/headless.h"
#include "host/input.h"
#include "host/picture/picture.h"
#include "host/tests/scratch_directory.h"
#include "machine/machine.h"
#include "machine/scheduler.h"

namespace {

struct PngSize {
    png_uint_32 width = 0;
    png_uint_32 height = 0;
};

PngSize png_size(const std::string& path)
{
    png_image image {};
    image.version = PNG_IMAGE_VERSION;
    PngSize size;
    if (png_image_begin_read_from_file(&image, path.c_str()))
        size = {image.width, image.height};
    png_image_free(&image);
    return size;
}

class Screenshot : public testing::Test {
protected:
    ScratchDirectory scratch;

    void SetUp() override
    {
        std::filesystem::create_directory("pictures");
        screenshot_folder = (scratch.path() / "pictures").string();
        headless_video_start(16);
        machine.rom_name = "Sonic.v2.gg";
        machine.is_gg = true;
        message.clear();
    }

    void TearDown() override
    {
        screenshot_folder.clear();
        machine.rom_name.clear();
        machine.is_gg = false;
    }

    std::string in_pictures(const std::string& name)
    {
        return (scratch.path() / "pictures" / name).string();
    }
};

}  // namespace

// Named after the game with the next number free in the pictures folder;
// a dangling link takes its name too, since writing through it would make
// a file somewhere else.
TEST_F(Screenshot, NamesCountUpInThePicturesFolder)
{
    EXPECT_EQ(screenshot_next_path(), in_pictures("Sonic.v2-001.png"));
    std::ofstream(in_pictures("Sonic.v2-001.png")) << "taken";
    std::filesystem::create_symlink("nowhere/else.png", in_pictures("Sonic.v2-002.png"));
    EXPECT_EQ(screenshot_next_path(), in_pictures("Sonic.v2-003.png"));

    screenshot_folder.clear();
    EXPECT_EQ(screenshot_next_path(), "Sonic.v2-001.png");
}

// F8 writes the Game Gear's 160 x 144 screen (a Master System's whole
// picture) once per press and names the file in the popup.
TEST_F(Screenshot, KeyWritesWhatTheConsoleShowsAndSaysSo)
{
    key_state[KEY_F8] = 0x80;
    screenshot_key();
    screenshot_key();
    EXPECT_FALSE(key_down(KEY_F8));
    EXPECT_EQ(message, in_pictures("Sonic.v2-001.png") + " saved");
    EXPECT_EQ(png_size(in_pictures("Sonic.v2-001.png")).width, 160u);
    EXPECT_EQ(png_size(in_pictures("Sonic.v2-001.png")).height, 144u);
    EXPECT_FALSE(std::filesystem::exists(in_pictures("Sonic.v2-002.png")));

    machine.is_gg = false;
    key_state[KEY_F8] = 0x80;
    screenshot_key();
    EXPECT_EQ(png_size(in_pictures("Sonic.v2-002.png")).width, 256u);
    EXPECT_EQ(png_size(in_pictures("Sonic.v2-002.png")).height, 192u);
}

TEST_F(Screenshot, FailedWriteClaimsNothing)
{
    std::filesystem::remove("pictures");
    key_state[KEY_F8] = 0x80;
    screenshot_key();
    EXPECT_EQ(message.find(" saved"), std::string::npos) << message;
    EXPECT_FALSE(std::filesystem::exists(in_pictures("Sonic.v2-001.png")));
}
