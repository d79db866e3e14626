#include "machine_fixture.h"

#include <sys/stat.h>

#include "machine/savestate.h"

using ::testing::ExitedWithCode;

using MachineTest = MachineFixture;
using MachineDeathTest = MachineFixture;

TEST_F(MachineTest, HeaderIsSkippedAndPagesCounted)
{
    SMS_LoadROM(write_rom("game.sms", 16, {0x12, 0x34}, 512).c_str());
    EXPECT_EQ(machine.rom_pages, 16);
    EXPECT_EQ(machine.rom.size(), 16u * ROM_PAGE_SIZE);
    EXPECT_EQ(machine.rom[0], 0x12);
    EXPECT_EQ(machine.rom[ROM_PAGE_SIZE], 1);
    EXPECT_FALSE(machine.is_gg);
}

TEST_F(MachineTest, ChecksumSumsEveryByteUnsigned)
{
    SMS_LoadROM(write_rom("game.sms", 4, {0xFF, 0x80}).c_str());
    // Pages 1-3 hold their page number; page 0 holds zeros but for two bytes.
    const int32_t expected = 0xFF + 0x80 + (1 + 2 + 3) * ROM_PAGE_SIZE;
    EXPECT_EQ(machine.rom_checksum, expected);
    EXPECT_EQ(SMS_ROMChecksum(), expected);
    SMS_FreeROM();
    EXPECT_EQ(SMS_ROMChecksum(), 0);
    EXPECT_EQ(machine.rom_pages, -1);
}

TEST_F(MachineTest, ConsoleKindComesFromTheNameEnding)
{
    for (const char* name : {"SONIC.GG", "sonic.gg"}) {
        SMS_LoadROM(write_rom(name, 1).c_str());
        EXPECT_TRUE(machine.is_gg) << name;
    }
    SMS_LoadROM(write_rom("sonic.sms", 1).c_str());
    EXPECT_FALSE(machine.is_gg);
}

TEST_F(MachineTest, DerivedNamesReplaceOnlyTheFileNamesExtension)
{
    SMS_LoadROM(write_rom("game.sms", 1).c_str());
    EXPECT_EQ(machine.state_file, (dir / "game.ST0").string());
    EXPECT_EQ(machine.sram_file, (dir / "game.SAV").string());
    EXPECT_EQ(machine.psg_file, (dir / "game.PSG").string());

    std::filesystem::create_directory(dir / "roms.v2");
    SMS_LoadROM(write_rom("roms.v2/game", 1).c_str());
    EXPECT_EQ(machine.state_file, (dir / "roms.v2/game.ST0").string());
    EXPECT_EQ(machine.sram_file, (dir / "roms.v2/game.SAV").string());
}

TEST_F(MachineTest, LongPathsKeepTheirWholeName)
{
    const std::string folder(200, 'd');
    std::filesystem::create_directory(dir / folder);
    const std::string rom = folder + "/" + std::string(120, 'c') + ".sms";
    SMS_LoadROM(write_rom(rom, 1).c_str());
    EXPECT_EQ(machine.sram_file, (dir / folder / (std::string(120, 'c') + ".SAV")).string());
}

TEST_F(MachineDeathTest, RomsNoMapperCanAddressEndTheProgramBeforeAnyAllocation)
{
    // A sparse terabyte: reading it in would end in an allocation failure.
    write_file("huge.sms", {});
    std::filesystem::resize_file(dir / "huge.sms", uintmax_t(1) << 40);
    EXPECT_EXIT(
        SMS_LoadROM("huge.sms"), ExitedWithCode(255), "huge.sms is too large to be a Master System or Game Gear game");
    std::filesystem::resize_file(dir / "huge.sms", 257 * ROM_PAGE_SIZE);
    EXPECT_EXIT(
        SMS_LoadROM("huge.sms"), ExitedWithCode(255), "huge.sms is too large to be a Master System or Game Gear game");
    // The largest cartridge there can be, with its header, still loads.
    std::filesystem::resize_file(dir / "huge.sms", 256 * ROM_PAGE_SIZE + 512);
    SMS_LoadROM("huge.sms");
    EXPECT_EQ(machine.rom_pages, 256);
}

TEST_F(MachineDeathTest, RomPathsThatAreNoFilesAreRefusedWithoutBlocking)
{
    ASSERT_EQ(mkfifo((dir / "pipe.sms").c_str(), 0600), 0);
    EXPECT_EXIT(SMS_LoadROM("pipe.sms"), ExitedWithCode(255), "pipe.sms could not be opened: it is not a file");
    std::filesystem::create_directory(dir / "folder.sms");
    EXPECT_EXIT(SMS_LoadROM("folder.sms"), ExitedWithCode(255), "folder.sms could not be opened: it is not a file");
    EXPECT_EXIT(SMS_LoadROM("/dev/zero"), ExitedWithCode(255), "/dev/zero could not be opened: it is not a file");
}

TEST_F(MachineDeathTest, BadRomFilesEndTheProgramWithAMessage)
{
    write_file("odd.sms", std::vector<uint8_t>(262145));
    EXPECT_EXIT(
        SMS_LoadROM("odd.sms"), ExitedWithCode(255), "odd.sms is not a Master System or Game Gear game: its size");
    write_file("empty.sms", {});
    EXPECT_EXIT(SMS_LoadROM("empty.sms"), ExitedWithCode(255), "empty.sms is empty: there is no game in it");
    write_file("header-only.sms", std::vector<uint8_t>(512));
    EXPECT_EXIT(SMS_LoadROM("header-only.sms"), ExitedWithCode(255), "header-only.sms is not a Master System");
    EXPECT_EXIT(SMS_LoadROM("missing.sms"), ExitedWithCode(255), "missing.sms could not be opened: No such file");
    EXPECT_EXIT(SMS_InitMachine(), ExitedWithCode(255), "SMS_InitMachine\\(\\), cannot init without ROM");
}

TEST_F(MachineTest, ARefusedCartridgeLeavesTheRunningGameAlone)
{
    boot("game.sms", 4);
    const int32_t checksum = machine.rom_checksum;
    std::vector<uint8_t> rom;
    write_file("text.sms", std::vector<uint8_t>(1000, 'x'));
    EXPECT_EQ(SMS_ReadROM("text.sms", rom),
        "is not a Master System or Game Gear game: its size is not a whole number of 16 KB banks");
    EXPECT_EQ(SMS_ReadROM("missing.sms", rom), "could not be opened: No such file or directory");
    EXPECT_TRUE(machine.rom_loaded && machine.machine_ready);
    EXPECT_EQ(machine.rom_checksum, checksum);
    EXPECT_EQ(cpu_read(0x8000), 2);

    ASSERT_EQ(SMS_ReadROM(write_rom("other.gg", 2, {0x5A}, 512).c_str(), rom), "");
    EXPECT_EQ(rom.size(), 2u * ROM_PAGE_SIZE);
    EXPECT_EQ(rom[0], 0x5A);
    EXPECT_EQ(machine.rom_checksum, checksum);
    SMS_InstallROM("folder/other.gg", std::move(rom));
    EXPECT_TRUE(machine.is_gg);
    EXPECT_EQ(machine.rom_pages, 2);
    EXPECT_EQ(machine.sram_file, "folder/other.SAV");
}

TEST_F(MachineTest, ImagesInMemoryFollowTheFileRules)
{
    std::vector<uint8_t> rom;
    std::vector<uint8_t> image(512 + ROM_PAGE_SIZE, 0xEE);
    image[512] = 0x31;
    ASSERT_EQ(SMS_CheckROMImage(image, rom), "");
    EXPECT_EQ(rom.size(), size_t(ROM_PAGE_SIZE));
    EXPECT_EQ(rom[0], 0x31);
    EXPECT_NE(SMS_CheckROMImage(std::vector<uint8_t>(512), rom), "");
    EXPECT_NE(SMS_CheckROMImage(std::vector<uint8_t>(ROM_PAGE_SIZE + 1), rom), "");
}

// The state the console's boot program leaves: pages 0, 1, 2 (reduced by
// the page count) and the stack near the top of RAM.
TEST_F(MachineTest, PowerOnLooksLikeTheBootProgramRan)
{
    boot("game.sms", 4);
    EXPECT_EQ(cpu_read(0x0000), 0);
    EXPECT_EQ(cpu_read(0x4000), 1);
    EXPECT_EQ(cpu_read(0x8000), 2);
    EXPECT_EQ(cpu_fetch(0x7FFF), 1);
    EXPECT_EQ(cpu_fetch(0xBFFF), 2);
    EXPECT_EQ(cpu_read(0xFFFC), 0);
    EXPECT_EQ(cpu_read(0xFFFD), 0);
    EXPECT_EQ(cpu_read(0xFFFE), 1);
    EXPECT_EQ(cpu_read(0xFFFF), 2);
    EXPECT_EQ(Z80_GetRegister(Z80_REG_SP), 0xDFF0u);
    EXPECT_EQ(Z80_GetRegister(Z80_REG_PC), 0u);

    boot("small.sms", 2);
    EXPECT_EQ(cpu_read(0x8000), 0);
    EXPECT_EQ(cpu_read(0xFFFF), 0);
}

TEST_F(MachineTest, PageNumbersAreReducedByTrueRemainder)
{
    boot("four.sms", 4);
    cpu_write(0xFFFF, 6);
    EXPECT_EQ(cpu_read(0x8000), 2);
    EXPECT_EQ(cpu_fetch(0xBFFF), 2);
    EXPECT_EQ(cpu_read(0xFFFF), 2);
    EXPECT_EQ(cpu_read(0xDFFF), 2);
    cpu_write(0xFFFC, 0x83);
    EXPECT_EQ(cpu_read(0xFFFC), 0x83);

    // Three pages would need no mapper; the player may still fit one.
    boot("three.sms", 3);
    SMS_ChooseMapper(MAPPER_SEGA);
    cpu_write(0xFFFE, 5);
    EXPECT_EQ(cpu_read(0x4000), 2);
    EXPECT_EQ(cpu_read(0xFFFE), 2);
}

TEST_F(MachineTest, FirstKilobyteAlwaysShowsPageZero)
{
    boot("game.sms", 4);
    cpu_write(0xFFFD, 3);
    EXPECT_EQ(cpu_read(0x0000), 0);
    EXPECT_EQ(cpu_fetch(0x03FF), 0);
    EXPECT_EQ(cpu_read(0x0400), 3);
    EXPECT_EQ(cpu_fetch(0x3FFF), 3);
}

TEST_F(MachineTest, CartridgeRamBanksAndRomBehindThem)
{
    boot("game.sms", 8);
    cpu_write(0xFFFC, 0x08);
    cpu_write(0x8000, 0xA0);
    EXPECT_EQ(cpu_read(0x8000), 0xA0);
    EXPECT_EQ(cpu_fetch(0x8000), 0xA0);
    EXPECT_EQ(machine.cart_ram[0][0], 0xA0);

    cpu_write(0xFFFC, 0x0C);
    cpu_write(0x8000, 0xB1);
    EXPECT_EQ(machine.cart_ram[1][0], 0xB1);
    EXPECT_EQ(machine.cart_ram[0][0], 0xA0);

    // A page chosen while RAM is mapped shows once the ROM comes back.
    cpu_write(0xFFFF, 5);
    EXPECT_EQ(cpu_read(0x8000), 0xB1);
    cpu_write(0xFFFC, 0x00);
    EXPECT_EQ(cpu_read(0x8000), 5);

    cpu_write(0x8000, 0x77);
    EXPECT_EQ(cpu_read(0x8000), 5);
    EXPECT_EQ(machine.rom[5 * ROM_PAGE_SIZE], 5);
}

TEST_F(MachineTest, TheWholeMirrorWritesRamAndOnlyFFFCToFFFFPage)
{
    boot("game.sms", 4);
    cpu_write(0xFFF0, 0x55);
    EXPECT_EQ(cpu_read(0xFFF0), 0x55);
    EXPECT_EQ(cpu_read(0xDFF0), 0x55);
    cpu_write(0xFF00, 0x11);
    cpu_write(0xFFFB, 0x22);
    EXPECT_EQ(cpu_read(0xDF00), 0x11);
    EXPECT_EQ(cpu_read(0xDFFB), 0x22);
    EXPECT_EQ(cpu_read(0x8000), 2);  // no paging from the RAM bytes
    cpu_write(0xDFF0, 0x66);
    EXPECT_EQ(cpu_read(0xFFF0), 0x66);
    cpu_write(0xE123, 0x42);
    EXPECT_EQ(cpu_read(0xC123), 0x42);
    cpu_write(0x1000, 0x42);
    EXPECT_EQ(cpu_read(0x1000), 0);
    cpu_write(0xFFFF, 3);
    EXPECT_EQ(cpu_read(0x8000), 3);
}

TEST_F(MachineTest, CartridgeRamFileIsReadOnceAndWrittenWhole)
{
    std::vector<uint8_t> saved(20000, 0x5A);
    saved[16384] = 0x6B;
    write_file("game.SAV", saved);
    boot("game.sms", 4);
    cpu_write(0xFFFC, 0x08);
    EXPECT_EQ(cpu_read(0x8000), 0x5A);
    EXPECT_EQ(machine.cart_ram[1][0], 0x6B);
    // A short file leaves the rest of the bank as it was.
    EXPECT_EQ(machine.cart_ram[1][20000 - 16384], 0);

    cpu_write(0x8001, 0x99);
    cpu_write(0xFFFC, 0x00);
    cpu_write(0xFFFC, 0x08);  // a second enable does not read the file again
    EXPECT_EQ(cpu_read(0x8001), 0x99);

    SMS_FreeMachine();
    const std::vector<uint8_t> written = read_file("game.SAV");
    ASSERT_EQ(written.size(), 32768u);
    EXPECT_EQ(written[1], 0x99);
    EXPECT_EQ(written[16384], 0x6B);
    EXPECT_FALSE(std::filesystem::exists(dir / "game.SAV.tmp"));
}

TEST_F(MachineTest, UnusedCartridgeRamLeavesTheFileAlone)
{
    write_file("game.SAV", {1, 2, 3});
    boot("game.sms", 4);
    SMS_InitMachine();  // a hard reset frees and rebuilds
    SMS_FreeMachine();
    EXPECT_EQ(read_file("game.SAV"), (std::vector<uint8_t> {1, 2, 3}));
}

TEST_F(MachineTest, HardResetSavesCartridgeRamAndReadsItBack)
{
    boot("game.sms", 4);
    cpu_write(0xFFFC, 0x08);
    cpu_write(0x8000, 0x42);
    SMS_InitMachine();
    EXPECT_EQ(read_file("game.SAV").size(), 32768u);
    EXPECT_FALSE(machine.cart_ram_used);
    EXPECT_EQ(cpu_read(0x8000), 2);  // ROM page 2 again
    cpu_write(0xFFFC, 0x08);
    EXPECT_EQ(cpu_read(0x8000), 0x42);
}

// The bank shift adds 24, 16 or 8 to every page written, in all three slots.
TEST_F(MachineTest, SegaBankShiftMovesEverySlot)
{
    boot("big.sms", 32);
    cpu_write(0xFFFF, 2);
    cpu_write(0xFFFC, 0x01);
    EXPECT_EQ(cpu_read(0x8000), 26);
    EXPECT_EQ(cpu_read(0x4000), 25);
    cpu_write(0xFFFC, 0x03);
    EXPECT_EQ(cpu_read(0x8000), 10);
    EXPECT_EQ(cpu_read(0xFFFF), 2);  // the page written, without the shift
}

// A state holds its board: another board refuses it, and the Sega mapper
// and no mapper take each other's. A choice made by hand stays with the game.
TEST_F(MachineTest, StatesKeepToTheirBoardAndChoicesToTheirGame)
{
    boot("game.sms", 4);
    EXPECT_EQ(machine.mapper, MAPPER_SEGA);
    std::vector<uint8_t> state;
    ASSERT_TRUE(SMS_SaveStateToMemory(state));
    SMS_ChooseMapper(MAPPER_CODEMASTERS);
    EXPECT_EQ(SMS_LoadStateFromMemory(state), StateVerdict::other_board);
    SMS_ChooseMapper(MAPPER_NONE);
    EXPECT_EQ(SMS_LoadStateFromMemory(state), StateVerdict::applied);
    // One taken while port 0x3E showed the BIOS needs a BIOS to go on in.
    SMS_MemoryControlWrite(MEMORY_CONTROL_BIOS);
    ASSERT_TRUE(SMS_SaveStateToMemory(state));
    EXPECT_EQ(SMS_LoadStateFromMemory(state), StateVerdict::needs_bios);

    boot("other.sms", 8);
    EXPECT_EQ(machine.mapper, MAPPER_SEGA);
    boot("game.sms", 4);
    EXPECT_EQ(machine.mapper, MAPPER_NONE);
    SMS_ChooseMapper(MAPPER_AUTO);
    EXPECT_EQ(machine.mapper, MAPPER_SEGA);
}
