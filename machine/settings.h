// The user's settings the machine reads (region, video standard, controls,
// sound) beside those of the interface; programs with an interface keep them
// in a file (ui/config.h), the others set them themselves.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum PlayerDevice : int32_t {
    DEVICE_NONE = 0,
    DEVICE_KEYBOARD = 1,
    DEVICE_JOYSTICK1 = 2,
    DEVICE_JOYSTICK2 = 3,
    DEVICE_PADDLE = 4,  // the mouse's X turns the knob, its left button presses
    DEVICE_PADDLE_JOYSTICK1 = 5,  // joystick 1's stick across turns it, button 1 presses
    DEVICE_PADDLE_JOYSTICK2 = 6,
    DEVICE_LIGHTGUN = 7,  // the Light Phaser, aimed with the mouse
};

// A board the player chose by hand for one game, known by its checksum.
struct MapperChoice {
    int32_t rom_checksum;
    int32_t mapper;  // a MapperKind (machine/cartridge.h)
};

// The console a cartridge runs on: by default the one its file name names
// (a Master System II for .sms, a Game Gear for .gg), or the one chosen.
enum Console : int32_t {
    CONSOLE_BY_CARTRIDGE = 0,
    CONSOLE_MASTER_SYSTEM = 1,  // the first chip: no taller modes
    CONSOLE_MASTER_SYSTEM_II = 2,
    CONSOLE_GAME_GEAR = 3,
    CONSOLE_SG1000 = 4,  // never chosen: SG-1000 cartridges run on it alone
};

struct Settings {
    bool fullscreen = false;
    int32_t bpp = 16;
    int32_t xres = 320;
    int32_t yres = 200;
    int32_t frame_rate = 60;  // 50 (PAL) or 60 (NTSC)
    bool usa = true;  // region: USA/European, else Japanese
    int32_t player1 = DEVICE_KEYBOARD;
    int32_t player2 = DEVICE_NONE;
    int32_t kup = 72, kdown = 80, kleft = 75, kright = 77;
    int32_t kb1 = 44, kb2 = 45, kpause = 57;
    int32_t j1b1 = 0, j1b2 = 1, j1pause = 2;
    int32_t j2b1 = 0, j2b2 = 1, j2pause = 2;
    bool sound = true;
    bool clock = false;
    bool popups = true;
    bool sprite_limit = true;  // eight sprites a line, as the console shows
    bool gg_speaker = false;  // the Game Gear's own speaker, not its headphones
    std::vector<MapperChoice> mapper_choices;
    std::string bios;  // the player's Master System BIOS image; none when empty
    int32_t console = CONSOLE_BY_CARTRIDGE;
};

extern Settings settings;
