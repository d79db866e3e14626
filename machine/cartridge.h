// What the Master System's Z80 sees at 0x0000-0xFFFF: the cartridge board
// (its mapper and any RAM on it), the console's memory-control port 0x3E
// and the BIOS a player may supply. Another console's memory map belongs
// beside this file, not in it.
#pragma once

#include <cstdint>
#include <span>
#include <string>

// Kept in save states (the low two bits of the byte after the version).
enum MapperKind : uint8_t {
    MAPPER_SEGA = 0,
    MAPPER_CODEMASTERS = 1,
    MAPPER_KOREAN = 2,
    MAPPER_NONE = 3,
};
constexpr int MAPPER_KINDS = 4;
// A game without a choice of the player's runs on the board its image says.
constexpr int32_t MAPPER_AUTO = -1;

// Port 0x3E as a BIOS leaves it when it starts the cartridge (cartridge, RAM
// and I/O on; BIOS, card and expansion slots off), and as the console starts
// it with a BIOS (BIOS, RAM and I/O on, every slot off).
constexpr uint8_t MEMORY_CONTROL_CARTRIDGE = 0xAB;
constexpr uint8_t MEMORY_CONTROL_BIOS = 0xE3;

// The board an image needs, from what the image itself says: Codemasters'
// header checksum, else its size (32 KB and less need no mapper), else the
// Sega mapper.
MapperKind SMS_DetectMapper(std::span<const uint8_t> rom);
// "sega", "codemasters", "korean", "none"; "auto" for MAPPER_AUTO.
const char* SMS_MapperName(int32_t mapper);
// MAPPER_AUTO or a kind for its name; false for any other word.
bool SMS_MapperFromName(const std::string& name, int32_t& mapper);
// The player's choice recorded for the loaded game, MAPPER_AUTO without one.
int32_t SMS_MapperChoice();
// Records the player's choice for the loaded game (MAPPER_AUTO forgets it)
// and puts the game on that board; a running game restarts on it.
void SMS_ChooseMapper(int32_t mapper);
// The board for the loaded image: the player's choice, else detection.
void SMS_SelectMapper();

// Builds the memory map of the board and puts it, the memory control and
// the BIOS in their power-on state; true when the console starts in the
// BIOS (one is set and could be read), which then starts the cartridge.
bool SMS_MemoryReset();
// The write handler of 0xFF00-0xFFFF: the Sega mapper's registers at
// 0xFFFC-0xFFFF (on every board, for the BIOS's own paging), RAM below.
void SMS_MapperWrite(int address, int value);
// Port 0x3E.
void SMS_MemoryControlWrite(int value);
// Whether the port 0x3E value shows the BIOS in place of the cartridge while
// this machine has none to show.
bool SMS_MemoryControlLacksBIOS(uint8_t memory_control);
// Maps host bytes for the CPU to read in low..high: opcode fetches and data
// reads see the same bytes.
void SMS_MapReadable(int low, int high, const uint8_t* host);
// Rebuilds the map from a save state's mapper fields.
void SMS_MapperRestore(uint8_t control, const uint8_t (&pages)[3], uint8_t memory_control);
