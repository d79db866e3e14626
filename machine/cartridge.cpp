#include "machine/cartridge.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "host/file.h"
#include "host/log.h"
#include "machine/machine.h"
#include "machine/scheduler.h"
#include "machine/settings.h"
#include "machine/sg1000.h"
#include "z80/z80.h"

namespace {

// The first kilobyte of a Sega-mapped image always shows page 0: it holds
// the reset and interrupt vectors.
constexpr int FIXED_ROM_BYTES = 0x400;
constexpr int SLOTS = 3;
constexpr int TOP_PAGE = 0xFF00;
constexpr int FIRST_REGISTER = 0xFC;  // offset of 0xFFFC in the top page

constexpr uint8_t CONTROL_BANK_SHIFT = 0x03;
constexpr uint8_t CONTROL_CART_BANK1 = 0x04;
constexpr uint8_t CONTROL_CART_RAM = 0x08;
constexpr uint8_t CONTROL_CART_RAM_HIGH = 0x10;  // over the work RAM at 0xC000-0xFFFF
// The bank shift adds this to every page number written.
constexpr uint8_t BANK_SHIFTS[4] = {0x00, 0x18, 0x10, 0x08};

constexpr uint8_t MEMORY_NO_CARTRIDGE = 0x40;
constexpr uint8_t MEMORY_NO_WORK_RAM = 0x10;
constexpr uint8_t MEMORY_NO_BIOS = 0x08;

// Codemasters' header: a 16-bit checksum and its complement to 0x10000.
constexpr size_t CODEMASTERS_CHECKSUM = 0x7FE6;
constexpr size_t CODEMASTERS_COMPLEMENT = 0x7FE8;
constexpr uint8_t CODEMASTERS_RAM = 0x80;  // in the value written to 0x4000
constexpr int CODEMASTERS_RAM_LOW = 0xA000;
constexpr int KOREAN_REGISTER = 0xA000;
// Games of 48 KB use the Sega mapper's cartridge RAM for their saves; a
// 32 KB image is one chip that needs no mapper.
constexpr size_t NO_MAPPER_MAX_BYTES = 2 * ROM_PAGE_SIZE;

// A BIOS of 8 KB fills its 16 KB slot twice over, as its address lines do.
constexpr size_t SMALL_BIOS_SIZE = 0x2000;
constexpr size_t MAX_BIOS_SIZE = 16 * ROM_PAGE_SIZE;

const char* const MAPPER_NAMES[MAPPER_KINDS] = {"sega", "codemasters", "korean", "none"};

// What a slot reads while nothing drives the bus.
constexpr std::array<uint8_t, ROM_PAGE_SIZE> OPEN_BUS = [] {
    std::array<uint8_t, ROM_PAGE_SIZE> bytes {};
    bytes.fill(0xFF);
    return bytes;
}();

void map_memory(int low, int high, uint8_t* host)
{
    SMS_MapReadable(low, high, host);
    Z80_MapWriteDirect(low, high, host);
}

const uint8_t* image_page(const std::vector<uint8_t>& image, int page)
{
    const int pages = static_cast<int>(image.size() / ROM_PAGE_SIZE);
    return image.data() + static_cast<size_t>(page % pages) * ROM_PAGE_SIZE;
}

// A Sega-paged slot: slot 0 keeps its first kilobyte on page 0.
void map_paged(int slot, const std::vector<uint8_t>& image, int page)
{
    const int low = slot * ROM_PAGE_SIZE;
    const int start = slot == 0 ? FIXED_ROM_BYTES : 0;
    if (start)
        SMS_MapReadable(0, start - 1, image.data());
    SMS_MapReadable(low + start, low + ROM_PAGE_SIZE - 1, image_page(image, page) + start);
}

void use_cart_ram()
{
    if (!machine.cart_ram_used)
        SMS_ReadCartRAM();
    machine.cart_ram_used = true;
}

uint8_t* cart_ram_bank()
{
    return machine.cart_ram[(machine.mapper_control & CONTROL_CART_BANK1) ? 1 : 0].data();
}

void map_cartridge_slot(int slot)
{
    const int low = slot * ROM_PAGE_SIZE;
    const int page = machine.mapper_page[slot];
    switch (machine.mapper) {
    case MAPPER_SEGA:
        if (slot == 2 && (machine.mapper_control & CONTROL_CART_RAM)) {
            map_memory(0x8000, 0xBFFF, cart_ram_bank());
            return;
        }
        map_paged(slot, machine.rom, page + BANK_SHIFTS[machine.mapper_control & CONTROL_BANK_SHIFT]);
        if (slot == 2)
            Z80_MapWriteDirect(0x8000, 0xBFFF, machine.rom_write_sink.data());
        return;
    case MAPPER_CODEMASTERS:
        // No kilobyte is kept: a game that pages slot 0 brings its own vectors.
        SMS_MapReadable(low, low + ROM_PAGE_SIZE - 1, image_page(machine.rom, page));
        if (slot != 2)
            return;
        if (machine.mapper_control & CODEMASTERS_RAM)
            map_memory(CODEMASTERS_RAM_LOW, 0xBFFF, machine.cart_ram[0].data());
        else
            Z80_MapWriteDirect(CODEMASTERS_RAM_LOW, 0xBFFF, machine.rom_write_sink.data());
        return;
    case MAPPER_KOREAN:
    case MAPPER_NONE:
        SMS_MapReadable(low, low + ROM_PAGE_SIZE - 1, image_page(machine.rom, page));
        return;
    }
}

// The cartridge's slot, the BIOS's, or neither, as port 0x3E has them.
void map_slot(int slot)
{
    if (!(machine.memory_control & MEMORY_NO_CARTRIDGE)) {
        map_cartridge_slot(slot);
    } else if (!(machine.memory_control & MEMORY_NO_BIOS) && !machine.bios.empty()) {
        map_paged(slot, machine.bios, machine.bios_page[slot]);
    } else {
        const int low = slot * ROM_PAGE_SIZE;
        SMS_MapReadable(low, low + ROM_PAGE_SIZE - 1, OPEN_BUS.data());
    }
}

void map_slots()
{
    for (int slot = 0; slot < SLOTS; ++slot)
        map_slot(slot);
}

// 0xC000-0xFFFF: the work RAM and its mirror, the cartridge RAM the Sega
// mapper can put over it, or nothing while port 0x3E turns the RAM off.
// Writes to the top page go through SMS_MapperWrite to `top_page`.
void map_work_ram()
{
    if (machine.memory_control & MEMORY_NO_WORK_RAM) {
        SMS_MapReadable(0xC000, 0xFFFF, OPEN_BUS.data());
        Z80_MapWriteDirect(0xC000, 0xFEFF, machine.rom_write_sink.data());
        machine.top_page = machine.rom_write_sink.data();
        return;
    }
    if (machine.mapper == MAPPER_SEGA && (machine.mapper_control & CONTROL_CART_RAM_HIGH)) {
        uint8_t* bank = cart_ram_bank();
        SMS_MapReadable(0xC000, 0xFFFF, bank);
        Z80_MapWriteDirect(0xC000, 0xFEFF, bank);
        machine.top_page = bank + (TOP_PAGE - 0xC000);
        return;
    }
    uint8_t* ram = machine.ram.data();
    SMS_MapReadable(0xC000, 0xDFFF, ram);
    SMS_MapReadable(0xE000, 0xFFFF, ram);
    Z80_MapWriteDirect(0xC000, 0xDFFF, ram);
    Z80_MapWriteDirect(0xE000, 0xFEFF, ram);
    machine.top_page = ram + (TOP_PAGE - 0xE000);
}

// Records the page a register selects, reduced by a true remainder (not
// masked); the Sega mapper's RAM byte behind the register reads it back.
void select_page(int slot, uint8_t value)
{
    machine.mapper_page[slot] = static_cast<uint8_t>(value % machine.rom_pages);
}

void sega_write(int offset, uint8_t byte)
{
    if (offset == FIRST_REGISTER) {
        const uint8_t changed = machine.mapper_control ^ byte;
        machine.mapper_control = byte;
        machine.top_page[offset] = byte;
        if (byte & (CONTROL_CART_RAM | CONTROL_CART_RAM_HIGH))
            use_cart_ram();
        if (changed & CONTROL_BANK_SHIFT)
            map_slots();
        else
            map_slot(2);
        if (changed & (CONTROL_CART_RAM_HIGH | CONTROL_CART_BANK1))
            map_work_ram();
        return;
    }
    const int slot = offset - FIRST_REGISTER - 1;
    select_page(slot, byte);
    machine.top_page[offset] = machine.mapper_page[slot];
    map_slot(slot);
}

void codemasters_write(int address, int value)
{
    const int slot = address / ROM_PAGE_SIZE;
    const uint8_t byte = static_cast<uint8_t>(value);
    select_page(slot, byte);
    if (slot == 1) {
        machine.mapper_control = byte & CODEMASTERS_RAM;
        if (byte & CODEMASTERS_RAM)
            use_cart_ram();
        map_slot(2);
    }
    map_slot(slot);
}

void korean_write(int, int value)
{
    select_page(2, static_cast<uint8_t>(value));
    map_slot(2);
}

bool has_codemasters_header(std::span<const uint8_t> rom)
{
    if (rom.size() < 2 * ROM_PAGE_SIZE)
        return false;
    const auto word = [&](size_t at) { return static_cast<uint16_t>(rom[at] | rom[at + 1] << 8); };
    const uint16_t checksum = word(CODEMASTERS_CHECKSUM);
    // An empty header (both zero) is no header.
    return checksum != 0 && static_cast<uint16_t>(checksum + word(CODEMASTERS_COMPLEMENT)) == 0;
}

// Reads the player's BIOS once per file name; a file that cannot serve
// leaves the console to start the cartridge itself, and says why.
void load_bios()
{
    if (settings.bios == machine.bios_path)
        return;
    machine.bios_path = settings.bios;
    machine.bios.clear();
    if (settings.bios.empty())
        return;
    FILE* file = open_regular_file(settings.bios.c_str());
    std::vector<uint8_t> image;
    if (file) {
        // One byte past the largest image is enough to refuse a larger file.
        image.resize(MAX_BIOS_SIZE + 1);
        image.resize(std::fread(image.data(), 1, image.size(), file));
        std::fclose(file);
    }
    if (image.size() == SMALL_BIOS_SIZE)
        image.insert(image.end(), image.begin(), image.end());
    if (!image.empty() && image.size() % ROM_PAGE_SIZE == 0 && image.size() <= MAX_BIOS_SIZE) {
        machine.bios = std::move(image);
        return;
    }
    const std::string why = "BIOS " + settings.bios
        + (file ? " is not 8 KB or a whole number of 16 KB pages: not used" : " cannot be read: not used");
    show_message(why);
    log_write("%s", why.c_str());
}

}  // namespace

MapperKind SMS_DetectMapper(std::span<const uint8_t> rom)
{
    if (has_codemasters_header(rom))
        return MAPPER_CODEMASTERS;
    return rom.size() <= NO_MAPPER_MAX_BYTES ? MAPPER_NONE : MAPPER_SEGA;
}

const char* SMS_MapperName(int32_t mapper)
{
    return mapper >= 0 && mapper < MAPPER_KINDS ? MAPPER_NAMES[mapper] : "auto";
}

bool SMS_MapperFromName(const std::string& name, int32_t& mapper)
{
    for (int32_t kind = MAPPER_AUTO; kind < MAPPER_KINDS; ++kind) {
        if (name == SMS_MapperName(kind)) {
            mapper = kind;
            return true;
        }
    }
    return false;
}

int32_t SMS_MapperChoice()
{
    for (const MapperChoice& choice : settings.mapper_choices)
        if (choice.rom_checksum == machine.rom_checksum)
            return choice.mapper;
    return MAPPER_AUTO;
}

void SMS_SelectMapper()
{
    const int32_t choice = SMS_MapperChoice();
    if (machine.sg_cartridge)
        machine.mapper = MAPPER_NONE;  // the SG-1000's own map, whatever is chosen
    else
        machine.mapper = choice == MAPPER_AUTO ? SMS_DetectMapper(machine.rom) : static_cast<MapperKind>(choice);
}

void SMS_ChooseMapper(int32_t mapper)
{
    if (!machine.rom_loaded)
        return;
    auto& choices = settings.mapper_choices;
    std::erase_if(choices, [](const MapperChoice& choice) { return choice.rom_checksum == machine.rom_checksum; });
    if (mapper != MAPPER_AUTO)
        choices.push_back({machine.rom_checksum, mapper});
    SMS_SelectMapper();
    if (machine.machine_ready)
        SMS_InitMachine();
}

bool SMS_MemoryReset()
{
    Z80_BeginMemoryMap();
    Z80_AddWriteRange(TOP_PAGE, 0xFFFF, Z80_RANGE_CALLBACK, reinterpret_cast<uintptr_t>(&SMS_MapperWrite));
    // Only the registers' own addresses: the rest of each page is ROM.
    if (machine.mapper == MAPPER_CODEMASTERS)
        for (int slot = 0; slot < SLOTS; ++slot)
            Z80_AddWriteRange(slot * ROM_PAGE_SIZE, slot * ROM_PAGE_SIZE, Z80_RANGE_CALLBACK,
                reinterpret_cast<uintptr_t>(&codemasters_write));
    if (machine.mapper == MAPPER_KOREAN)
        Z80_AddWriteRange(
            KOREAN_REGISTER, KOREAN_REGISTER, Z80_RANGE_CALLBACK, reinterpret_cast<uintptr_t>(&korean_write));
    Z80_EndMemoryMap();
    Z80_SetPortInHandler(SMS_PortIn);
    Z80_SetPortOutHandler(SMS_PortOut);
    if (machine.console == CONSOLE_SG1000) {
        SG_MapMemory();
        return false;
    }

    // The Game Gear's start-up stays the cartridge's own.
    if (!machine.is_gg)
        load_bios();
    const bool bios = !machine.is_gg && !machine.bios.empty();
    machine.memory_control = bios ? MEMORY_CONTROL_BIOS : MEMORY_CONTROL_CARTRIDGE;
    machine.mapper_control = 0;
    // Codemasters' board starts on pages 0, 1, 0; the others as the BIOS
    // leaves the Sega mapper, on 0, 1, 2.
    const uint8_t start[SLOTS] = {0, 1, static_cast<uint8_t>(machine.mapper == MAPPER_CODEMASTERS ? 0 : 2)};
    for (int slot = 0; slot < SLOTS; ++slot) {
        select_page(slot, start[slot]);
        machine.bios_page[slot] = static_cast<uint8_t>(slot);
    }
    map_work_ram();
    map_slots();
    if (machine.mapper == MAPPER_SEGA)
        std::copy(machine.mapper_page, machine.mapper_page + SLOTS, machine.top_page + FIRST_REGISTER + 1);
    return bios;
}

void SMS_MapperWrite(int address, int value)
{
    const int offset = address & 0xFF;
    const uint8_t byte = static_cast<uint8_t>(value);
    if (machine.console == CONSOLE_SG1000) {
        SG_TopPageWrite(address, byte);
        return;
    }
    if (offset < FIRST_REGISTER || machine.mapper != MAPPER_SEGA)
        machine.top_page[offset] = byte;
    else
        sega_write(offset, byte);
    // The BIOS's own paging sees the same writes, whatever the cartridge.
    if (offset > FIRST_REGISTER && !machine.bios.empty()) {
        const int slot = offset - FIRST_REGISTER - 1;
        machine.bios_page[slot] = byte;
        if (machine.memory_control & MEMORY_NO_CARTRIDGE)
            map_slot(slot);
    }
}

void SMS_MemoryControlWrite(int value)
{
    const uint8_t changed = machine.memory_control ^ static_cast<uint8_t>(value);
    machine.memory_control = static_cast<uint8_t>(value);
    if (changed & (MEMORY_NO_CARTRIDGE | MEMORY_NO_BIOS))
        map_slots();
    if (changed & MEMORY_NO_WORK_RAM)
        map_work_ram();
}

bool SMS_MemoryControlLacksBIOS(uint8_t memory_control)
{
    return (memory_control & MEMORY_NO_CARTRIDGE) && !(memory_control & MEMORY_NO_BIOS) && machine.bios.empty();
}

void SMS_MapperRestore(uint8_t control, const uint8_t (&pages)[3], uint8_t memory_control)
{
    machine.mapper_control = control;
    machine.memory_control = memory_control;
    for (int slot = 0; slot < SLOTS; ++slot) {
        select_page(slot, pages[slot]);
        machine.bios_page[slot] = pages[slot];
    }
    const uint8_t ram_users = machine.mapper == MAPPER_SEGA ? CONTROL_CART_RAM | CONTROL_CART_RAM_HIGH
        : machine.mapper == MAPPER_CODEMASTERS              ? CODEMASTERS_RAM
                                                            : 0;
    if (control & ram_users)
        use_cart_ram();
    map_work_ram();
    map_slots();
}

void SMS_MapReadable(int low, int high, const uint8_t* host)
{
    Z80_MapFetch(low, high, host);
    Z80_MapReadDirect(low, high, host);
}
