// The ROM file selector's list as the user walks it: the selection moves one
// entry per key and the list scrolls only to keep it in sight, and links are
// listed as what they lead to.
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "gui_driver.h"
#include "ui/rom_list.h"

namespace fs = std::filesystem;

namespace {

constexpr int UP = 72;
constexpr int DOWN = 80;
constexpr int END = 79;

class Selector : public GuiDriver {
protected:
    // ".." and `files` games: a list of files + 1 entries.
    void open_with(int files)
    {
        for (int i = 0; i < files; ++i)
            std::ofstream(std::to_string(1000 + i) + ".sms") << "x";
        rom_list_build();
        gui_open_rom_selector();
        gui_frame();
    }

    static int selected()
    {
        return rom_list.top + rom_list.row;
    }

    // Walks the whole list with `key` from one end to the other: each press
    // selects the next entry, the selection stays on a visible row, and the
    // list only scrolls when the selection would leave the rows shown.
    static void walk(int key, int step, int entries)
    {
        for (int i = 1; i < entries; ++i) {
            const int before = selected();
            const int top = rom_list.top;
            const bool at_edge = rom_list.row == (step < 0 ? 0 : ROM_LIST_ROWS - 1);
            tap(key);
            ASSERT_EQ(selected(), before + step) << "press " << i;
            ASSERT_GE(rom_list.row, 0);
            ASSERT_LT(rom_list.row, ROM_LIST_ROWS);
            ASSERT_EQ(rom_list.top, at_edge ? top + step : top) << "press " << i;
        }
        // At the end of the list a press moves nothing.
        const int before = selected();
        tap(key);
        EXPECT_EQ(selected(), before);
    }
};

TEST_F(Selector, UpAndDownWalkALongListOneEntryAtATime)
{
    open_with(44);  // 45 entries: the list scrolls by 28
    tap(END);
    ASSERT_EQ(selected(), 44);
    walk(UP, -1, 45);
    EXPECT_EQ(rom_list.top, 0);
    EXPECT_EQ(rom_list.row, 0);
    walk(DOWN, 1, 45);
    EXPECT_EQ(rom_list.top, 45 - ROM_LIST_ROWS);
}

TEST_F(Selector, LinksAreListedAsWhatTheyLeadToAndHiddenEntriesNot)
{
    fs::create_directory("real");
    std::ofstream("real/game.sms") << "x";
    fs::create_directory_symlink("real", "linked folder");
    fs::create_directory_symlink("real", "folder.sms");  // a folder, whatever its name
    fs::create_symlink("real/game.sms", "linked.sms");
    fs::create_symlink("nowhere.sms", "dangling.sms");
    fs::create_directory(".hidden");  // hidden entries stay hidden
    std::ofstream(".hidden.sms") << "x";
    rom_list_build();

    std::map<std::string, RomListKind> listed;
    for (int i = 0; i < rom_list.count; ++i)
        listed[rom_list.entries[rom_list.order[i]].name] = rom_list.entries[rom_list.order[i]].kind;
    EXPECT_EQ(listed,
        (std::map<std::string, RomListKind> {{"..", ROM_LIST_DIRECTORY}, {"folder.sms", ROM_LIST_DIRECTORY},
            {"linked folder", ROM_LIST_DIRECTORY}, {"linked.sms", ROM_LIST_FILE}, {"real", ROM_LIST_DIRECTORY}}));

    // The linked folder opens like any other: ".." "folder.sms" "linked folder".
    gui_open_rom_selector();
    gui_frame();
    tap(DOWN);
    tap(DOWN);
    tap(KEY_ENTER);
    gui_frame();
    EXPECT_EQ(fs::canonical(rom_list.folder), fs::canonical(scratch.path() / "real"));
    ASSERT_EQ(rom_list.count, 2);
    EXPECT_EQ(rom_list.entries[rom_list.order[1]].name, "game.sms");
}

}  // namespace
