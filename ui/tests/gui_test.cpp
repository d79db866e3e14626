// The menus, the window pool and the dialogs, worked as the user works them:
// pointer moves, clicks and keys between GUI frames.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <utility>

#include "gui_driver.h"
#include "host/draw.h"
#include "host/file.h"
#include "host/headless/headless.h"
#include "host/input.h"
#include "host/tests/scratch_directory.h"
#include "machine/machine.h"
#include "machine/scheduler.h"
#include "sound/psg.h"
#include "sound/psg_log.h"
#include "ui/config.h"
#include "ui/dialog.h"
#include "ui/gui.h"
#include "ui/rom_list.h"
#include "ui/viewers.h"
#include "vdp/render.h"
#include "vdp/vdp.h"

namespace fs = std::filesystem;

namespace {

constexpr uint32_t GREEN = 0x1EFF1E;  // (30, 255, 30)
constexpr uint32_t MENU_BLUE = 0x000080;

class GuiTest : public GuiDriver {
protected:
    void SetUp() override
    {
        GuiDriver::SetUp();
        view_fps = view_vdp_settings = view_psg_output = false;
        render_disable_bg = render_disable_sprites = false;
    }

    static void frame()
    {
        gui_frame();
    }

    static void move(int x, int y)
    {
        mouse_x = x;
        mouse_y = y;
        frame();
    }

    static void press(int x, int y)
    {
        mouse_x = x;
        mouse_y = y;
        mouse_left = 1;
        mouse_clicked = 1;
        frame();
    }

    static void release()
    {
        mouse_left = 0;
        mouse_clicked = 1;
        frame();
    }

    static void click(int x, int y)
    {
        gui_click(x, y);
    }

    static void double_click(int x, int y)
    {
        click(x, y);
        click(x, y);
        frame();
    }

    static void choose(int menu_x, int y)
    {
        gui_choose(menu_x, y);
    }

    static void key(int code)
    {
        key_state[code].store(0x80);
        last_key.store(static_cast<uint8_t>(code));
        frame();
    }

    static void load_chip_show()
    {
        fs::copy_file(fs::path(TARVEN_ROMS) / "chip_show.sms", "chip_show.sms");
        SMS_LoadROM("chip_show.sms");
        SMS_InitMachine();
    }

    static void touch(const std::string& name)
    {
        std::ofstream(name) << "x";
    }
};

constexpr int FILE_MENU = 0;
constexpr int CPU_MENU = 28;
constexpr int VIEW_MENU = 54;
constexpr int SETTINGS_MENU = 83;
constexpr int MISC_MENU = 129;

TEST_F(GuiTest, AClickOnTheBarOpensAMenuAndHoveringSwitchesIt)
{
    click(30, 4);
    EXPECT_EQ(menu_open, 1);
    EXPECT_EQ(menu_number, 2);
    move(60, 4);
    EXPECT_EQ(menu_number, 3);
    move(157, 4);
    EXPECT_EQ(menu_number, 5);
    move(200, 4);  // right of the bar: the menu stays
    EXPECT_EQ(menu_number, 5);
    move(10, 50);  // below the bar nothing follows the pointer
    EXPECT_EQ(menu_number, 5);
    EXPECT_EQ(menu_open, 1);
}

TEST_F(GuiTest, TheBarEndsAtColumn157)
{
    click(158, 0);
    EXPECT_EQ(menu_open, 0);
}

TEST_F(GuiTest, EveryClickBelowTheBarClosesTheMenu)
{
    for (int y : {33, 150}) {  // a separator, then empty space
        click(3, 4);
        ASSERT_EQ(menu_open, 1);
        click(20, y);
        EXPECT_EQ(menu_open, 0);
        EXPECT_EQ(menu_number, 255);
    }
    click(3, 4);
    click(170, 4);  // right of the bar
    EXPECT_EQ(menu_open, 0);
}

TEST_F(GuiTest, CpuMenuSetsRegionAndRateWithCheckMarks)
{
    choose(CPU_MENU, 30);
    EXPECT_FALSE(settings.usa);
    EXPECT_EQ(menu_open, 0);
    choose(CPU_MENU, 40);
    EXPECT_TRUE(settings.usa);
    choose(CPU_MENU, 60);
    EXPECT_EQ(settings.frame_rate, 50);

    // The check mark's second row starts at the entry's (x + 1, y + 2).
    click(CPU_MENU + 3, 4);
    EXPECT_EQ(picture_pixel_xrgb(CPU_MENU + 1, 62), GREEN);  // PAL
    EXPECT_EQ(picture_pixel_xrgb(CPU_MENU + 1, 72), MENU_BLUE);  // NTSC
    EXPECT_EQ(picture_pixel_xrgb(CPU_MENU + 1, 42), GREEN);  // USA/European
    click(CPU_MENU + 20, 79);  // the last row of NTSC's box
    EXPECT_EQ(settings.frame_rate, 60);

    choose(CPU_MENU, 120);
    EXPECT_EQ(settings.console, CONSOLE_GAME_GEAR);
    choose(CPU_MENU, 90);
    EXPECT_EQ(settings.console, CONSOLE_BY_CARTRIDGE);
}

TEST_F(GuiTest, ViewSettingsAndMiscSwitchesToggle)
{
    choose(VIEW_MENU, 40);
    choose(VIEW_MENU, 50);
    choose(VIEW_MENU, 60);
    EXPECT_TRUE(view_fps && view_vdp_settings && view_psg_output);
    choose(VIEW_MENU, 40);
    EXPECT_FALSE(view_fps);

    choose(SETTINGS_MENU, 70);
    EXPECT_FALSE(settings.sound);
    choose(SETTINGS_MENU, 90);
    choose(SETTINGS_MENU, 100);
    EXPECT_TRUE(render_disable_bg && render_disable_sprites);
    choose(SETTINGS_MENU, 110);
    EXPECT_FALSE(settings.sprite_limit);
    choose(SETTINGS_MENU, 120);
    EXPECT_TRUE(settings.gg_speaker && psg_gg_speaker);
    choose(SETTINGS_MENU, 60);
    EXPECT_TRUE(settings.fullscreen);

    choose(MISC_MENU, 10);
    EXPECT_TRUE(settings.clock);
    choose(MISC_MENU, 20);
    EXPECT_FALSE(settings.popups);
}

TEST_F(GuiTest, WithoutAGameTheMachineEntriesOnlyCloseTheMenu)
{
    choose(FILE_MENU, 40);  // Save State
    EXPECT_EQ(menu_open, 0);
    choose(VIEW_MENU, 10);  // Patterns
    choose(CPU_MENU, 10);  // Reset
    for (const DialogSlot& slot : dialog_slots)
        EXPECT_FALSE(slot.in_use);
    EXPECT_TRUE(fs::is_empty("."));
}

TEST_F(GuiTest, FileAndCpuMenusActOnTheMachine)
{
    load_chip_show();
    choose(FILE_MENU, 40);
    EXPECT_TRUE(fs::exists("chip_show.ST0"));
    machine.ram[0] = 0x5A;
    choose(FILE_MENU, 50);  // Load State
    EXPECT_EQ(machine.ram[0], 0);
    machine.ram[0] = 0x5A;
    choose(CPU_MENU, 10);  // Reset: a machine from power-on
    EXPECT_EQ(machine.ram[0], 0);
    EXPECT_FALSE(quit_run);
    choose(FILE_MENU, 20);  // Free ROM
    EXPECT_FALSE(machine.rom_loaded);
    EXPECT_TRUE(quit_run);
}

TEST_F(GuiTest, EntriesOpenTheirWindowsOnce)
{
    choose(FILE_MENU, 10);  // Open ROM...
    choose(FILE_MENU, 10);
    choose(SETTINGS_MENU, 10);  // Input...
    choose(SETTINGS_MENU, 30);  // Config Joystick 1...
    choose(MISC_MENU, 80);  // About TARVEN...
    int open = 0;
    for (const DialogSlot& slot : dialog_slots)
        open += slot.in_use;
    EXPECT_EQ(open, 4);
    EXPECT_EQ(dialog_slots[0].width, 160);  // the selector
    EXPECT_EQ(dialog_slots[3].width, 200);  // the about box, on top
    EXPECT_EQ(dialog_stack[9], 3);
}

// The pixels of `colour` in the About box's first line, inside its frame
// at (28, 51).
std::set<std::pair<int, int>> about_line(uint32_t colour)
{
    std::set<std::pair<int, int>> found;
    for (int y = 51 + 14; y < 51 + 23; ++y)
        for (int x = 28 + 1; x < 28 + 200; ++x)
            if (picture_pixel_xrgb(x, y) == colour)
                found.insert({x, y});
    return found;
}

// The About box names this build: its version and the day it was built.
TEST_F(GuiTest, TheAboutBoxNamesTheVersionAndBuildDay)
{
    const uint32_t grey = 0xDCDCDC;
    choose(MISC_MENU, 80);
    // The pointer, left where the entry was, must not hide the line.
    mouse_y = 200;
    gui_frame();
    const auto shown = about_line(grey);
    std::string day = __DATE__;
    if (day[4] == ' ')
        day.erase(4, 1);
    vid_clear(0, screen_image);
    text_colour(rgb(220, 220, 220));
    text_print_centred(28 + 100, 51 + 15, "tarven %s, built %s", TARVEN_VERSION, day.c_str());
    EXPECT_FALSE(shown.empty());
    EXPECT_EQ(shown, about_line(grey));
}

TEST_F(GuiTest, LogPsgHidesTheMenusAndQuitEndsTheProgram)
{
    load_chip_show();
    choose(MISC_MENU, 30);
    EXPECT_FALSE(gui_visible);
    EXPECT_EQ(menu_open, 0);
    EXPECT_TRUE(psg_logging);
    psg_log_stop();
    std::remove(PSG_LOG_TEMPORARY);
    EXPECT_EXIT(choose(FILE_MENU, 70), ::testing::ExitedWithCode(0), "");
}

// Without a game no frame end would ever stop the log, and a running log
// turns the slot keys, F5, F7 and Alt+L off.
TEST_F(GuiTest, LogPsgWithoutAGameDoesNothing)
{
    choose(MISC_MENU, 30);
    EXPECT_TRUE(gui_visible);
    EXPECT_FALSE(psg_logging);
    EXPECT_FALSE(fs::exists(PSG_LOG_TEMPORARY));
}

TEST_F(GuiTest, DialogsStackAndTheActiveOneComesFirst)
{
    static int clicked = -1;
    auto draw = [](int) {};
    auto on_click = [](int handle) { clicked = handle; };
    const int a = dialog_open(10, 10, 50, 50, draw, on_click);
    const int b = dialog_open(40, 40, 50, 50, draw, on_click);
    EXPECT_EQ(a, 0);
    EXPECT_EQ(b, 1);
    EXPECT_EQ(dialog_active, b);
    EXPECT_EQ(dialog_stack[9], b);
    EXPECT_EQ(dialog_stack[8], a);

    click(45, 45);  // inside both: the active one
    EXPECT_EQ(clicked, b);
    click(20, 20);  // only in a: raised
    EXPECT_EQ(clicked, a);
    EXPECT_EQ(dialog_active, a);
    EXPECT_EQ(dialog_stack[9], a);

    dialog_raise(b);
    clicked = -1;
    click(55, 40);  // b's top border row is not inside b, but inside a
    EXPECT_EQ(clicked, a);
    clicked = -1;
    click(90, 45);  // b's right border column: nobody
    EXPECT_EQ(clicked, -1);

    // Neither active: the lower one in the stack gets the click.
    const int c = dialog_open(200, 150, 20, 20, draw, on_click);
    click(45, 45);
    EXPECT_EQ(clicked, b);

    dialog_close(b);
    EXPECT_EQ(dialog_active, c);
    dialog_close(c);
    dialog_close(a);
    EXPECT_EQ(dialog_active, 0);
    clicked = -1;
    click(20, 20);
    EXPECT_EQ(clicked, -1);
}

TEST_F(GuiTest, AnEleventhWindowEndsTheProgram)
{
    for (int i = 0; i < DIALOG_SLOTS; ++i)
        dialog_open(
            0, 0, 1, 1, [](int) {}, [](int) {});
    EXPECT_DEATH(dialog_open(
                     0, 0, 1, 1, [](int) {}, [](int) {}),
        "Ran out of Dialog handles.");
}

TEST_F(GuiTest, WindowsMoveByTheirTitleBarAndCloseByTheirCloseBox)
{
    choose(MISC_MENU, 80);  // About, at (28, 51)
    ASSERT_TRUE(dialog_slots[0].in_use);
    press(40, 55);
    move(50, 60);
    move(60, 75);
    release();
    EXPECT_EQ(dialog_slots[0].x, 48);
    EXPECT_EQ(dialog_slots[0].y, 71);
    move(100, 100);
    EXPECT_EQ(dialog_slots[0].x, 48);
    click(48 + 196, 71 + 4);
    EXPECT_FALSE(dialog_slots[0].in_use);
}

// A window's title bar stays within the pointer's reach, however far it is
// dragged, never under the menu bar, and when the picture shrinks under it
// (leaving full screen).
TEST_F(GuiTest, WindowsKeepTheirTitleBarsWithinReach)
{
    choose(MISC_MENU, 80);  // About, 200 x 70 at (28, 51)
    press(40, 55);
    move(255, 191);
    release();
    EXPECT_EQ(dialog_slots[0].x, 256 - 32);
    EXPECT_EQ(dialog_slots[0].y, 192 - 11);
    // Three drags to the left and up, each as far as the pointer goes.
    for (const int dx : {21, 150, 190}) {
        press(dialog_slots[0].x + dx, dialog_slots[0].y + 4);
        move(0, 0);
        release();
    }
    EXPECT_EQ(dialog_slots[0].x, 32 - 200);
    EXPECT_EQ(dialog_slots[0].y, 10);
    press(32 - 200 + 180, 14);  // the title bar's right end is still there to drag
    move(100, 14);
    release();
    EXPECT_EQ(dialog_slots[0].x, 32 - 200 + 88);

    dialog_slots[0].x = 300;  // where a wider full-screen picture let it go
    dialog_slots[0].y = 220;
    frame();
    EXPECT_EQ(dialog_slots[0].x, 256 - 32);
    EXPECT_EQ(dialog_slots[0].y, 192 - 11);
}

// The selector opens in the running game's folder; browsed elsewhere, it
// opens where it was left while the same game runs.
TEST_F(GuiTest, TheSelectorOpensInTheGamesFolder)
{
    fs::create_directory("roms");
    fs::copy_file(fs::path(TARVEN_ROMS) / "chip_show.sms", "roms/chip_show.sms");
    SMS_LoadROM("roms/chip_show.sms");
    SMS_InitMachine();
    choose(FILE_MENU, 10);
    EXPECT_EQ(rom_list.folder, "roms");
    rom_list.folder = ".";
    dialog_reset();
    choose(FILE_MENU, 10);
    EXPECT_EQ(rom_list.folder, ".");
}

TEST_F(GuiTest, TheListSortsFilesAndDirectoriesTogetherIgnoringCase)
{
    for (const char* name : {"b.SMS", "A.gg", "c.sms", "notes.txt", "d.GG.bak"})
        touch(name);
    fs::create_directory("Bdir");
    rom_list_build();
    ASSERT_EQ(rom_list.count, 5);
    const char* expected[] = {"..", "A.gg", "b.SMS", "Bdir", "c.sms"};
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(rom_list.entries[rom_list.order[i]].name, expected[i]);
    EXPECT_EQ(rom_list.entries[rom_list.order[3]].kind, ROM_LIST_DIRECTORY);
    EXPECT_EQ(rom_list.entries[rom_list.order[2]].kind, ROM_LIST_FILE);
}

TEST_F(GuiTest, TheListKeepsLongNamesWholeAndStopsAt768Entries)
{
    const std::string long_name = std::string(200, 'x') + ".sms";
    touch(long_name);
    touch("\xC3\x9C"
          "ber.sms");  // no glyphs for these bytes: drawn as nothing
    rom_list_build();
    EXPECT_EQ(rom_list.entries[rom_list.order[1]].name, long_name);
    gui_open_rom_selector();
    frame();
    for (int i = 0; i < 800; ++i)
        touch("game" + std::to_string(i) + ".sms");
    rom_list_build();
    EXPECT_EQ(rom_list.count, ROM_LIST_SIZE);
    gui_open_rom_selector();
    key(79);  // End
    frame();
    EXPECT_EQ(rom_list.top, ROM_LIST_SIZE - ROM_LIST_ROWS);
}

// The selector over `files` files, ".." making one more entry.
class SelectorTest : public GuiTest {
protected:
    void open_with(int files)
    {
        for (int i = 0; i < files; ++i) {
            char name[16];
            std::snprintf(name, sizeof name, "g%03d.sms", i);
            touch(name);
        }
        rom_list.folder = ".";
        rom_list_build();
        gui_open_rom_selector();
        frame();
    }
};

TEST_F(SelectorTest, KeysOnTwentyEntries)
{
    open_with(19);
    key(81);  // Page Down
    EXPECT_EQ(rom_list.top, 3);
    key(79);  // End
    EXPECT_EQ(rom_list.top, 3);
    EXPECT_EQ(rom_list.row, 16);
    key(80);  // Down at the end stays
    EXPECT_EQ(rom_list.top + rom_list.row, 19);
    key(71);  // Home
    EXPECT_EQ(rom_list.top, 0);
    EXPECT_EQ(rom_list.row, 0);
    key(72);  // Up at the top stays
    EXPECT_EQ(rom_list.row, 0);
    for (int i = 0; i < 17; ++i)
        key(80);
    EXPECT_EQ(rom_list.row, 16);
    EXPECT_EQ(rom_list.top, 1);
    key(73);  // Page Up
    EXPECT_EQ(rom_list.top, 0);
}

TEST_F(SelectorTest, KeysOnFiveEntries)
{
    open_with(4);
    key(81);
    EXPECT_EQ(rom_list.top, 0);
    key(79);
    EXPECT_EQ(rom_list.top, 0);
    EXPECT_EQ(rom_list.row, 4);
    key(80);
    EXPECT_EQ(rom_list.row, 4);
}

// Home, Page Up, End and Page Down have keys of their own beside the
// keypad's, with codes of their own.
TEST_F(SelectorTest, TheDedicatedPageKeysWorkAsTheKeypadOnes)
{
    open_with(30);
    // Home, Page Up, End, Page Down: keypad, then dedicated, from one place.
    for (const auto& [keypad, dedicated] : {std::pair {71, 0xC7}, {73, 0xC9}, {79, 0xCF}, {81, 0xD1}}) {
        rom_list.top = 5;
        rom_list.row = 3;
        key(keypad);
        const std::pair moved {rom_list.top, rom_list.row};
        rom_list.top = 5;
        rom_list.row = 3;
        key(dedicated);
        EXPECT_EQ(std::pair(rom_list.top, rom_list.row), moved) << "key " << dedicated;
        EXPECT_FALSE(key_down(dedicated));
    }
}

// The selector takes the keys from the game and the hot keys, but not ESC;
// a window above it that takes keys gets them instead.
TEST_F(SelectorTest, OnlyTheTopmostWindowThatTakesKeysReadsThem)
{
    open_with(19);
    EXPECT_TRUE(gui_takes_key(80));
    EXPECT_TRUE(gui_takes_key(KEY_F5));
    EXPECT_FALSE(gui_takes_key(KEY_ESC));
    gui_visible = false;  // hidden windows take nothing
    EXPECT_FALSE(gui_takes_key(80));
    gui_visible = true;

    gui_open_keyboard();
    key(80);  // Down, into the keyboard dialog above
    EXPECT_EQ(rom_list.row, 0);
    gui_open_about();  // takes no keys: the keyboard dialog still does
    EXPECT_TRUE(gui_takes_key(80));
}

TEST_F(SelectorTest, TheWheelMovesWholeNotchesAndKeepsTheRest)
{
    open_with(19);
    mouse_wheel = -250;
    frame();
    EXPECT_EQ(rom_list.row, 2);
    EXPECT_EQ(mouse_wheel, -10);
    mouse_wheel = 130;
    frame();
    EXPECT_EQ(rom_list.row, 1);
    EXPECT_EQ(mouse_wheel, 10);
}

TEST_F(SelectorTest, TheScrollBarMapsItsLengthOntoTheList)
{
    open_with(275);
    click(20 + 155, 20 + 81);
    EXPECT_EQ(rom_list.top, 138);  // 69 x 276 / 138
    click(20 + 155, 20 + 149);
    EXPECT_EQ(rom_list.top, 276 - 17);
}

TEST_F(SelectorTest, ADoubleClickEntersADirectoryAndLoadsAGame)
{
    fs::create_directory("games");
    fs::copy_file(fs::path(TARVEN_ROMS) / "chip_show.sms", "games/chip_show.sms");
    open_with(0);
    ASSERT_EQ(rom_list.count, 2);  // "..", "games"
    double_click(40, 20 + 12 + 8 + 4);
    // Browsing leaves the current folder, where tarven.cfg and the log are.
    EXPECT_EQ(fs::current_path(), scratch.path());
    EXPECT_EQ(rom_list.folder, "games");
    ASSERT_EQ(rom_list.count, 2);  // "..", "chip_show.sms"
    click(40, 20 + 12 + 8 + 4);
    EXPECT_FALSE(machine.rom_loaded);
    click(40, 20 + 12 + 8 + 4);
    frame();
    EXPECT_TRUE(machine.rom_loaded);
    EXPECT_TRUE(machine.machine_ready);
    EXPECT_TRUE(quit_run);
    EXPECT_FALSE(dialog_slots[0].in_use);
    // The game's files lie beside it.
    EXPECT_EQ(machine.sram_file, "games/chip_show.SAV");
    EXPECT_EQ(machine.state_file, "games/chip_show.ST0");
}

// Up by name, as a shell goes, however the folder was reached; a folder
// that cannot be listed is not entered.
TEST_F(SelectorTest, GoingUpAndIntoFolders)
{
    fs::create_directories("a/b");
    fs::create_directory("closed");
    chmod("closed", 0);
    open_with(0);  // "..", "a", "closed"; a list starts on its first row
    double_click(40, 20 + 12 + 8 + 4);
    EXPECT_EQ(rom_list.folder, "a");
    double_click(40, 20 + 12 + 8 + 4);
    EXPECT_EQ(rom_list.folder, "a/b");
    double_click(40, 20 + 12 + 4);  // "..", in a folder just entered
    EXPECT_EQ(rom_list.folder, "a");
    double_click(40, 20 + 12 + 4);  // "..", in a folder just entered
    EXPECT_EQ(rom_list.folder, ".");
    double_click(40, 20 + 12 + 4);  // "..", in a folder just entered
    EXPECT_EQ(rom_list.folder, "..");
    double_click(40, 20 + 12 + 4);  // "..", in a folder just entered
    EXPECT_EQ(rom_list.folder, "../..");
    rom_list.folder = ".";
    rom_list_build();
    if (geteuid() != 0) {  // root lists any folder
        double_click(40, 20 + 12 + 16 + 4);
        EXPECT_EQ(rom_list.folder, ".");
    }
    rom_list.folder = "/";
    rom_list_build();
    double_click(40, 20 + 12 + 4);  // "..", in a folder just entered
    EXPECT_EQ(rom_list.folder, "/");
    chmod("closed", 0755);
}

TEST_F(SelectorTest, TheLoadButtonActsOnRelease)
{
    open_with(3);
    press(20 + 80, 20 + 158);
    EXPECT_EQ(rom_list.top + rom_list.row, 0);
    frame();
    EXPECT_EQ(rom_list.folder, ".");
    release();  // ".." entered
    EXPECT_EQ(rom_list.folder, "..");
    EXPECT_EQ(fs::current_path(), scratch.path());
}

TEST_F(GuiTest, TheKeyboardDialogCapturesTheNextKey)
{
    choose(SETTINGS_MENU, 20);
    click(50 + 100, 40 + 15);  // the Up box
    key(16);  // Q
    EXPECT_EQ(settings.kup, 16);
    click(50 + 100, 40 + 25);  // Down
    key(90);
    EXPECT_EQ(settings.kdown, 90);
    key(17);  // no row selected: nothing changes
    EXPECT_EQ(settings.kdown, 90);
    click(50 + 70, 40 + 90);  // Close acts on release
    EXPECT_FALSE(dialog_slots[0].in_use);
}

// ESC cancels a capture instead of being bound; while a capture waits the
// dialog takes ESC from the hot keys, and the key it binds is used up.
TEST_F(GuiTest, EscCancelsACaptureAndABoundKeyActsNoMore)
{
    choose(SETTINGS_MENU, 20);
    EXPECT_FALSE(gui_takes_key(KEY_ESC));
    click(50 + 100, 40 + 15);  // the Up box
    EXPECT_TRUE(gui_takes_key(KEY_ESC));
    key(KEY_ESC);
    EXPECT_EQ(settings.kup, Settings {}.kup);
    EXPECT_FALSE(key_down(KEY_ESC));
    EXPECT_FALSE(gui_takes_key(KEY_ESC));
    click(50 + 100, 40 + 15);
    key(KEY_P);
    EXPECT_EQ(settings.kup, KEY_P);
    EXPECT_FALSE(key_down(KEY_P));
}

// Without a joystick its dialog says so and a click on a row waits for no
// button.
TEST_F(GuiTest, TheJoystickDialogWithoutAJoystickSaysSo)
{
    joysticks[0].unplugged = 1;
    choose(SETTINGS_MENU, 30);
    click(50 + 100, 40 + 15);
    EXPECT_FALSE(gui_takes_key(KEY_ESC));
    bool said = false;
    for (int x = 50; x < 100 && !said; ++x)
        for (int y = 40 + 48; y < 40 + 58 && !said; ++y)
            said = picture_pixel_xrgb(x, y) == 0xFFC83C;
    EXPECT_TRUE(said) << "no \"No joystick\" in its colour";
    joysticks[0].unplugged = 0;
}

TEST_F(GuiTest, TheJoystickDialogCapturesTheFirstButtonDown)
{
    choose(SETTINGS_MENU, 40);  // joystick 2
    click(50 + 100, 40 + 25);  // Button 2
    joysticks[1].buttons[7] = 1 << 7;
    joysticks[1].buttons[9] = 1 << 9;
    frame();
    joysticks[1] = JoystickState {};
    EXPECT_EQ(settings.j2b2, 7);
    EXPECT_EQ(settings.j1b2, 1);
}

// Loading a slot never saved says so.
TEST_F(GuiTest, LoadingAnEmptySlotSaysSo)
{
    load_chip_show();
    message.clear();
    choose(FILE_MENU, 50);  // Load State
    EXPECT_EQ(message, "chip_show.ST0: empty slot");
}

TEST_F(GuiTest, TheInputDialogStepsThroughTheDevices)
{
    choose(SETTINGS_MENU, 10);
    for (int expected : {DEVICE_JOYSTICK1, DEVICE_JOYSTICK2, DEVICE_PADDLE, DEVICE_PADDLE_JOYSTICK1,
             DEVICE_PADDLE_JOYSTICK2, DEVICE_LIGHTGUN, DEVICE_NONE, DEVICE_KEYBOARD}) {
        click(20 + 60, 60 + 15);
        EXPECT_EQ(settings.player1, expected);
    }
    click(20 + 60, 60 + 25);
    EXPECT_EQ(settings.player2, DEVICE_KEYBOARD);
}

TEST_F(GuiTest, SavePsgTypesAndRenamesTheLog)
{
    touch("music.$$$");
    touch("tune.PSG");
    gui_open_save_psg("tune");
    key(KEY_LSHIFT);  // a key of its own, which stays down
    key(2);  // !
    key_state[KEY_LSHIFT].store(0);
    key(52);  // .
    for (int code : {25, 31, 34})  // p s g
        key(code);
    key(KEY_BACKSPACE);
    key(34);
    key(15);  // Tab types nothing into a name
    key(KEY_ENTER);
    EXPECT_FALSE(fs::exists("music.$$$"));
    EXPECT_TRUE(fs::exists("tune!.psg"));
    EXPECT_TRUE(fs::exists("tune.PSG"));
    EXPECT_FALSE(dialog_slots[0].in_use);
}

TEST_F(GuiTest, SavePsgBackspaceOnAnEmptyFieldAndItsLengthLimit)
{
    touch("music.$$$");
    gui_open_save_psg("");
    key(KEY_BACKSPACE);
    EXPECT_TRUE(dialog_slots[0].in_use);
    const std::string name(300, 'a');
    gui_open_save_psg(name);
    key(30);  // one more a: beyond the field's 255
    key(KEY_ENTER);
    EXPECT_TRUE(fs::exists(std::string(255, 'a')));
}

TEST_F(GuiTest, SavePsgCloseBoxDeletesTheLog)
{
    touch("music.$$$");
    gui_open_save_psg("game.PSG");
    EXPECT_TRUE(gui_visible);
    click(50 + 138, 40 + 4);
    EXPECT_FALSE(fs::exists("music.$$$"));
    EXPECT_FALSE(fs::exists("game.PSG"));
    EXPECT_FALSE(dialog_slots[0].in_use);
}

// An old file of the chosen name goes only after the player is asked and
// saves again, and only when the recording takes its place: with the
// recording missing (its write failed) the old one stays, the popup says
// what went wrong and the dialog stays for another try. A saved recording
// says where it went.
TEST_F(GuiTest, SavePsgAsksBeforeReplacingAndKeepsTheOldFileOnFailure)
{
    std::ofstream("tune.PSG") << "old tune";
    file_set_failure_handler(show_message);
    message.clear();
    gui_open_save_psg("tune.PSG");
    key(KEY_ENTER);
    EXPECT_EQ(message.rfind("tune.PSG exists already", 0), 0u) << message;
    EXPECT_TRUE(dialog_slots[0].in_use);
    key(KEY_ENTER);
    file_set_failure_handler(nullptr);
    EXPECT_TRUE(fs::exists("tune.PSG"));
    EXPECT_EQ(message.rfind("Could not save tune.PSG", 0), 0u) << message;
    EXPECT_TRUE(dialog_slots[0].in_use);
    touch("music.$$$");
    key(KEY_ENTER);
    EXPECT_EQ(fs::file_size("tune.PSG"), 1u);
    EXPECT_FALSE(fs::exists("music.$$$"));
    EXPECT_FALSE(dialog_slots[0].in_use);
    EXPECT_EQ(message, "Music saved to " + fs::canonical("tune.PSG").string());
}

TEST_F(GuiTest, PatternsWindowDrawsNoPatternsOnceTheMachineStops)
{
    load_chip_show();
    choose(VIEW_MENU, 10);
    ASSERT_TRUE(dialog_slots[0].in_use);
    std::fill(std::begin(vdp.vram), std::end(vdp.vram), 0xFF);
    frame();
    const uint32_t tile_colour = picture_pixel_xrgb(22, 32);
    EXPECT_NE(tile_colour, MENU_BLUE);
    SMS_FreeMachine();
    frame();
    EXPECT_EQ(picture_pixel_xrgb(22, 32), MENU_BLUE);
    click(30, 50);  // a click in the patterns toggles the palette half
    EXPECT_EQ(patterns_palette_offset, 16);
    click(30, 50);
    EXPECT_EQ(patterns_palette_offset, 0);
}

TEST_F(GuiTest, PsgOutputBarsFollowTheVolumes)
{
    psg = PsgState {};
    psg.volume[0] = 255;
    psg.volume[1] = 10;
    view_psg_output = true;
    vid_clear(0, screen_image);
    viewer_popups_draw({0, 0, 255, 191}, 191);
    const int x = 256 / 2 - 70;
    const int y = 192 - 46;
    const uint32_t half_red = 0x7F0000;
    EXPECT_EQ(picture_pixel_xrgb(x + 46, y), half_red);
    EXPECT_EQ(picture_pixel_xrgb(x + 76, y + 16), half_red);
    EXPECT_EQ(picture_pixel_xrgb(x + 76, y + 15), 0u);
    EXPECT_EQ(picture_pixel_xrgb(x + 106, y + 16), 0u);
}

TEST_F(GuiTest, GameGearPanMarksSitLeftCentredOrRight)
{
    psg = PsgState {};
    psg_pan[0] = -127;
    psg_pan[1] = 0;
    psg_pan[2] = 127;
    psg_pan[3] = 0;
    vdp.is_gg = true;
    view_psg_output = true;
    vid_clear(0, screen_image);
    viewer_popups_draw({0, 0, 255, 191}, 191);
    vdp.is_gg = false;
    psg_pan[0] = psg_pan[2] = 0;
    const int x = 256 / 2 - 70;
    const int y = 192 - 46 + 18 + 2;  // the mark's middle row
    EXPECT_EQ(picture_pixel_xrgb(x + 37 - 7, y), GREEN);
    EXPECT_EQ(picture_pixel_xrgb(x + 37, y), 0u);
    EXPECT_EQ(picture_pixel_xrgb(x + 30 + 37, y), GREEN);
    EXPECT_EQ(picture_pixel_xrgb(x + 60 + 37 + 7, y), GREEN);
    EXPECT_EQ(picture_pixel_xrgb(x + 60 + 37, y), 0u);
}

}  // namespace
