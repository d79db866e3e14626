#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

#include "host/input.h"
#include "host/picture/picture.h"
#include "machine/machine.h"
#include "machine/scheduler.h"

std::string screenshot_folder;

namespace {

bool name_taken(const std::filesystem::path& path)
{
    std::error_code error;
    // A dangling symbolic link takes its name too: writing through it would
    // create its target somewhere else.
    return std::filesystem::symlink_status(path, error).type() != std::filesystem::file_type::not_found;
}

}  // namespace

std::string screenshot_next_path()
{
    std::string game = std::filesystem::path(machine.rom_name).stem().string();
    if (game.empty())
        game = "tarven";
    const std::filesystem::path folder = screenshot_folder;
    for (int number = 1;; ++number) {
        char suffix[16];
        std::snprintf(suffix, sizeof suffix, "-%03d.png", number);
        const std::filesystem::path path = folder / (game + suffix);
        if (!name_taken(path))
            return path.string();
    }
}

void screenshot_key()
{
    if (!key_down(KEY_F8))
        return;
    key_clear(KEY_F8);
    const std::string path = screenshot_next_path();
    if (picture_write_png(path, machine.is_gg ? game_gear_picture() : whole_picture()))
        show_message(path + " saved");
}
