// The emulated console: ROM image, system and cartridge RAM, the memory
// mapper, the I/O ports and the controllers.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

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
    uint8_t mapper_control = 0;
    uint8_t mapper_page[3] = {};
    std::vector<uint8_t> rom_write_sink;  // swallows writes to mapped ROM

    std::string rom_name;  // the ROM file's name without its folders, as the title shows it
    std::string state_file;  // ROM path with extension ST0..ST9
    std::string sram_file;  // ROM path with extension SAV
    std::string psg_file;  // ROM path with extension PSG

    // Controller ports, active low.
    uint8_t port_dc = 0xFF;
    uint8_t port_dd = 0xFF;
    uint8_t gg_port0 = 0xFF;
    uint8_t port1_latch = 0;
    bool pause_latch = false;
};

extern MachineState machine;

// Loads the ROM at `path` into the machine; a file that is no cartridge
// ends the program.
void SMS_LoadROM(const char* path);
// Reads and checks a cartridge without touching the machine, so that a bad
// file can be refused while a game runs on. Gives the reason a file is
// refused, empty when `rom` holds the image without any header.
std::string SMS_ReadROM(const char* path, std::vector<uint8_t>& rom);
// The same checks for an image already in memory.
// `sg` checks it as an SG-1000 cartridge.
std::string SMS_CheckROMImage(std::span<const uint8_t> bytes, std::vector<uint8_t>& rom, bool sg = false);
// Makes a checked image the machine's ROM; `path` names the console (a
// name ending in g is a Game Gear cartridge) and the files derived from it.
void SMS_InstallROM(const std::string& path, std::vector<uint8_t> rom);
// Opens the cartridge at `path` in place of the running game, as the ROM
// selector and a file dropped on the window do. A file that is no .sms or
// .gg cartridge (or any file while a music log runs) is refused with the reason in the
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
// The message SMS_LoadROM ends the program with for a file of `length`
// bytes, or null when that length makes a cartridge.
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
void SMS_MapperWrite(int address, int value);

int SMS_PortIn(int port);
void SMS_PortOut(int port, int value);
void SMS_UpdateControllers();
