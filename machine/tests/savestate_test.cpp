#include <sys/stat.h>

#include <cstring>

#include "machine/savestate.h"
#include "machine/scheduler.h"
#include "machine_fixture.h"
#include "sound/psg.h"
#include "vdp/vdp.h"

class SaveStateTest : public MachineFixture {
protected:
    // A machine in a state unlike power-on in every stored part.
    void boot_and_disturb()
    {
        boot("game.sms", 8);
        Z80_SetRegister(Z80_REG_AF, 0x1234);
        Z80_SetRegister(Z80_REG_PC, 0x4321);
        Z80_SetRegister(Z80_REG_SP, 0xDFF0);
        Z80_SetRegister(Z80_REG_HL2, 0xBEEF);
        Z80_SetRegister(Z80_REG_IR, 0x3F85);
        Z80_SetRegister(Z80_REG_IM, 2);
        Z80_SetRegister(Z80_REG_IFF2, 1);
        cpu_write(0xC010, 0x77);
        cpu_write(0xFFFE, 3);
        cpu_write(0xFFFF, 6);
        vdp.vram[0x3800] = 0x42;
        vdp.cram[5] = 0x3F;
        vdp.registers[7] = 0x05;
        vdp.address = 0x1234;
        psg.frequency[1] = 438;
        psg.volume[2] = 51;
        machine.port1_latch = 0xF0;
    }

    std::vector<uint8_t> state_bytes()
    {
        return read_file("game.ST0");
    }
};

TEST_F(SaveStateTest, LayoutWithoutCartridgeRam)
{
    boot_and_disturb();
    SMS_SaveState();
    const std::vector<uint8_t> s = state_bytes();
    ASSERT_EQ(s.size(), SAVESTATE_SIZE);
    EXPECT_EQ(std::memcmp(s.data(), "SMSSTATE\0", 9), 0);
    EXPECT_EQ(s[9], 1);
    EXPECT_EQ(s[11] | s[12] << 8 | s[13] << 16 | s[14] << 24, machine.rom_checksum);
    EXPECT_EQ(s[16], 1);  // USA/European
    EXPECT_EQ(s[19], 0x12);  // A, high byte of AF
    EXPECT_EQ(s[30] | s[31] << 8, 0x4321);
    EXPECT_EQ(s[40] | s[41] << 8, 0xBEEF);
    EXPECT_EQ(s[43], 1);  // IFF2
    EXPECT_EQ(s[44] | s[45] << 8, 0x3F85);
    EXPECT_EQ(s[46], 2);
    EXPECT_EQ(s[50 + 0x10], 0x77);
    EXPECT_EQ(s[8242 + 0x3800], 0x42);
    EXPECT_EQ(s[24626 + 5], 0x3F);
    EXPECT_EQ(s[24690], 0);
    EXPECT_EQ(s[24691], 0);  // mapper control
    EXPECT_EQ(s[24692 + 1], 3);
    EXPECT_EQ(s[24692 + 2], 6);
    EXPECT_EQ(s[24691 + 4 + 7], 0x05);  // register 7, after 0, 1, 2 and two zeros
    EXPECT_EQ(s[24691 + 15] | s[24691 + 16] << 8, 0x1234);
    EXPECT_EQ(s[24691 + 23 + 2] | s[24691 + 23 + 3] << 8, 438);
    EXPECT_EQ(s[24691 + 31 + 2], 51);
    EXPECT_EQ(s[24691 + 38], 0xF0);
    EXPECT_EQ(message, (dir / "game.ST0").string() + " saved");
}

TEST_F(SaveStateTest, LayoutWithCartridgeRam)
{
    boot("game.sms", 8);
    cpu_write(0xFFFC, 0x0C);
    cpu_write(0x8000, 0xAB);
    SMS_SaveState();
    const std::vector<uint8_t> s = state_bytes();
    ASSERT_EQ(s.size(), SAVESTATE_SIZE_WITH_CART_RAM);
    EXPECT_EQ(s[24690], 1);
    EXPECT_EQ(s[41075], 0xAB);
    EXPECT_EQ(s[57459], 0x0C);
}

TEST_F(SaveStateTest, RoundTripRestoresTheMachine)
{
    boot_and_disturb();
    z80.xy = 0x08;  // F's undocumented bits live apart from the flag byte
    SMS_SaveState();

    Z80_SetRegister(Z80_REG_AF, 0);
    z80.xy = 0x20;
    Z80_SetRegister(Z80_REG_PC, 0);
    cpu_write(0xC010, 0);
    cpu_write(0xFFFF, 1);
    vdp.vram[0x3800] = 0;
    vdp.cram[5] = 0;
    psg.frequency[1] = 0;
    SMS_LoadState();

    EXPECT_EQ(message, (dir / "game.ST0").string() + " loaded");
    EXPECT_EQ(Z80_GetRegister(Z80_REG_AF), 0x121Cu);
    EXPECT_EQ(z80.xy & 0x28, 0x08);
    EXPECT_EQ(Z80_GetRegister(Z80_REG_PC), 0x4321u);
    EXPECT_EQ(cpu_read(0xC010), 0x77);
    EXPECT_EQ(cpu_read(0x8000), 6);
    EXPECT_EQ(cpu_read(0x4000), 3);
    EXPECT_EQ(cpu_read(0xFFFF), 6);
    EXPECT_EQ(vdp.vram[0x3800], 0x42);
    EXPECT_EQ(vdp.palette[5], 0xFFFFFFu);
    EXPECT_EQ(vdp.backdrop_index, 16 + 5);
    EXPECT_EQ(psg.frequency[1], 438);
}

TEST_F(SaveStateTest, RegionComesFromTheStateButNotTheFrameRate)
{
    boot("game.sms", 2);
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
    boot("game.sms", 2);
    machine.state_file.back() = '3';
    SMS_SaveState();
    EXPECT_TRUE(std::filesystem::exists(dir / "game.ST3"));
    EXPECT_FALSE(std::filesystem::exists(dir / "game.ST0"));
    EXPECT_FALSE(std::filesystem::exists(dir / "game.ST3.tmp"));
}

TEST_F(SaveStateTest, MappedCartridgeRamIsRestoredWithoutReadingTheFile)
{
    boot("game.sms", 2);
    cpu_write(0xFFFC, 0x08);
    cpu_write(0x8000, 0x11);
    SMS_SaveState();

    boot("game.sms", 2);
    write_file("game.SAV", std::vector<uint8_t>(32768, 0xEE));
    SMS_LoadState();
    EXPECT_TRUE(machine.cart_ram_used);
    EXPECT_EQ(cpu_read(0x8000), 0x11);
    EXPECT_EQ(cpu_read(0x8001), 0);
}

TEST_F(SaveStateTest, StateWithoutCartridgeRamKeepsTheSessionsRamSaved)
{
    boot("game.sms", 2);
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
    boot("game.sms", 2);
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
    boot("game.sms", 2);
    SMS_SaveState();
    const std::vector<uint8_t> good = state_bytes();
    cpu_write(0xC000, 0x24);
    const std::string name = (dir / "game.ST0").string();

    auto expect_refused = [&](std::vector<uint8_t> bytes, const std::string& why) {
        write_file("game.ST0", bytes);
        message.clear();
        EXPECT_FALSE(SMS_LoadStateFrom(name.c_str()));
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
    bad.assign(good.begin(), good.end() - 1);
    expect_refused(bad, " not a valid SaveState file");
    bad = good;
    bad.push_back(0);
    expect_refused(bad, " not a valid SaveState file");
    bad = good;
    bad[24690] = 1;  // claims cartridge RAM the file does not hold
    expect_refused(bad, " not a valid SaveState file");
}

TEST_F(SaveStateTest, MissingFileSaysNothing)
{
    boot("game.sms", 2);
    message.clear();
    EXPECT_FALSE(SMS_LoadStateFrom((dir / "none.ST0").c_str()));
    EXPECT_EQ(message, "");
}

TEST_F(SaveStateTest, StatePathsThatAreNoFilesAreRefused)
{
    boot("game.sms", 2);
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
