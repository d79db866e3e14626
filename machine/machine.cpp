#include "machine/machine.h"

#include <sys/stat.h>
#include <zlib.h>

#include <cctype>
#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "host/file.h"
#include "host/log.h"
#include "host/video.h"
#include "machine/archive.h"
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
uint32_t machine_generation = 0;
Controls machine_controls;
Settings settings;

namespace {

constexpr int ROM_HEADER_SIZE = 512;
// Paging registers hold a byte: no game can reach a page beyond these.
constexpr int MAX_ROM_PAGES = 256;
// What the console's boot program leaves behind when it starts the
// cartridge: the stack near the top of RAM.
constexpr int BOOT_STACK_POINTER = 0xDFF0;

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
    return file_has_extension(path, ".sms") || file_has_extension(path, ".gg") || SG_IsCartridge(path);
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

// The cartridge checks for the game taken out of an archive.
std::string archive_game(std::string error, const std::vector<uint8_t>& game, const std::string& name,
    std::vector<uint8_t>& rom, std::string* game_name)
{
    if (!error.empty())
        return error;
    error = SMS_CheckROMImage(game, rom, name);
    if (!error.empty())
        return "holds " + name + ", which " + error;
    if (game_name)
        *game_name = name;
    return error;
}

}  // namespace

// A machine without a save file (the libretro core, whose frontend keeps the
// cartridge RAM) neither reads nor writes one.
void SMS_ReadCartRAM()
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

std::string SMS_ReadROM(const char* path, std::vector<uint8_t>& rom, std::string* game_name)
{
    if (SMS_IsArchive(path)) {
        std::vector<uint8_t> game;
        std::string name;
        return archive_game(SMS_ReadArchive(path, game, name), game, name, rom, game_name);
    }
    FILE* file = open_regular_file(path);
    if (!file) {
        // EINVAL: a folder, a pipe or a device, which no player calls a file.
        const char* why = errno == EINVAL ? "it is not a file" : std::strerror(errno);
        return std::string("could not be opened: ") + why;
    }
    long length = -1;
    if (std::fseek(file, 0, SEEK_END) == 0)
        length = std::ftell(file);
    if (length < 0) {
        std::fclose(file);
        return "could not be read";
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
        return "could not be read";
    }
    return {};
}

std::string SMS_CheckROMImage(
    std::span<const uint8_t> bytes, std::vector<uint8_t>& rom, const std::string& path, std::string* game_name)
{
    if (SMS_IsArchive(path)) {
        std::vector<uint8_t> game;
        std::string name;
        return archive_game(SMS_ReadArchiveImage(bytes, game, name), game, name, rom, game_name);
    }
    const auto length = static_cast<long long>(bytes.size());
    if (const char* error = SG_IsCartridge(path) ? SG_ROMSizeError(length) : SMS_ROMSizeError(length))
        return error;
    const size_t start = bytes.size() % ROM_PAGE_SIZE == ROM_HEADER_SIZE ? ROM_HEADER_SIZE : 0;
    rom.assign(bytes.begin() + static_cast<std::ptrdiff_t>(start), bytes.end());
    return {};
}

void SMS_InstallROM(const std::string& path, std::vector<uint8_t> rom, const std::string& game_name)
{
    // An archive's game says the console; the saves are named after the archive.
    const std::string& image = game_name.empty() ? path : game_name;
    SMS_FreeROM();
    machine.sg_cartridge = SG_IsCartridge(image);
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
        = !machine.sg_cartridge && !image.empty() && std::tolower(static_cast<unsigned char>(image.back())) == 'g';
    SMS_ChooseConsole();
    machine.state_file = derive_file_name(path, "ST0");
    machine.sram_file = derive_file_name(path, "SAV");
    machine.psg_file = derive_file_name(path, "PSG");
    machine.input_file = derive_file_name(path, "input");
    machine.rom_checksum = SMS_ROMChecksum();
    SMS_SelectMapper();
}

void SMS_LoadROM(const char* path)
{
    SMS_FreeROM();
    std::vector<uint8_t> rom;
    std::string game_name;
    const std::string error = SMS_ReadROM(path, rom, &game_name);
    if (!error.empty())
        fatal_exit("%s %s", path, error.c_str());
    SMS_InstallROM(path, std::move(rom), game_name);
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
    if (!has_rom_extension(path) && !SMS_IsArchive(path))
        return refuse(file_name_of(path) + " is not a .sms, .gg, .sg or .sc file, nor a .zip or .7z of one");
    std::vector<uint8_t> rom;
    std::string game_name;
    const std::string error = SMS_ReadROM(path.c_str(), rom, &game_name);
    if (!error.empty())
        return refuse(file_name_of(path) + " " + error);
    SMS_FreeMachine();
    SMS_InstallROM(path, std::move(rom), game_name);
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
        return "is too large to be a Master System or Game Gear game (over 4 MB)";
    if (length == 0)
        return "is empty: there is no game in it";
    if (length % ROM_PAGE_SIZE == ROM_HEADER_SIZE)
        length -= ROM_HEADER_SIZE;
    // A file without a single page would leave the mapper nothing to select.
    if (length % ROM_PAGE_SIZE != 0 || length <= 0)
        return "is not a Master System or Game Gear game: its size is not a whole number of 16 KB banks";
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
    machine.rom_write_sink.assign(ROM_PAGE_SIZE, 0);
    Z80_SetPortInHandler(SMS_PortIn);
    Z80_SetPortOutHandler(SMS_PortOut);
    // A save that fails is shown to the player, not only logged.
    file_set_failure_handler(show_message);
}

void SMS_InitMachine()
{
    if (machine.machine_ready)
        SMS_FreeMachine();
    if (!machine.rom_loaded)
        fatal_exit("SMS_InitMachine(), cannot init without ROM");

    ++machine_generation;
    // Cleared, so that a run is the same from power-on every time.
    machine.ram.assign(SYSTEM_RAM_SIZE, 0);
    for (auto& bank : machine.cart_ram)
        bank.assign(CART_RAM_BANK_SIZE, 0);
    SMS_ChooseConsole();
    const bool sg1000 = machine.console == CONSOLE_SG1000;

    // An SG-1000 cartridge's RAM is kept by no battery: the state holds it,
    // no save file.
    machine.cart_ram_used = sg1000 && machine.sg_cart_ram;

    Z80_Reset();
    // A BIOS sets up its own stack.
    if (!SMS_MemoryReset())
        Z80_SetRegister(Z80_REG_SP, BOOT_STACK_POINTER);

    vdp.is_gg = machine.is_gg;
    vdp.is_tms9918 = sg1000;
    vdp.has_taller_modes = machine.console != CONSOLE_MASTER_SYSTEM && !sg1000;
    vdp_reset();
    SMS_ApplyVideoSettings();

    machine.port_dc = 0xFF;
    machine.port_dd = 0xFF;
    machine.gg_port0 = 0xFF;
    machine.port1_latch = 0;
    machine.io_control = 0xFF;
    psg_reset();

    // The past of another game, or of the one before a reset, is no past of this one.
    SMS_RewindReset();
    machine.machine_ready = true;
}

void SMS_ApplyVideoSettings()
{
    vdp.is_pal = settings.frame_rate == 50;
    vdp.sprite_limit = settings.sprite_limit;
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

uint32_t SMS_MachineCRC()
{
    uLong crc = crc32(0L, Z_NULL, 0);
    crc = crc32(crc, machine.ram.data(), static_cast<uInt>(machine.ram.size()));
    crc = crc32(crc, vdp.vram, sizeof vdp.vram);
    crc = crc32(crc, vdp.cram, sizeof vdp.cram);
    return static_cast<uint32_t>(crc);
}
