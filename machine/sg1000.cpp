#include "machine/sg1000.h"

#include <cstdint>

#include "host/file.h"
#include "machine/cartridge.h"
#include "machine/machine.h"
#include "z80/z80.h"

namespace {

// The console's 1 KB of RAM repeats through 0xC000-0xFFFF.
constexpr int RAM_SIZE = 1024;
// A cartridge of at most 32 KB leaves 0x8000-0xBFFF free, where the
// cartridges with RAM of their own (The Castle's 8 KB, Othello's 2 KB) put
// it; 8 KB there, seen twice, serves both.
constexpr int ROM_WITH_RAM_MAX = 32 * 1024;
constexpr int CART_RAM_SIZE = 8 * 1024;

}  // namespace

bool SG_IsCartridge(const std::string& path)
{
    return file_has_extension(path, ".sg") || file_has_extension(path, ".sc");
}

const char* SG_ROMSizeError(long long length)
{
    if (length > SG_ROM_MAX)
        return "is too large to be an SG-1000 game (over 48 KB)";
    if (length <= 0)
        return "is empty: there is no game in it";
    return nullptr;
}

void SG_MapMemory()
{
    // The ROM is held padded to 48 KB, so the whole space below the RAM
    // reads as the cartridge does.
    SMS_MapReadable(0x0000, SG_ROM_MAX - 1, machine.rom.data());
    for (int at = 0; at < SG_ROM_MAX; at += ROM_PAGE_SIZE)
        Z80_MapWriteDirect(at, at + ROM_PAGE_SIZE - 1, machine.rom_write_sink.data());
    if (machine.sg_cart_ram) {
        uint8_t* ram = machine.cart_ram[0].data();
        for (int at = 0x8000; at < 0xC000; at += CART_RAM_SIZE) {
            SMS_MapReadable(at, at + CART_RAM_SIZE - 1, ram);
            Z80_MapWriteDirect(at, at + CART_RAM_SIZE - 1, ram);
        }
    }
    // The top page stays with the mapper's callback, which comes back here.
    uint8_t* ram = machine.ram.data();
    for (int at = 0xC000; at < 0x10000; at += RAM_SIZE) {
        SMS_MapReadable(at, at + RAM_SIZE - 1, ram);
        if (at + RAM_SIZE <= 0xFF00)
            Z80_MapWriteDirect(at, at + RAM_SIZE - 1, ram);
    }
    Z80_MapWriteDirect(0xFC00, 0xFEFF, ram);
}

void SG_TopPageWrite(int address, uint8_t value)
{
    machine.ram[address & (RAM_SIZE - 1)] = value;
}

bool SG_HasCartRAM(size_t rom_size)
{
    return rom_size <= ROM_WITH_RAM_MAX;
}
