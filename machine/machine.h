// The emulated console: ROM image, system and cartridge RAM, the memory
// mapper, the I/O ports and the controllers.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "machine/cartridge.h"
#include "machine/settings.h"

constexpr int ROM_PAGE_SIZE = 16384;
constexpr int SYSTEM_RAM_SIZE = 8192;
constexpr int CART_RAM_BANK_SIZE = 16384;
// Derived file names hold at most this many characters.
constexpr size_t MACHINE_PATH_MAX = 255;

struct MachineState {
    std::vector<uint8_t> rom;  // without any 512-byte header
    int32_t rom_pages = -1;  // -1 while no ROM is held
    int32_t rom_checksum = 0;
    bool rom_loaded = false;
    bool machine_ready = false;
    // The console running (never CONSOLE_BY_CARTRIDGE while a ROM is held),
    // and whether it runs in Game Gear mode: a Game Gear with a Game Gear
    // cartridge, not one in its Master System mode.
    int32_t console = CONSOLE_MASTER_SYSTEM_II;
    bool is_gg = false;
    bool gg_cartridge = false;  // the file's name ends in g
    bool sg_cartridge = false;  // .sg or .sc: an SG-1000 cartridge
    bool sg_cart_ram = false;  // the SG-1000 cartridge has RAM of its own

    std::vector<uint8_t> ram;  // SYSTEM_RAM_SIZE while the machine runs
    std::vector<uint8_t> cart_ram[2];  // CART_RAM_BANK_SIZE each while it runs
    bool cart_ram_used = false;
    MapperKind mapper = MAPPER_SEGA;  // the cartridge's board
    uint8_t mapper_control = 0;  // Sega: 0xFFFC; Codemasters: bit 7 of 0x4000
    uint8_t mapper_page[3] = {};
    std::vector<uint8_t> rom_write_sink;  // swallows writes to mapped ROM
    uint8_t* top_page = nullptr;  // host bytes of 0xFF00-0xFFFF, RAM or cartridge RAM
    uint8_t memory_control = MEMORY_CONTROL_CARTRIDGE;  // port 0x3E
    std::vector<uint8_t> bios;  // the player's BIOS, empty without one
    std::string bios_path;  // the file `bios` was read from
    uint8_t bios_page[3] = {};

    std::string rom_name;  // the ROM file's name without its folders, as the title shows it
    std::string state_file;  // ROM path with extension ST0..ST9
    std::string sram_file;  // ROM path with extension SAV
    std::string psg_file;  // ROM path with extension PSG
    std::string input_file;  // ROM path with extension input: a recorded session

    // Controller ports, active low.
    uint8_t port_dc = 0xFF;
    uint8_t port_dd = 0xFF;
    uint8_t gg_port0 = 0xFF;
    uint8_t port1_latch = 0;
    uint8_t io_control = 0xFF;  // port 0x3F: TH and TR directions and levels
    bool pause_latch = false;
};

extern MachineState machine;

// Counts the machine's starts and the states loaded into it: a change tells
// a recording of the controls that the machine it began with was replaced.
extern uint32_t machine_generation;

// What the console's controls hold in one frame, whatever devices they come
// from: each pad's HELD_ bits, set while held, and the console's buttons.
enum HeldBit : uint8_t {
    HELD_UP = 0x01,
    HELD_DOWN = 0x02,
    HELD_LEFT = 0x04,
    HELD_RIGHT = 0x08,
    HELD_BUTTON1 = 0x10,
    HELD_BUTTON2 = 0x20,
    HELD_START = 0x40,  // the Game Gear's start button
};
enum ConsoleBit : uint8_t {
    CONSOLE_PAUSE = 0x01,  // the Master System's pause button
    CONSOLE_RESET = 0x02,
};
// What each controller port has plugged in, as far as the console can
// tell: a pad (or nothing), a paddle or a light gun.
enum class PortDevice : uint8_t { pad, paddle, lightgun };
struct Controls {
    uint8_t pads[2] = {};  // a paddle's button and a gun's trigger are button 1's
    uint8_t console = 0;
    PortDevice devices[2] = {};
    uint8_t paddles[2] = {};  // a paddle's knob position
    // Where a light gun points, in picture pixels; the pointer aims both.
    int16_t aim_x = 0;
    int16_t aim_y = 0;
};
// The controls the ports read in this frame.
extern Controls machine_controls;

// Loads the ROM at `path` into the machine; a file that is no cartridge
// ends the program.
void SMS_LoadROM(const char* path);
// Reads and checks a cartridge without touching the machine, so that a bad
// file can be refused while a game runs on. Gives the reason a file is
// refused, in a player's words to follow the file's name ("x.sms is
// empty: ..."), empty when `rom` holds the image without any header. A .zip
// or .7z holding one game gives that game, and its name in `game_name`.
std::string SMS_ReadROM(const char* path, std::vector<uint8_t>& rom, std::string* game_name = nullptr);
// The same checks for an image already in memory; the bytes of an archive
// when `path` names one, which gives its game as SMS_ReadROM does.
std::string SMS_CheckROMImage(std::span<const uint8_t> bytes, std::vector<uint8_t>& rom, const std::string& path = {},
    std::string* game_name = nullptr);
// Makes a checked image the machine's ROM; `path` names the files derived
// from it and, unless the image came from an archive as `game_name`, the
// console (a name ending in g is a Game Gear cartridge).
void SMS_InstallROM(const std::string& path, std::vector<uint8_t> rom, const std::string& game_name = {});
// Opens the cartridge at `path` in place of the running game, as the ROM
// selector and a file dropped on the window do. A file that is no .sms or
// .gg cartridge, nor an archive of one (or any file while a music log runs) is refused with the reason in the
// message popup and the log, and the game or the menus go on. Otherwise the
// old machine is saved and freed, the new one starts and the main loop
// restarts with it.
bool SMS_OpenROM(const std::string& path);
// Where a save derived from the ROM's name (cartridge RAM, a state) is
// written: beside the ROM, or where it cannot be written there (the ROM's
// folder is read-only) in the per-user save folder, which the message
// popup and the log then say.
std::string SMS_SavePathForWriting(const std::string& beside_rom);
// Where such a save is read from: the newer of the file beside the ROM and
// the one in the per-user save folder, whichever exists.
std::string SMS_SavePathForReading(const std::string& beside_rom);
// The reason SMS_ReadROM gives for a file of `length` bytes, or null when
// that length makes a cartridge.
const char* SMS_ROMSizeError(long long length);
// Sets the console and its mode from the settings and the cartridge: the
// machine is that console from its next start.
void SMS_ChooseConsole();
// The console's name as the menus and messages give it.
const char* SMS_ConsoleName(int32_t console);
void SMS_FreeROM();
int32_t SMS_ROMChecksum();
void SMS_InitMachine();
void SMS_FreeMachine();
void SMS_SetupCPU();
// Hands the video chip the settings it follows: the standard and the
// sprite limit.
void SMS_ApplyVideoSettings();
// Reads the cartridge RAM file into the banks, when the game first uses them.
void SMS_ReadCartRAM();

int SMS_PortIn(int port);
void SMS_PortOut(int port, int value);
// Reads the devices into the controls once a frame (an interface hook may
// replace what they hold) and sets the controller ports from them.
void SMS_UpdateControllers();
// The CRC-32 of system RAM, video RAM and colour RAM: what tarven-headless
// prints as machine-crc32 and a recorded session checks at every frame.
uint32_t SMS_MachineCRC();
