// The ROM file selector's list of the folder it shows: ROM images, recorded
// sessions and subfolders, sorted by name.
#pragma once

#include <cstdint>
#include <string>

constexpr int ROM_LIST_SIZE = 768;
constexpr int ROM_LIST_ROWS = 17;  // rows the selector shows at once

enum RomListKind : uint8_t {
    ROM_LIST_UNUSED = 0,
    ROM_LIST_FILE = 1,
    ROM_LIST_DIRECTORY = 2,
};

struct RomListEntry {
    // The whole name, however long, so that it can be opened; the selector
    // shows what fits.
    std::string name;
    RomListKind kind = ROM_LIST_UNUSED;
};

struct RomList {
    RomListEntry entries[ROM_LIST_SIZE];
    int32_t order[ROM_LIST_SIZE];  // the first `count` sorted by name
    int32_t count = 0;
    int32_t top = 0;  // index in `order` of the first row shown
    int32_t row = 0;  // selected row, 0 to ROM_LIST_ROWS - 1
    // The folder listed, relative to the current one. Browsing never
    // changes the program's current folder, so that tarven.cfg, tarven.log
    // and every relative name keep the place they had at start.
    std::string folder = ".";
};

extern RomList rom_list;

// Lists rom_list.folder: every *.sms file, every *.gg, *.sg and *.sc file,
// every *.zip and *.7z archive, every recorded session (*.input; the
// extensions in any case), then every subdirectory but "." (so ".." is
// offered), leaving out hidden entries (names starting with a dot); entries
// past ROM_LIST_SIZE are left out.
void rom_list_build();
// The path of an entry of the listed folder.
std::string rom_list_path(const std::string& name);
