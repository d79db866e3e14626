// Where a game's saves go (beside the ROM, or in the per-user save folder
// when its folder is read-only), and opening a cartridge while a game runs.
#include <sys/stat.h>

#include <chrono>
#include <cstdlib>

#include "machine/machine.h"
#include "machine/savestate.h"
#include "machine/scheduler.h"
#include "machine_fixture.h"
#include "sound/psg_log.h"

namespace fs = std::filesystem;

namespace {

class SavePlaceTest : public MachineFixture {
protected:
    std::string saved_data_home;
    bool had_data_home = false;
    std::string saves;

    void SetUp() override
    {
        MachineFixture::SetUp();
        if (const char* data = std::getenv("XDG_DATA_HOME")) {
            had_data_home = true;
            saved_data_home = data;
        }
        setenv("XDG_DATA_HOME", (dir / "data").c_str(), 1);
        saves = (dir / "data/tarven/saves").string();
        message.clear();
        quit_run = false;
        fs::create_directory(dir / "roms");
    }

    void TearDown() override
    {
        MachineFixture::TearDown();
        chmod((dir / "roms").c_str(), 0755);
        if (had_data_home)
            setenv("XDG_DATA_HOME", saved_data_home.c_str(), 1);
        else
            unsetenv("XDG_DATA_HOME");
    }

    // Where the per-user folder keeps `name` of the folder roms/.
    std::string saved(const std::string& name)
    {
        return saves + fs::canonical(dir / "roms").string() + "/" + name;
    }

    // A running game in roms/, its folder made read-only.
    void start_in_read_only_folder()
    {
        write_rom("roms/game.sms", 4);
        SMS_LoadROM("roms/game.sms");
        SMS_InitMachine();
        chmod((dir / "roms").c_str(), 0555);
    }
};

TEST_F(SavePlaceTest, AWritableFolderKeepsTheSavesBesideTheRom)
{
    EXPECT_EQ(SMS_SavePathForWriting("roms/game.SAV"), "roms/game.SAV");
    EXPECT_EQ(message, "");
    EXPECT_FALSE(fs::exists(saves));
    EXPECT_EQ(SMS_SavePathForReading("roms/game.SAV"), "roms/game.SAV");
}

// Root could write there, but no write bit says the user meant it not to.
TEST_F(SavePlaceTest, CartridgeRamOfAReadOnlyFolderGoesToTheUserFolderAndComesBack)
{
    start_in_read_only_folder();
    SMS_MapperWrite(0xFFFC, 0x08);
    machine.cart_ram[0][0] = 0x5A;
    SMS_FreeMachine();
    EXPECT_FALSE(fs::exists(dir / "roms/game.SAV"));
    ASSERT_EQ(fs::file_size(saved("game.SAV")), 2u * CART_RAM_BANK_SIZE);
    EXPECT_EQ(message, "The ROM's folder is read-only: saving to " + saved("game.SAV"));
    EXPECT_NE(read_file("tarven.log").size(), 0u);

    SMS_InitMachine();
    SMS_MapperWrite(0xFFFC, 0x08);
    EXPECT_EQ(machine.cart_ram[0][0], 0x5A);
}

TEST_F(SavePlaceTest, StatesOfAReadOnlyFolderGoToTheUserFolderAndComeBack)
{
    start_in_read_only_folder();
    machine.ram[0] = 0x11;
    SMS_SaveState();
    EXPECT_FALSE(fs::exists(dir / "roms/game.ST0"));
    ASSERT_TRUE(fs::exists(saved("game.ST0")));
    EXPECT_EQ(message, saved("game.ST0") + " saved");
    machine.ram[0] = 0x22;
    SMS_LoadState();
    EXPECT_EQ(machine.ram[0], 0x11);
    EXPECT_EQ(message, saved("game.ST0") + " loaded");
}

// Two games of one name in two read-only folders: neither overwrites the
// other's save in the per-user folder.
TEST_F(SavePlaceTest, GamesOfOneNameInTwoFoldersKeepTheirOwnSaves)
{
    fs::create_directory(dir / "other");
    write_rom("other/game.sms", 2);
    chmod((dir / "other").c_str(), 0555);
    start_in_read_only_folder();
    const std::string first = SMS_SavePathForWriting("roms/game.SAV");
    const std::string second = SMS_SavePathForWriting("other/game.SAV");
    chmod((dir / "other").c_str(), 0755);
    EXPECT_EQ(first, saved("game.SAV"));
    EXPECT_NE(first, second);
    EXPECT_EQ(fs::path(first).filename(), fs::path(second).filename());
    EXPECT_EQ(SMS_SavePathForWriting(fs::absolute(dir / "roms/game.SAV").string()), first);
}

// A save made while the folder was read-only is not hidden by an older one
// beside the ROM, nor the other way round.
TEST_F(SavePlaceTest, TheNewerOfTheTwoSavesIsRead)
{
    fs::create_directories(fs::path(saved("game.SAV")).parent_path());
    write_file("roms/game.SAV", {1});
    std::ofstream(saved("game.SAV"), std::ios::binary).put(2);
    const auto now = fs::file_time_type::clock::now();
    fs::last_write_time(dir / "roms/game.SAV", now - std::chrono::hours(1));
    fs::last_write_time(saved("game.SAV"), now);
    EXPECT_EQ(SMS_SavePathForReading("roms/game.SAV"), saved("game.SAV"));
    fs::last_write_time(dir / "roms/game.SAV", now + std::chrono::hours(1));
    EXPECT_EQ(SMS_SavePathForReading("roms/game.SAV"), "roms/game.SAV");
    fs::remove(dir / "roms/game.SAV");
    EXPECT_EQ(SMS_SavePathForReading("roms/game.SAV"), saved("game.SAV"));
}

// The selector's and a dropped file's way in: a bad file leaves the running
// game as it was, a good one replaces it and restarts the main loop.
TEST_F(SavePlaceTest, OpeningARomWhileAGameRunsRefusesBadFilesAndKeepsTheGame)
{
    write_rom("first.sms", 2);
    SMS_LoadROM("first.sms");
    SMS_InitMachine();
    machine.ram[0] = 0x77;
    write_file("odd.sms", std::vector<uint8_t>(1000, 0));
    write_file("empty.gg", {});
    EXPECT_FALSE(SMS_OpenROM("odd.sms"));
    EXPECT_EQ(
        message, "odd.sms is not a Master System or Game Gear game: its size is not a whole number of 16 KB banks");
    EXPECT_FALSE(SMS_OpenROM("empty.gg"));
    EXPECT_EQ(message, "empty.gg is empty: there is no game in it");
    EXPECT_FALSE(SMS_OpenROM("missing.sms"));
    EXPECT_EQ(message, "missing.sms could not be opened: No such file or directory");
    EXPECT_TRUE(machine.machine_ready);
    EXPECT_EQ(machine.rom_name, "first.sms");
    EXPECT_EQ(machine.ram[0], 0x77);
    EXPECT_FALSE(machine.is_gg);
    EXPECT_FALSE(quit_run);

    psg_log_start();
    write_rom("second.gg", 4);
    EXPECT_FALSE(SMS_OpenROM("second.gg"));
    EXPECT_EQ(machine.rom_name, "first.sms");
    psg_log_stop();
    std::remove(PSG_LOG_TEMPORARY);

    EXPECT_TRUE(SMS_OpenROM("second.gg"));
    EXPECT_EQ(machine.rom_name, "second.gg");
    EXPECT_EQ(machine.rom_pages, 4);
    EXPECT_TRUE(machine.is_gg);
    EXPECT_TRUE(machine.machine_ready);
    EXPECT_TRUE(quit_run);
}

}  // namespace
