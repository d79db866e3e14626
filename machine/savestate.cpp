#include "machine/savestate.h"

#include <sys/stat.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "host/file.h"
#include "machine/machine.h"
#include "machine/scheduler.h"
#include "machine/settings.h"
#include "sound/psg.h"
#include "vdp/vdp.h"
#include "z80/z80.h"

namespace {

constexpr char MAGIC[9] = "SMSSTATE";  // eight letters and the terminating zero
constexpr uint8_t VERSION = 1;
constexpr int CPU_WORD_REGISTERS = 12;  // AF ... HL' in register-index order
constexpr uint8_t XY_FLAG_BITS = 0x28;
constexpr uint8_t STATE_LINE_IRQ = 0x01;  // in the stored VDP status byte
constexpr uint8_t BOARD_KIND = 0x03;
constexpr size_t BOARD_OFFSET = sizeof MAGIC + 1;
// The cartridge RAM flag's bits. An SG-1000 state sets the second, which
// older readers refuse as no state at all: they would load it as a Master
// System's.
constexpr uint8_t CART_RAM_STORED = 1;
constexpr uint8_t SG1000_MACHINE = 2;
// The byte of the Game Gear flag: the flag in bit 0, the console the state
// is of (a Console; 0 where the writer did not say) from bit 4 up. Older
// readers ignore the byte.
constexpr uint8_t GAME_GEAR_MODE = 0x01;
constexpr int CONSOLE_SHIFT = 4;

// Everything an SMSSTATE file holds, in the order the file holds it.
struct StateImage {
    char magic[sizeof MAGIC];
    uint8_t version;
    // Zero in states of before other boards: the board's kind in the low
    // two bits, and the bits of port 0x3E that differ from how a BIOS
    // leaves it above them.
    uint8_t board;
    uint32_t rom_checksum;
    uint8_t is_gg;
    uint8_t usa;
    uint8_t pal;
    uint16_t cpu_words[CPU_WORD_REGISTERS];
    uint8_t iff1, iff2;
    uint16_t ir;
    uint8_t im, irq_vector, irq_line;
    uint8_t line_budget_low;
    std::array<uint8_t, SYSTEM_RAM_SIZE> ram;
    std::array<uint8_t, VDP_VRAM_SIZE> vram;
    std::array<uint8_t, VDP_CRAM_SIZE> cram;
    uint8_t cart_ram_used;
    std::array<uint8_t, CART_RAM_BANK_SIZE> cart_ram[2];
    uint8_t mapper_control;
    uint8_t mapper_page[3];
    // 3 and 4 (the older modes' table addresses) were stored as zero by
    // older writers, whose readers ignore them.
    uint8_t vdp_registers[VDP_REGISTERS];
    uint16_t vdp_address;
    uint8_t vdp_status, vdp_latch_pending, vdp_latch_low, vdp_read_buffer, vdp_line_counter, vdp_cram_target;
    uint16_t psg_frequency[4];
    uint8_t psg_volume[4];
    uint8_t psg_noise_mode, psg_latch;
    uint8_t gg_port0, port1_latch, port_dc, port_dd;
};

// Appends fields to a byte image, little-endian.
struct StateWriter {
    std::vector<uint8_t> bytes;

    void u8(uint8_t& value)
    {
        bytes.push_back(value);
    }
    void u16(uint16_t& value)
    {
        bytes.push_back(static_cast<uint8_t>(value));
        bytes.push_back(static_cast<uint8_t>(value >> 8));
    }
    void u32(uint32_t& value)
    {
        for (int shift = 0; shift < 32; shift += 8)
            bytes.push_back(static_cast<uint8_t>(value >> shift));
    }
    void block(void* data, size_t size)
    {
        const auto* p = static_cast<const uint8_t*>(data);
        bytes.insert(bytes.end(), p, p + size);
    }
};

// Takes fields from a byte image; running past its end marks it short.
struct StateReader {
    std::span<const uint8_t> bytes;
    size_t position = 0;
    bool short_file = false;

    bool take(size_t size)
    {
        if (short_file || bytes.size() - position < size) {
            short_file = true;
            return false;
        }
        position += size;
        return true;
    }
    void u8(uint8_t& value)
    {
        if (take(1))
            value = bytes[position - 1];
    }
    void u16(uint16_t& value)
    {
        if (take(2))
            value = static_cast<uint16_t>(bytes[position - 2] | bytes[position - 1] << 8);
    }
    void u32(uint32_t& value)
    {
        if (take(4)) {
            value = 0;
            for (int i = 0; i < 4; ++i)
                value |= static_cast<uint32_t>(bytes[position - 4 + i]) << (8 * i);
        }
    }
    void block(void* data, size_t size)
    {
        if (take(size))
            std::memcpy(data, bytes.data() + position - size, size);
    }
};

// The one description of the file layout, walked by both the writer and the reader.
template <typename Io>
void transfer_header(Io& io, StateImage& s)
{
    io.block(s.magic, sizeof s.magic);
    io.u8(s.version);
}

template <typename Io>
void transfer_body(Io& io, StateImage& s)
{
    io.u8(s.board);
    io.u32(s.rom_checksum);
    io.u8(s.is_gg);
    io.u8(s.usa);
    io.u8(s.pal);
    for (uint16_t& word : s.cpu_words)
        io.u16(word);
    io.u8(s.iff1);
    io.u8(s.iff2);
    io.u16(s.ir);
    io.u8(s.im);
    io.u8(s.irq_vector);
    io.u8(s.irq_line);
    io.u8(s.line_budget_low);
    io.block(s.ram.data(), s.ram.size());
    io.block(s.vram.data(), s.vram.size());
    io.block(s.cram.data(), s.cram.size());
    io.u8(s.cart_ram_used);
    if (s.cart_ram_used & CART_RAM_STORED)
        for (auto& bank : s.cart_ram)
            io.block(bank.data(), bank.size());
    io.u8(s.mapper_control);
    io.block(s.mapper_page, sizeof s.mapper_page);
    io.block(s.vdp_registers, sizeof s.vdp_registers);
    io.u16(s.vdp_address);
    io.u8(s.vdp_status);
    io.u8(s.vdp_latch_pending);
    io.u8(s.vdp_latch_low);
    io.u8(s.vdp_read_buffer);
    io.u8(s.vdp_line_counter);
    io.u8(s.vdp_cram_target);
    for (uint16_t& frequency : s.psg_frequency)
        io.u16(frequency);
    io.block(s.psg_volume, sizeof s.psg_volume);
    io.u8(s.psg_noise_mode);
    io.u8(s.psg_latch);
    io.u8(s.gg_port0);
    io.u8(s.port1_latch);
    io.u8(s.port_dc);
    io.u8(s.port_dd);
}

void capture_state(StateImage& s)
{
    std::memcpy(s.magic, MAGIC, sizeof MAGIC);
    s.version = VERSION;
    s.board
        = static_cast<uint8_t>(machine.mapper | ((machine.memory_control ^ MEMORY_CONTROL_CARTRIDGE) & ~BOARD_KIND));
    s.rom_checksum = static_cast<uint32_t>(machine.rom_checksum);
    s.is_gg = static_cast<uint8_t>((machine.is_gg ? GAME_GEAR_MODE : 0) | machine.console << CONSOLE_SHIFT);
    s.usa = settings.usa;
    s.pal = settings.frame_rate == 50;

    for (int index = 0; index < CPU_WORD_REGISTERS; ++index)
        s.cpu_words[index] = static_cast<uint16_t>(Z80_GetRegister(index));
    // The register interface leaves F's two undocumented bits to the XY
    // byte; store the complete flags so that a loaded state resumes exactly.
    s.cpu_words[Z80_REG_AF]
        = static_cast<uint16_t>((s.cpu_words[Z80_REG_AF] & ~XY_FLAG_BITS) | (z80.xy & XY_FLAG_BITS));
    s.iff1 = static_cast<uint8_t>(Z80_GetRegister(Z80_REG_IFF1));
    s.iff2 = static_cast<uint8_t>(Z80_GetRegister(Z80_REG_IFF2));
    s.ir = static_cast<uint16_t>(Z80_GetRegister(Z80_REG_IR));
    s.im = static_cast<uint8_t>(Z80_GetRegister(Z80_REG_IM));
    s.irq_vector = static_cast<uint8_t>(Z80_GetRegister(Z80_REG_IRQ_VECTOR));
    s.irq_line = static_cast<uint8_t>(Z80_GetRegister(Z80_REG_IRQ_LINE));
    s.line_budget_low = static_cast<uint8_t>(line_budget);

    std::memcpy(s.ram.data(), machine.ram.data(), s.ram.size());
    std::memcpy(s.vram.data(), vdp.vram, s.vram.size());
    std::memcpy(s.cram.data(), vdp.cram, s.cram.size());
    s.cart_ram_used
        = (machine.cart_ram_used ? CART_RAM_STORED : 0) | (machine.console == CONSOLE_SG1000 ? SG1000_MACHINE : 0);
    // Rewinding takes a state every frame: copy no banks the state leaves out.
    if (s.cart_ram_used)
        for (int bank = 0; bank < 2; ++bank)
            std::memcpy(s.cart_ram[bank].data(), machine.cart_ram[bank].data(), CART_RAM_BANK_SIZE);

    s.mapper_control = machine.mapper_control;
    std::memcpy(s.mapper_page, machine.mapper_page, sizeof s.mapper_page);
    std::memcpy(s.vdp_registers, vdp.registers, sizeof s.vdp_registers);
    s.vdp_address = vdp.address;
    // The line interrupt's flag is no status bit; it rides in a bit the
    // status never sets.
    s.vdp_status = static_cast<uint8_t>(vdp.status | (vdp.line_irq ? STATE_LINE_IRQ : 0));
    s.vdp_latch_pending = vdp.latch_pending;
    s.vdp_latch_low = vdp.latch_low;
    s.vdp_read_buffer = vdp.read_buffer;
    s.vdp_line_counter = vdp.line_counter;
    s.vdp_cram_target = vdp.code == VDP_CODE_CRAM_WRITE;
    std::memcpy(s.psg_frequency, psg.frequency, sizeof s.psg_frequency);
    std::memcpy(s.psg_volume, psg.volume, sizeof s.psg_volume);
    s.psg_noise_mode = psg.noise_mode;
    s.psg_latch = psg.latch;
    s.gg_port0 = machine.gg_port0;
    s.port1_latch = machine.port1_latch;
    s.port_dc = machine.port_dc;
    s.port_dd = machine.port_dd;
}

uint8_t memory_control(uint8_t board)
{
    return static_cast<uint8_t>((board & ~BOARD_KIND) ^ MEMORY_CONTROL_CARTRIDGE);
}

// The console kind and frame rate stay those of the running ROM and settings.
void apply_state(const StateImage& s)
{
    ++machine_generation;
    settings.usa = s.usa != 0;

    for (int index = 0; index < CPU_WORD_REGISTERS; ++index)
        Z80_SetRegister(index, s.cpu_words[index]);
    z80.xy = static_cast<uint8_t>(s.cpu_words[Z80_REG_AF] & XY_FLAG_BITS);
    Z80_SetRegister(Z80_REG_IFF1, s.iff1);
    Z80_SetRegister(Z80_REG_IFF2, s.iff2);
    Z80_SetRegister(Z80_REG_IR, s.ir);
    Z80_SetRegister(Z80_REG_IM, s.im);
    Z80_SetRegister(Z80_REG_IRQ_VECTOR, s.irq_vector);
    Z80_SetRegister(Z80_REG_IRQ_LINE, s.irq_line);
    line_budget = static_cast<int16_t>((line_budget & 0xFF00) | s.line_budget_low);

    std::memcpy(machine.ram.data(), s.ram.data(), s.ram.size());
    std::memcpy(vdp.vram, s.vram.data(), s.vram.size());
    std::memcpy(vdp.cram, s.cram.data(), s.cram.size());
    if (s.cart_ram_used & CART_RAM_STORED)
        for (int bank = 0; bank < 2; ++bank)
            std::memcpy(machine.cart_ram[bank].data(), s.cart_ram[bank].data(), CART_RAM_BANK_SIZE);
    // A state taken before the game first used its cartridge RAM must not
    // stop this session's cartridge RAM from being saved: the banks keep
    // their contents, and so they stay in use.
    machine.cart_ram_used = machine.cart_ram_used || (s.cart_ram_used & CART_RAM_STORED);

    std::memcpy(vdp.registers, s.vdp_registers, sizeof vdp.registers);
    vdp.address = s.vdp_address;
    vdp.status = s.vdp_status & (VDP_STATUS_FRAME | VDP_STATUS_OVERFLOW | VDP_STATUS_COLLISION);
    vdp.line_irq = s.vdp_status & STATE_LINE_IRQ;
    vdp.latch_pending = s.vdp_latch_pending != 0;
    vdp.latch_low = s.vdp_latch_low;
    vdp.read_buffer = s.vdp_read_buffer;
    vdp.line_counter = s.vdp_line_counter;
    // Codes 0-2 all write VRAM and every read comes from VRAM: only the CRAM
    // code is worth keeping.
    vdp.code = s.vdp_cram_target ? VDP_CODE_CRAM_WRITE : VDP_CODE_VRAM_WRITE;
    // Where in the line the CPU stands comes back with line_budget; the
    // latched H count is not kept and starts clear.
    vdp.hcounter_latch = 0;
    std::memcpy(psg.frequency, s.psg_frequency, sizeof psg.frequency);
    std::memcpy(psg.volume, s.psg_volume, sizeof psg.volume);
    psg.noise_mode = s.psg_noise_mode;
    psg.latch = s.psg_latch;
    machine.gg_port0 = s.gg_port0;
    machine.port1_latch = s.port1_latch;
    machine.port_dc = s.port_dc;
    machine.port_dd = s.port_dd;

    psg_refresh();
    vdp_refresh_derived();

    if (machine.console != CONSOLE_SG1000)
        SMS_MapperRestore(s.mapper_control, s.mapper_page, memory_control(s.board));
}

// The mapper fields mean one board's registers. A game without a mapper
// reads the Sega mapper's as that board leaves them, so the two take each
// other's states (and those saved before the board was recorded).
bool fits_board(uint8_t board)
{
    const auto kind = static_cast<MapperKind>(board & BOARD_KIND);
    const auto sega_like = [](MapperKind k) { return k == MAPPER_SEGA || k == MAPPER_NONE; };
    return kind == machine.mapper || (sega_like(kind) && sega_like(machine.mapper));
}

bool read_whole_file(const char* path, std::vector<uint8_t>& bytes)
{
    FILE* file = open_regular_file(path);
    if (!file)
        return false;
    // Anything longer than the largest state is not a state; reading one
    // byte more than that is enough to tell.
    bytes.resize(SAVESTATE_SIZE_WITH_CART_RAM + 1);
    bytes.resize(std::fread(bytes.data(), 1, bytes.size(), file));
    std::fclose(file);
    return true;
}

bool machine_running()
{
    return machine.rom_loaded && machine.machine_ready;
}

}  // namespace

bool SMS_SaveStateToMemory(std::vector<uint8_t>& bytes)
{
    bytes.clear();
    if (!machine_running())
        return false;
    // Every field written is captured first.
    auto state = std::make_unique_for_overwrite<StateImage>();
    capture_state(*state);
    StateWriter writer;
    writer.bytes.swap(bytes);
    transfer_header(writer, *state);
    transfer_body(writer, *state);
    bytes.swap(writer.bytes);
    return true;
}

StateVerdict SMS_LoadStateFromMemory(std::span<const uint8_t> bytes)
{
    if (!machine_running())
        return StateVerdict::no_machine;
    auto state = std::make_unique<StateImage>();
    StateReader reader {bytes};
    transfer_header(reader, *state);
    if (reader.short_file || std::memcmp(state->magic, MAGIC, sizeof MAGIC) != 0)
        return StateVerdict::not_a_state;
    if (state->version != VERSION)
        return StateVerdict::wrong_version;
    // The whole image is checked before anything is applied: a cut or
    // padded state would leave a machine that is half one thing and half
    // another.
    transfer_body(reader, *state);
    const bool sg1000 = state->cart_ram_used & SG1000_MACHINE;
    if (reader.short_file || reader.position != bytes.size() || state->cart_ram_used > 3
        || sg1000 != (state->is_gg >> CONSOLE_SHIFT == CONSOLE_SG1000))
        return StateVerdict::not_a_state;
    // A state of another console would go on with the wrong chip; one of
    // the same console in the other mode would read its colours wrongly.
    const int console = state->is_gg >> CONSOLE_SHIFT;
    if ((console != 0 && console != machine.console) || (state->is_gg & GAME_GEAR_MODE) != machine.is_gg)
        return StateVerdict::other_console;
    if (!sg1000 && !fits_board(state->board))
        return StateVerdict::other_board;
    if (!sg1000 && SMS_MemoryControlLacksBIOS(memory_control(state->board)))
        return StateVerdict::needs_bios;

    apply_state(*state);
    return static_cast<int32_t>(state->rom_checksum) == machine.rom_checksum ? StateVerdict::applied
                                                                             : StateVerdict::applied_other_rom;
}

bool SMS_SaveStateTo(const char* path)
{
    std::vector<uint8_t> bytes;
    if (!SMS_SaveStateToMemory(bytes))
        return false;
    const bool saved = write_user_file(
        path, [&](FILE* file) { return std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size(); });
    if (saved)
        show_message(std::string(path) + " saved");
    return saved;
}

bool SMS_LoadStateFrom(const char* path)
{
    if (!machine_running())
        return false;
    std::vector<uint8_t> bytes;
    if (!read_whole_file(path, bytes)) {
        // A missing file is no news; a FIFO, device or folder is no state.
        if (errno == EINVAL)
            show_message(std::string(path) + " not a valid SaveState file");
        return false;
    }

    switch (SMS_LoadStateFromMemory(bytes)) {
    case StateVerdict::applied:
        show_message(std::string(path) + " loaded");
        return true;
    case StateVerdict::applied_other_rom:
        show_message("Warning: ROM checksums do not match.");
        return true;
    case StateVerdict::wrong_version:
        show_message(std::string(path) + " unrecognized version");
        return false;
    case StateVerdict::other_board:
        show_message(std::string(path) + " was saved on the " + SMS_MapperName(bytes[BOARD_OFFSET] & BOARD_KIND)
            + " board; this game runs on the " + SMS_MapperName(machine.mapper) + " board (CPU menu, Mapper)");
        return false;
    case StateVerdict::needs_bios:
        show_message(std::string(path) + " was saved in the BIOS: name the BIOS (bios in tarven.cfg) to load it");
        return false;
    case StateVerdict::other_console:
        show_message(std::string(path) + " was saved on another console or in another mode (this is a "
            + SMS_ConsoleName(machine.console)
            + (machine.console == CONSOLE_GAME_GEAR && !machine.is_gg ? " in Master System mode)" : ")"));
        return false;
    case StateVerdict::not_a_state:
    case StateVerdict::no_machine:
        break;
    }
    show_message(std::string(path) + " not a valid SaveState file");
    return false;
}

void SMS_SaveState()
{
    SMS_SaveStateTo(SMS_SavePathForWriting(machine.state_file).c_str());
}

void SMS_LoadState()
{
    const std::string path = SMS_SavePathForReading(machine.state_file);
    struct stat info { };
    // A slot never saved to says so, rather than nothing at all.
    if (machine_running() && stat(path.c_str(), &info) != 0 && errno == ENOENT)
        show_message(path + ": empty slot");
    else
        SMS_LoadStateFrom(path.c_str());
}
