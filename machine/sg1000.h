// The SG-1000: the TMS9918, the SN76489 and 1 KB of RAM round a Z80, and
// cartridges of up to 48 KB of ROM without a mapper, some with RAM of their
// own. Apart from the Master System's memory map, which the machine hooks
// this one in place of.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The largest cartridge: the whole space below the RAM.
constexpr int SG_ROM_MAX = 48 * 1024;

// .sg, and .sc for the SC-3000's joystick games, in any case.
bool SG_IsCartridge(const std::string& path);
// The message SMS_LoadROM ends the program with for an SG-1000 image of
// `length` bytes, or null when that length makes a cartridge.
const char* SG_ROMSizeError(long long length);
// Whether a cartridge of `rom_size` bytes may have RAM of its own: the
// console cannot tell, so one that leaves room for it gets it.
bool SG_HasCartRAM(size_t rom_size);
// Maps the running cartridge, its RAM and the console's RAM.
void SG_MapMemory();
// A write to the top page, which the Master System's mapper takes.
void SG_TopPageWrite(int address, uint8_t value);
