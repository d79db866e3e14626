#include <sys/stat.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <optional>
#include <string>

#include "machine/savestate.h"
#include "machine/scheduler.h"
#include "machine_fixture.h"
#include "sound/mixer.h"
#include "sound/psg.h"
#include "vdp/vdp.h"

class SaveStateTest : public MachineFixture {
protected:
    std::vector<uint8_t> state_bytes()
    {
        return read_file("game.ST0");
    }
};

namespace {

// One field of the file: where it lies and how to reach it in the machine.
struct Field {
    std::string name;
    size_t offset;
    int width;
    uint32_t value;
    std::function<void(uint32_t)> set;
    std::function<uint32_t()> get;
};

// B, where the fields after the cartridge RAM begin.
size_t mapper_offset(bool cart_ram)
{
    return cart_ram ? 57459 : 24691;
}

// Every field that a load restores, each with a value unlike its neighbours',
// so that two fields trading places in the layout, the save or the load show.
std::vector<Field> stored_fields(bool cart_ram)
{
    const size_t b = mapper_offset(cart_ram);
    std::vector<Field> fields;
    uint8_t next = 0x20;  // every byte of the values not given differs
    auto distinct = [&](int width, std::optional<uint32_t> value) {
        uint32_t v = 0;
        for (int i = 0; i < width && !value; ++i)
            v |= uint32_t {next++} << (8 * i);
        return value.value_or(v);
    };
    auto plain = [&]<typename T>(std::string name, size_t offset, T& field, std::optional<uint32_t> value = {}) {
        fields.push_back({name, offset, int(sizeof(T)), distinct(sizeof(T), value),
            [p = &field](uint32_t v) { *p = T(v); }, [p = &field] { return uint32_t(*p); }});
    };
    auto cpu = [&](std::string name, size_t offset, int width, int reg, std::optional<uint32_t> value = {}) {
        fields.push_back({name, offset, width, distinct(width, value),
            [reg](uint32_t v) {
                // F's bits 3 and 5 are kept in the XY byte, not in F: the
                // file must take them from there.
                Z80_SetRegister(reg, reg == Z80_REG_AF ? v ^ 0x28 : v);
                if (reg == Z80_REG_AF)
                    z80.xy = v & 0x28;
            },
            [reg] { return Z80_GetRegister(reg); }});
    };
    auto mapper = [&](std::string name, int index, uint32_t value, uint8_t& field) {
        fields.push_back({name, b + size_t(index), 1, value,
            [index](uint32_t v) { SMS_MapperWrite(0xFFFC + index, int(v)); }, [p = &field] { return uint32_t {*p}; }});
    };

    // First, as mapping cartridge RAM in reads the .SAV file into the banks.
    // Bank 1 mapped, or no cartridge RAM; pages of the eight-page test ROM.
    mapper("mapper control", 0, cart_ram ? 0x8C : 0x83, machine.mapper_control);
    mapper("page 0", 1, 5, machine.mapper_page[0]);
    mapper("page 1", 2, 3, machine.mapper_page[1]);
    mapper("page 2", 3, 6, machine.mapper_page[2]);
    const char* cpu_words[] = {"AF", "BC", "DE", "HL", "IX", "IY", "PC", "SP", "AF'", "BC'", "DE'", "HL'"};
    for (int reg = 0; reg < 12; ++reg)
        cpu(cpu_words[reg], 18 + 2 * size_t(reg), 2, reg);
    cpu("IFF1", 42, 1, Z80_REG_IFF1, 1);
    cpu("IFF2", 43, 1, Z80_REG_IFF2, 0);
    cpu("IR", 44, 2, Z80_REG_IR);
    cpu("IM", 46, 1, Z80_REG_IM, 2);
    cpu("interrupt byte", 47, 1, Z80_REG_IRQ_VECTOR);
    cpu("interrupt line", 48, 1, Z80_REG_IRQ_LINE, 1);
    fields.push_back({"line budget", 49, 1, distinct(1, {}), [](uint32_t v) { line_budget = int16_t(v); },
        [] { return uint32_t(line_budget & 0xFF); }});
    plain("first RAM byte", 50, machine.ram[0]);
    plain("last RAM byte below the mapper's", 50 + 0x1FFB, machine.ram[0x1FFB]);
    plain("first VRAM byte", 8242, vdp.vram[0]);
    plain("last VRAM byte", 8242 + 0x3FFF, vdp.vram[0x3FFF]);
    plain("first CRAM byte", 24626, vdp.cram[0]);
    plain("last CRAM byte", 24626 + 63, vdp.cram[63]);
    if (cart_ram) {
        plain("first byte of bank 0", 24691, machine.cart_ram[0][0]);
        plain("last byte of bank 1", 41075 + 0x3FFF, machine.cart_ram[1][0x3FFF]);
    }
    for (int reg = 0; reg < VDP_REGISTERS; ++reg)
        plain("VDP register " + std::to_string(reg), b + 4 + size_t(reg), vdp.registers[reg]);
    plain("VDP address", b + 15, vdp.address, 0x1F7F);  // bytes no other field holds
    // The line interrupt's flag rides in the status byte's bit 0.
    fields.push_back({"VDP status", b + 17, 1, 0xA1,
        [](uint32_t v) {
            vdp.status = uint8_t(v & 0xE0);
            vdp.line_irq = v & 1;
        },
        [] { return uint32_t(vdp.status | vdp.line_irq); }});
    plain("VDP latch pending", b + 18, vdp.latch_pending, 1);
    plain("VDP latched byte", b + 19, vdp.latch_low);
    plain("VDP read buffer", b + 20, vdp.read_buffer);
    plain("VDP line counter", b + 21, vdp.line_counter);
    fields.push_back({"VDP writes to CRAM", b + 22, 1, 1,
        [](uint32_t v) { vdp.code = v ? VDP_CODE_CRAM_WRITE : VDP_CODE_VRAM_WRITE; },
        [] { return uint32_t(vdp.code == VDP_CODE_CRAM_WRITE); }});
    for (size_t channel = 0; channel < 4; ++channel) {
        plain("PSG tone " + std::to_string(channel), b + 23 + 2 * channel, psg.frequency[channel]);
        plain("PSG volume " + std::to_string(channel), b + 31 + channel, psg.volume[channel]);
    }
    plain("PSG noise control", b + 35, psg.noise_mode);
    plain("PSG latch", b + 36, psg.latch);
    plain("port 0x00", b + 37, machine.gg_port0);
    plain("port 0x01 latch", b + 38, machine.port1_latch);
    plain("port 0xDC", b + 39, machine.port_dc);
    plain("port 0xDD", b + 40, machine.port_dd);
    return fields;
}

}  // namespace

TEST_F(SaveStateTest, EveryFieldLiesAtItsOffsetAndComesBack)
{
    for (bool cart_ram : {false, true}) {
        SCOPED_TRACE(cart_ram ? "with cartridge RAM" : "without cartridge RAM");
        boot("game.gg", 8);
        machine.rom_checksum = 0x4D3C2B1A;
        settings.usa = false;
        settings.frame_rate = 50;
        const std::vector<Field> fields = stored_fields(cart_ram);
        for (const Field& field : fields)
            field.set(field.value);
        SMS_SaveState();
        EXPECT_EQ(message, (dir / "game.ST0").string() + " saved");

        const std::vector<uint8_t> s = state_bytes();
        ASSERT_EQ(s.size(), cart_ram ? SAVESTATE_SIZE_WITH_CART_RAM : SAVESTATE_SIZE);
        EXPECT_EQ(std::memcmp(s.data(), "SMSSTATE\0\1", 10), 0);
        EXPECT_EQ(s[10], 0);  // the Sega board, as a BIOS leaves it
        EXPECT_EQ(s[11] | s[12] << 8 | s[13] << 16 | s[14] << 24, 0x4D3C2B1A);
        EXPECT_EQ(s[15], 1 | CONSOLE_GAME_GEAR << 4);  // in Game Gear mode, on a Game Gear
        EXPECT_EQ(s[16], 0);  // Japanese
        EXPECT_EQ(s[17], 1);  // 50 Hz
        EXPECT_EQ(s[24690], cart_ram ? 1 : 0);
        for (const Field& field : fields) {
            uint32_t stored = 0;
            for (int i = 0; i < field.width; ++i)
                stored |= uint32_t {s[field.offset + size_t(i)]} << (8 * i);
            EXPECT_EQ(stored, field.value) << field.name << " at " << field.offset;
        }

        for (const Field& field : fields)
            field.set(field.value ^ 1);
        SMS_LoadState();
        EXPECT_EQ(message, (dir / "game.ST0").string() + " loaded");
        for (const Field& field : fields)
            EXPECT_EQ(field.get(), field.value) << field.name;
        // What is rebuilt from the fields: the memory map and the VDP's copies.
        EXPECT_EQ(cpu_read(0x4000), 3);
        EXPECT_EQ(cpu_read(0xBFFF), cart_ram ? machine.cart_ram[1][0x3FFF] : 6);
        EXPECT_EQ(vdp.backdrop_index, 16 + (vdp.registers[7] & 15));
    }
}

TEST_F(SaveStateTest, RegionComesFromTheStateButNotTheFrameRate)
{
    boot("game.sms", 4);
    settings.usa = false;
    settings.frame_rate = 50;
    SMS_SaveState();
    settings.usa = true;
    settings.frame_rate = 60;
    SMS_LoadState();
    EXPECT_FALSE(settings.usa);
    EXPECT_EQ(settings.frame_rate, 60);
}

TEST_F(SaveStateTest, SlotDigitSelectsTheFile)
{
    boot("game.sms", 4);
    machine.state_file.back() = '3';
    SMS_SaveState();
    EXPECT_TRUE(std::filesystem::exists(dir / "game.ST3"));
    EXPECT_FALSE(std::filesystem::exists(dir / "game.ST0"));
    EXPECT_FALSE(std::filesystem::exists(dir / "game.ST3.tmp"));
}

TEST_F(SaveStateTest, MappedCartridgeRamIsRestoredWithoutReadingTheFile)
{
    boot("game.sms", 4);
    cpu_write(0xFFFC, 0x08);
    cpu_write(0x8000, 0x11);
    SMS_SaveState();

    boot("game.sms", 4);
    write_file("game.SAV", std::vector<uint8_t>(32768, 0xEE));
    SMS_LoadState();
    EXPECT_TRUE(machine.cart_ram_used);
    EXPECT_EQ(cpu_read(0x8000), 0x11);
    EXPECT_EQ(cpu_read(0x8001), 0);
}

TEST_F(SaveStateTest, StateWithoutCartridgeRamKeepsTheSessionsRamSaved)
{
    boot("game.sms", 4);
    SMS_SaveState();
    cpu_write(0xFFFC, 0x08);
    cpu_write(0x8000, 0x5E);
    SMS_LoadState();
    EXPECT_TRUE(machine.cart_ram_used);
    SMS_FreeMachine();
    EXPECT_EQ(read_file("game.SAV")[0], 0x5E);
}

TEST_F(SaveStateTest, MapperBytesComeFromTheStoredRam)
{
    boot("game.sms", 8);
    cpu_write(0xFFFF, 2);
    cpu_write(0xDFFF, 0x99);  // through the mirror: the mapper is not touched
    SMS_SaveState();
    SMS_LoadState();
    EXPECT_EQ(cpu_read(0xFFFF), 0x99);
    EXPECT_EQ(cpu_read(0x8000), 2);
}

TEST_F(SaveStateTest, AnotherRomsStateLoadsWithAWarning)
{
    boot("game.sms", 4);
    cpu_write(0xC000, 0x31);
    SMS_SaveState();
    std::filesystem::copy_file(dir / "game.ST0", dir / "other.ST0");
    boot("other.sms", 4, {0x01});
    SMS_LoadState();
    EXPECT_EQ(message, "Warning: ROM checksums do not match.");
    EXPECT_EQ(cpu_read(0xC000), 0x31);
}

TEST_F(SaveStateTest, BrokenFilesChangeNothing)
{
    boot("game.sms", 4);
    SMS_SaveState();
    const std::vector<uint8_t> good = state_bytes();
    cpu_write(0xFFFC, 0x08);
    SMS_SaveState();
    const std::vector<uint8_t> good_with_cart_ram = state_bytes();
    ASSERT_EQ(good_with_cart_ram.size(), SAVESTATE_SIZE_WITH_CART_RAM);
    cpu_write(0xC000, 0x24);
    const std::string name = (dir / "game.ST0").string();

    auto expect_refused = [&](std::vector<uint8_t> bytes, const std::string& why) {
        write_file("game.ST0", bytes);
        message.clear();
        EXPECT_FALSE(SMS_LoadStateFrom(name.c_str())) << bytes.size() << " bytes";
        EXPECT_EQ(message, name + why);
        EXPECT_EQ(cpu_read(0xC000), 0x24) << why;
    };
    std::vector<uint8_t> bad = good;
    bad[8] = 'X';
    expect_refused(bad, " not a valid SaveState file");
    expect_refused({'S', 'M', 'S'}, " not a valid SaveState file");
    bad = good;
    bad[9] = 2;
    expect_refused(bad, " unrecognized version");
    // One byte short of, or past, either size.
    for (const std::vector<uint8_t>* whole : {&good, &good_with_cart_ram}) {
        bad.assign(whole->begin(), whole->end() - 1);
        expect_refused(bad, " not a valid SaveState file");
        bad = *whole;
        bad.push_back(0);
        expect_refused(bad, " not a valid SaveState file");
    }
    bad = good;
    bad[24690] = 1;  // claims cartridge RAM the file does not hold
    expect_refused(bad, " not a valid SaveState file");
}

TEST_F(SaveStateTest, MissingFileSaysNothing)
{
    boot("game.sms", 4);
    message.clear();
    EXPECT_FALSE(SMS_LoadStateFrom((dir / "none.ST0").c_str()));
    EXPECT_EQ(message, "");
}

TEST_F(SaveStateTest, StatePathsThatAreNoFilesAreRefused)
{
    boot("game.sms", 4);
    ASSERT_EQ(mkfifo((dir / "game.ST0").c_str(), 0600), 0);
    EXPECT_FALSE(SMS_LoadStateFrom("game.ST0"));  // without waiting for a writer
    EXPECT_EQ(message, "game.ST0 not a valid SaveState file");
    EXPECT_FALSE(SMS_SaveStateTo("game.ST0"));
    EXPECT_TRUE(std::filesystem::is_fifo(dir / "game.ST0"));
    std::filesystem::create_directory(dir / "game.ST1");
    message.clear();
    EXPECT_FALSE(SMS_LoadStateFrom("game.ST1"));
    EXPECT_EQ(message, "game.ST1 not a valid SaveState file");
    // A missing state says nothing.
    message.clear();
    EXPECT_FALSE(SMS_LoadStateFrom("game.ST2"));
    EXPECT_EQ(message, "");
}

TEST_F(SaveStateTest, StatesInMemoryAreTheFilesBytesAndChangeNothingWhenRefused)
{
    boot("game.sms", 4);
    cpu_write(0xC000, 0x31);
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(SMS_SaveStateToMemory(bytes));
    SMS_SaveState();
    EXPECT_EQ(bytes, state_bytes());

    cpu_write(0xC000, 0x42);
    std::vector<uint8_t> cut(bytes.begin(), bytes.end() - 1);
    EXPECT_EQ(SMS_LoadStateFromMemory(cut), StateVerdict::not_a_state);
    EXPECT_EQ(cpu_read(0xC000), 0x42);
    EXPECT_EQ(SMS_LoadStateFromMemory(bytes), StateVerdict::applied);
    EXPECT_EQ(cpu_read(0xC000), 0x31);

    SMS_FreeMachine();
    EXPECT_FALSE(SMS_SaveStateToMemory(bytes));
    EXPECT_TRUE(bytes.empty());
}

// The voices play what the loaded state holds, not what played before the
// load: each tone at its period's pitch (the period worked out from the
// stored frequency, exactly for the latched channel), each channel at its
// stored volume, the noise at its stored rate, all centred.
TEST_F(SaveStateTest, LoadedStateReachesTheVoices)
{
    boot("game.sms", 4);
    psg_set_sound(true);
    for (uint8_t b : {0x8E, 0x0F, 0x90, 0xA4, 0x06, 0xB6, 0xC0, 0x3F, 0xDF, 0xE5, 0xF3, 0xCB})
        psg_write(b);
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(SMS_SaveStateToMemory(bytes));
    const MixerVoice saved[4] = {mixer_voice(0), mixer_voice(1), mixer_voice(2), mixer_voice(3)};

    for (uint8_t b : {0x83, 0x01, 0x9A, 0xA0, 0x10, 0xB0, 0xE7, 0xF0})
        psg_write(b);
    gg_stereo_write(0x0F);
    gg_stereo_write(0xFF);
    ASSERT_EQ(SMS_LoadStateFromMemory(bytes), StateVerdict::applied);
    for (int channel = 0; channel < 4; ++channel) {
        EXPECT_EQ(mixer_voice(channel).rate, saved[channel].rate) << channel;
        EXPECT_EQ(mixer_voice(channel).volume, saved[channel].volume) << channel;
        EXPECT_EQ(mixer_voice(channel).pan, 0) << channel;
    }
    EXPECT_EQ(psg_tone_period(0), 254);
    EXPECT_EQ(psg_tone_period(1), 100);
    EXPECT_EQ(psg_tone_period(2), 0x3FB);  // latched: its low bits are stored
    EXPECT_EQ(saved[0].volume, 255);
    EXPECT_EQ(saved[1].volume, 64);
    EXPECT_EQ(saved[3].rate, std::lround(PSG_CLOCK_NTSC / 1024.0 * PSG_NOISE_HOLD));  // white noise at the clock / 1024
}

// Each state names its console. An SG-1000's also marks its cartridge RAM
// byte so that older readers, which know no SG-1000, refuse it; its RAM,
// the console's 1 KB seen through every mirror and the cartridge's own,
// comes back.
TEST_F(SaveStateTest, StatesTellTheirConsole)
{
    boot("game.sg", 2);
    cpu_write(0xC001, 0x31);
    cpu_write(0x8002, 0x42);
    EXPECT_EQ(cpu_read(0xFC01), 0x31);
    EXPECT_EQ(cpu_read(0xA002), 0x42);
    std::vector<uint8_t> sg;
    ASSERT_TRUE(SMS_SaveStateToMemory(sg));
    EXPECT_EQ(sg[15] >> 4, CONSOLE_SG1000);
    EXPECT_EQ(sg[24690], 3);  // the cartridge RAM stored, and an SG-1000's
    cpu_write(0xFFFF, 0x55);
    EXPECT_EQ(cpu_read(0xC3FF), 0x55);  // no mapper: the top page is RAM
    cpu_write(0xE001, 0);
    cpu_write(0x8002, 0);
    EXPECT_EQ(SMS_LoadStateFromMemory(sg), StateVerdict::applied);
    EXPECT_EQ(cpu_read(0xC001), 0x31);
    EXPECT_EQ(cpu_read(0x8002), 0x42);

    boot("game.sms", 2);
    std::vector<uint8_t> sms;
    ASSERT_TRUE(SMS_SaveStateToMemory(sms));
    EXPECT_EQ(sms[15] >> 4, CONSOLE_MASTER_SYSTEM_II);
    EXPECT_EQ(SMS_LoadStateFromMemory(sg), StateVerdict::other_console);
    settings.console = CONSOLE_MASTER_SYSTEM;
    boot("game.sms", 2);
    EXPECT_EQ(SMS_LoadStateFromMemory(sms), StateVerdict::other_console);
    // A state of an older writer names no console and loads anywhere.
    sms[15] &= 0x0F;
    EXPECT_EQ(SMS_LoadStateFromMemory(sms), StateVerdict::applied);
}
