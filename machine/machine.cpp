#include "machine/machine.h"

#include <strings.h>
#include <sys/stat.h>

#include <cctype>
#include <cstddef>
#include <cstdio>
#include <filesystem>

#include "host/file.h"
#include "host/log.h"
#include "host/video.h"
#include "machine/interface_hooks.h"
#include "machine/rewind.h"
#include "machine/scheduler.h"
#include "machine/settings.h"
#include "machine/sg1000.h"
#include "sound/psg.h"
#include "sound/psg_log.h"
#include "vdp/vdp.h"
#include "z80/z80.h"

MachineState machine;
Settings settings;

namespace {

constexpr int ROM_HEADER_SIZE = 512;
// Paging registers hold a byte: no game can reach a page beyond these.
constexpr int MAX_ROM_PAGES = 256;
// The first kilobyte of the cartridge always shows page 0: it holds the
// reset and interrupt vectors.
constexpr int FIXED_ROM_BYTES = 0x400;
// Mapper registers sit at 0xFFFC-0xFFFF; the RAM bytes behind them mirror
// the values written so that games can read them back.
constexpr int MAPPER_RAM_OFFSET = 0x1FFC;
constexpr int RAM_ADDRESS_MASK = SYSTEM_RAM_SIZE - 1;
// What the console's boot program leaves behind when it starts the
// cartridge: slots 0-2 on pages 0-2 and the stack near the top of RAM.
constexpr int BOOT_STACK_POINTER = 0xDFF0;
constexpr uint8_t CONTROL_CART_RAM = 0x08;
constexpr uint8_t CONTROL_CART_BANK1 = 0x04;

std::string file_name_of(const std::string& path)
{
    return path.substr(path.find_last_of('/') + 1);
}

// The same name in the per-user save folder, below the whole path of the
// ROM's folder, so that two games of one name in two folders keep saves of
// their own; empty without a per-user folder.
std::string user_save_path(const std::string& beside_rom)
{
    const std::string folder = user_save_folder();
    if (folder.empty())
        return folder;
    std::filesystem::path rom_folder = std::filesystem::path(beside_rom).parent_path();
    if (rom_folder.empty())
        rom_folder = ".";
    std::error_code error;
    const std::filesystem::path whole = std::filesystem::weakly_canonical(std::filesystem::absolute(rom_folder), error);
    if (error)
        return {};
    return folder + whole.string() + "/" + file_name_of(beside_rom);
}

bool has_rom_extension(const std::string& path)
{
    const std::string name = file_name_of(path);
    const size_t dot = name.find_last_of('.');
    return SG_IsCartridge(name)
        || (dot != std::string::npos
            && (strcasecmp(name.c_str() + dot, ".sms") == 0 || strcasecmp(name.c_str() + dot, ".gg") == 0));
}

// The ROM path with the file name's extension replaced by `extension`; a
// name without one gets it appended. A '.' in a directory name is not an
// extension.
std::string derive_file_name(const std::string& path, const char* extension)
{
    const size_t slash = path.find_last_of('/');
    const size_t dot = path.find_last_of('.');
    const bool has_extension = dot != std::string::npos && (slash == std::string::npos || dot > slash);
    return (has_extension ? path.substr(0, dot) : path) + "." + extension;
}

// A machine without a save file (the libretro core, whose frontend keeps the
// cartridge RAM) neither reads nor writes one.
void read_cart_ram_file()
{
    if (machine.sram_file.empty())
        return;
    // A missing or short file leaves the rest of the banks as they are.
    FILE* file = open_regular_file(SMS_SavePathForReading(machine.sram_file).c_str());
    if (!file)
        return;
    for (auto& bank : machine.cart_ram)
        if (std::fread(bank.data(), 1, bank.size(), file) < bank.size())
            break;
    std::fclose(file);
}

void write_cart_ram_file()
{
    if (machine.sram_file.empty())
        return;
    // The game's saves are all the user has of it: never leave a torn file.
    write_user_file(SMS_SavePathForWriting(machine.sram_file), [](FILE* file) {
        for (const auto& bank : machine.cart_ram)
            if (std::fwrite(bank.data(), 1, bank.size(), file) != bank.size())
                return false;
        return true;
    });
}

const uint8_t* rom_page(int page)
{
    return machine.rom.data() + static_cast<size_t>(page) * ROM_PAGE_SIZE;
}

// Opcode fetches and data reads of the range see the same host bytes.
void map_readable(int low, int high, const uint8_t* host)
{
    Z80_MapFetch(low, high, host);
    Z80_MapReadDirect(low, high, host);
}

// Records the page a paging register selects, reduced by a true remainder
// (not masked), also in the RAM bytes behind the register.
uint8_t select_page(int slot, uint8_t value)
{
    const uint8_t page = static_cast<uint8_t>(value % machine.rom_pages);
    machine.mapper_page[slot] = page;
    machine.ram[MAPPER_RAM_OFFSET + 1 + slot] = page;
    return page;
}

void map_slot2_rom()
{
    const uint8_t* page = rom_page(machine.mapper_page[2]);
    map_readable(0x8000, 0xBFFF, page);
}

}  // namespace

void SMS_ChooseConsole()
{
    if (machine.sg_cartridge)
        machine.console = CONSOLE_SG1000;
    else if (settings.console != CONSOLE_BY_CARTRIDGE)
        machine.console = settings.console;
    else
        machine.console = machine.gg_cartridge ? CONSOLE_GAME_GEAR : CONSOLE_MASTER_SYSTEM_II;
    // A Game Gear runs a Master System cartridge in its Master System mode.
    // The console tells the two kinds of cartridge by a connector pin, not
    // by the header: Game Gear games in Game Gear mode often carry a Master
    // System region code there.
    machine.is_gg = machine.console == CONSOLE_GAME_GEAR && machine.gg_cartridge;
}

const char* SMS_ConsoleName(int32_t console)
{
    switch (console) {
    case CONSOLE_MASTER_SYSTEM:
        return "Master System";
    case CONSOLE_GAME_GEAR:
        return "Game Gear";
    case CONSOLE_SG1000:
        return "SG-1000";
    default:
        return "Master System II";
    }
}

void SMS_FreeROM()
{
    if (!machine.rom_loaded)
        return;
    machine.rom.clear();
    machine.rom.shrink_to_fit();
    machine.rom_loaded = false;
    machine.rom_name.clear();
    machine.rom_pages = -1;
}

std::string SMS_ReadROM(const char* path, std::vector<uint8_t>& rom)
{
    const std::string cannot_open = std::string("SMS_LoadROM, could not open ") + path;
    FILE* file = open_regular_file(path);
    if (!file)
        return cannot_open;
    long length = -1;
    if (std::fseek(file, 0, SEEK_END) == 0)
        length = std::ftell(file);
    if (length < 0) {
        std::fclose(file);
        return cannot_open;
    }
    // Checked before anything is allocated.
    if (const char* error = SG_IsCartridge(path) ? SG_ROMSizeError(length) : SMS_ROMSizeError(length)) {
        std::fclose(file);
        return error;
    }
    long start = 0;
    if (length % ROM_PAGE_SIZE == ROM_HEADER_SIZE) {
        start = ROM_HEADER_SIZE;
        length -= ROM_HEADER_SIZE;
    }

    rom.resize(static_cast<size_t>(length));
    const bool read
        = std::fseek(file, start, SEEK_SET) == 0 && std::fread(rom.data(), 1, rom.size(), file) == rom.size();
    std::fclose(file);
    if (!read) {
        rom.clear();
        return cannot_open;
    }
    return {};
}

std::string SMS_CheckROMImage(std::span<const uint8_t> bytes, std::vector<uint8_t>& rom, bool sg)
{
    const auto length = static_cast<long long>(bytes.size());
    if (const char* error = sg ? SG_ROMSizeError(length) : SMS_ROMSizeError(length))
        return error;
    const size_t start = bytes.size() % ROM_PAGE_SIZE == ROM_HEADER_SIZE ? ROM_HEADER_SIZE : 0;
    rom.assign(bytes.begin() + static_cast<std::ptrdiff_t>(start), bytes.end());
    return {};
}

void SMS_InstallROM(const std::string& path, std::vector<uint8_t> rom)
{
    SMS_FreeROM();
    machine.sg_cartridge = SG_IsCartridge(path);
    machine.sg_cart_ram = machine.sg_cartridge && SG_HasCartRAM(rom.size());
    // Held as the 48 KB it fills, what lies past its end reading as nothing
    // there does.
    if (machine.sg_cartridge)
        rom.resize(SG_ROM_MAX, 0xFF);
    machine.rom = std::move(rom);
    machine.rom_pages = static_cast<int32_t>(machine.rom.size() / ROM_PAGE_SIZE);
    machine.rom_loaded = true;

    machine.rom_name = file_name_of(path);
    machine.gg_cartridge
        = !machine.sg_cartridge && !path.empty() && std::tolower(static_cast<unsigned char>(path.back())) == 'g';
    SMS_ChooseConsole();
    machine.state_file = derive_file_name(path, "ST0");
    machine.sram_file = derive_file_name(path, "SAV");
    machine.psg_file = derive_file_name(path, "PSG");
    machine.rom_checksum = SMS_ROMChecksum();
}

void SMS_LoadROM(const char* path)
{
    SMS_FreeROM();
    std::vector<uint8_t> rom;
    const std::string error = SMS_ReadROM(path, rom);
    if (!error.empty())
        fatal_exit("%s", error.c_str());
    SMS_InstallROM(path, std::move(rom));
}

bool SMS_OpenROM(const std::string& path)
{
    const auto refuse = [](const std::string& why) {
        show_message(why);
        log_write("%s", why.c_str());
        return false;
    };
    // The log would go on across two games, and replay neither.
    if (psg_logging)
        return refuse("End the PSG log (ESC) before opening " + file_name_of(path));
    // The selector lists no other files; a drop may bring anything.
    if (!has_rom_extension(path))
        return refuse(file_name_of(path) + " is not a .sms, .gg, .sg or .sc file");
    std::vector<uint8_t> rom;
    const std::string error = SMS_ReadROM(path.c_str(), rom);
    // The size messages do not name the file.
    if (!error.empty())
        return refuse(error.find(path) != std::string::npos ? error : file_name_of(path) + ": " + error);
    SMS_FreeMachine();
    SMS_InstallROM(path, std::move(rom));
    SMS_InitMachine();
    quit_run = true;
    return true;
}

std::string SMS_SavePathForWriting(const std::string& beside_rom)
{
    if (user_file_writable(beside_rom))
        return beside_rom;
    const std::string path = user_save_path(beside_rom);
    // Without a per-user folder the writer reports the failure beside the ROM.
    if (path.empty() || !make_folders(path.substr(0, path.find_last_of('/'))))
        return beside_rom;
    const std::string note = "The ROM's folder is read-only: saving to " + path;
    show_message(note);
    log_write("%s", note.c_str());
    return path;
}

std::string SMS_SavePathForReading(const std::string& beside_rom)
{
    const std::string path = user_save_path(beside_rom);
    struct stat beside { };
    struct stat user { };
    if (path.empty() || stat(path.c_str(), &user) != 0)
        return beside_rom;
    // Both exist when the folder was read-only for a while: the newer save
    // is the player's latest.
    if (stat(beside_rom.c_str(), &beside) != 0)
        return path;
    const auto newer = [](const timespec& a, const timespec& b) {
        return a.tv_sec != b.tv_sec ? a.tv_sec > b.tv_sec : a.tv_nsec > b.tv_nsec;
    };
    return newer(user.st_mtim, beside.st_mtim) ? path : beside_rom;
}

const char* SMS_ROMSizeError(long long length)
{
    // A huge (or sparse) file is no cartridge, and must not end the program
    // as an allocation failure.
    if (length > static_cast<long long>(MAX_ROM_PAGES) * ROM_PAGE_SIZE + ROM_HEADER_SIZE)
        return "SMS_LoadROM(), ROM larger than 256 pages of 16k";
    if (length % ROM_PAGE_SIZE == ROM_HEADER_SIZE)
        length -= ROM_HEADER_SIZE;
    // A file without a single page would leave the mapper nothing to select.
    if (length % ROM_PAGE_SIZE != 0 || length <= 0)
        return "SMS_LoadROM(), ROM size not a multiple of 16k pages";
    return nullptr;
}

int32_t SMS_ROMChecksum()
{
    if (!machine.rom_loaded)
        return 0;
    uint32_t sum = 0;
    for (uint8_t byte : machine.rom)
        sum += byte;
    return static_cast<int32_t>(sum);
}

void SMS_SetupCPU()
{
    Z80_BeginMemoryMap();
    Z80_AddWriteRange(0xFF00, 0xFFFF, Z80_RANGE_CALLBACK, reinterpret_cast<uintptr_t>(&SMS_MapperWrite));
    Z80_EndMemoryMap();
    Z80_SetPortInHandler(SMS_PortIn);
    Z80_SetPortOutHandler(SMS_PortOut);
    machine.rom_write_sink.assign(ROM_PAGE_SIZE, 0);
    // A save that fails is shown to the player, not only logged.
    file_set_failure_handler(show_message);
}

void SMS_InitMachine()
{
    if (machine.machine_ready)
        SMS_FreeMachine();
    if (!machine.rom_loaded)
        fatal_exit("SMS_InitMachine(), cannot init without ROM");

    // Cleared, so that a run is the same from power-on every time.
    machine.ram.assign(SYSTEM_RAM_SIZE, 0);
    for (auto& bank : machine.cart_ram)
        bank.assign(CART_RAM_BANK_SIZE, 0);

    SMS_ChooseConsole();
    const bool sg1000 = machine.console == CONSOLE_SG1000;
    if (sg1000) {
        SG_MapMemory();
    } else {
        uint8_t* ram = machine.ram.data();
        map_readable(0x0000, FIXED_ROM_BYTES - 1, machine.rom.data());
        map_readable(0xC000, 0xDFFF, ram);
        map_readable(0xE000, 0xFFFF, ram);
        Z80_MapWriteDirect(0xC000, 0xDFFF, ram);
        Z80_MapWriteDirect(0xE000, 0xFEFF, ram);
    }

    Z80_Reset();
    Z80_SetRegister(Z80_REG_SP, BOOT_STACK_POINTER);

    vdp.is_gg = machine.is_gg;
    vdp.is_tms9918 = sg1000;
    vdp.has_taller_modes = machine.console != CONSOLE_MASTER_SYSTEM && !sg1000;
    vdp_reset();
    // The first frame starts past its first line: it must not keep the
    // height of the game before.
    vid_set_picture_height(vdp_display_lines());

    machine.port_dc = 0xFF;
    machine.port_dd = 0xFF;
    machine.gg_port0 = 0xFF;
    machine.port1_latch = 0;
    // An SG-1000 cartridge's RAM is kept by no battery: the state holds
    // it, no save file.
    machine.cart_ram_used = machine.sg_cart_ram;
    psg_reset();

    if (!sg1000) {
        SMS_MapperWrite(0xFFFC, 0);
        SMS_MapperWrite(0xFFFD, 0);
        SMS_MapperWrite(0xFFFE, 1);
        SMS_MapperWrite(0xFFFF, 2);
    }

    // The past of another game, or of the one before a reset, is no past of this one.
    SMS_RewindReset();
    machine.machine_ready = true;
}

void SMS_FreeMachine()
{
    if (interface_hooks.keep_settings)
        interface_hooks.keep_settings();
    if (!machine.machine_ready)
        return;
    if (machine.cart_ram_used && machine.console != CONSOLE_SG1000)
        write_cart_ram_file();

    machine.ram.clear();
    machine.ram.shrink_to_fit();
    for (auto& bank : machine.cart_ram) {
        bank.clear();
        bank.shrink_to_fit();
    }

    // Teardown silences the chip like a reset but keeps the latched register.
    const uint8_t latch = psg.latch;
    psg_reset();
    psg.latch = latch;

    machine.machine_ready = false;
}

void SMS_MapperWrite(int address, int value)
{
    const uint8_t byte = static_cast<uint8_t>(value);
    if (machine.console == CONSOLE_SG1000) {
        SG_TopPageWrite(address, byte);
        return;
    }
    switch (address & 0xFFFF) {
    case 0xFFFC: {
        machine.mapper_control = byte;
        machine.ram[MAPPER_RAM_OFFSET] = byte;
        if ((byte & CONTROL_CART_RAM) && !machine.cart_ram_used) {
            read_cart_ram_file();
            machine.cart_ram_used = true;
        }
        if (byte & CONTROL_CART_RAM) {
            uint8_t* bank = machine.cart_ram[(byte & CONTROL_CART_BANK1) ? 1 : 0].data();
            map_readable(0x8000, 0xBFFF, bank);
            Z80_MapWriteDirect(0x8000, 0xBFFF, bank);
        } else {
            map_slot2_rom();
            Z80_MapWriteDirect(0x8000, 0xBFFF, machine.rom_write_sink.data());
        }
        break;
    }
    case 0xFFFD:
        map_readable(FIXED_ROM_BYTES, 0x3FFF, rom_page(select_page(0, byte)) + FIXED_ROM_BYTES);
        break;
    case 0xFFFE:
        map_readable(0x4000, 0x7FFF, rom_page(select_page(1, byte)));
        break;
    case 0xFFFF:
        select_page(2, byte);
        // While cartridge RAM is mapped the page waits until it is unmapped.
        if (!(machine.mapper_control & CONTROL_CART_RAM))
            map_slot2_rom();
        break;
    default:
        // The rest of the page is the top of the RAM mirror.
        machine.ram[address & RAM_ADDRESS_MASK] = byte;
        break;
    }
}
