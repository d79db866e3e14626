// The ROM file selector, "Open ROM...", and the list it shows.
#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "host/draw.h"
#include "host/file.h"
#include "host/input.h"
#include "machine/machine.h"
#include "machine/scheduler.h"
#include "ui/dialog.h"
#include "ui/gui.h"
#include "ui/rom_list.h"
#include "ui/session.h"

RomList rom_list;

namespace {

constexpr int WIDTH = 160;
constexpr int HEIGHT = 167;
constexpr int WHEEL_STEP = 120;

// The keypad's keys, and the dedicated Home, Page Up, End and Page Down
// keys, which have codes of their own (the cursor keys are folded onto the
// keypad's arrows by the platform layer).
enum Key : uint8_t {
    KEY_HOME = 71,
    KEY_UP = 72,
    KEY_PAGE_UP = 73,
    KEY_END = 79,
    KEY_DOWN = 80,
    KEY_PAGE_DOWN = 81,
    KEY_HOME_DEDICATED = 0xC7,
    KEY_PAGE_UP_DEDICATED = 0xC9,
    KEY_END_DEDICATED = 0xCF,
    KEY_PAGE_DOWN_DEDICATED = 0xD1,
};

struct Selector {
    int handle = -1;
    DialogDrag drag;
    bool load_pressed = false;
    // A listing just entered: its preselected first row opens only after a
    // click has chosen it, so the second click of a double click on "(..)"
    // does not go up a second time.
    bool fresh_listing = false;
    bool open_clicked = false;  // a second click on the selected row
    // The last part of the listed folder's real path, found when it is
    // listed rather than at every frame; empty when it cannot be found.
    std::string folder_name;
    // The folder of the game the selector last started in.
    std::string game_folder;
};

Selector selector;

void add_entry(const std::string& name, RomListKind kind)
{
    if (rom_list.count >= ROM_LIST_SIZE)
        return;
    rom_list.entries[rom_list.count++] = RomListEntry {name, kind};
}

void move_up()
{
    if (rom_list.row > 0)
        --rom_list.row;
    else if (rom_list.top > 0)
        --rom_list.top;
}

void move_down()
{
    RomList& l = rom_list;
    if (l.row < ROM_LIST_ROWS - 1 && l.top + l.row < l.count - 1)
        ++l.row;
    else if (l.top < l.count - ROM_LIST_ROWS)
        ++l.top;
}

bool take_key(int code)
{
    if (!key_down(code))
        return false;
    key_clear(code);
    return true;
}

// Either key of a pair, both taken.
bool take_keys(int code, int twin)
{
    const bool first = take_key(code);
    return take_key(twin) || first;
}

void handle_keys()
{
    RomList& l = rom_list;
    if (take_key(KEY_UP))
        move_up();
    if (take_key(KEY_DOWN))
        move_down();
    if (take_keys(KEY_PAGE_UP, KEY_PAGE_UP_DEDICATED))
        l.top = std::max(l.top - ROM_LIST_ROWS, 0);
    if (take_keys(KEY_PAGE_DOWN, KEY_PAGE_DOWN_DEDICATED))
        l.top = l.count <= ROM_LIST_ROWS ? 0 : std::min(l.top + ROM_LIST_ROWS, l.count - ROM_LIST_ROWS);
    if (take_keys(KEY_HOME, KEY_HOME_DEDICATED))
        l.top = l.row = 0;
    if (take_keys(KEY_END, KEY_END_DEDICATED)) {
        if (l.count > ROM_LIST_ROWS) {
            l.top = l.count - ROM_LIST_ROWS;
            l.row = ROM_LIST_ROWS - 1;
        } else {
            l.top = 0;
            l.row = std::max(l.count - 1, 0);
        }
    }
}

void handle_wheel()
{
    for (; mouse_wheel >= WHEEL_STEP; mouse_wheel -= WHEEL_STEP)
        move_up();
    for (; mouse_wheel <= -WHEEL_STEP; mouse_wheel += WHEEL_STEP)
        move_down();
}

void close_selector()
{
    dialog_close(selector.handle);
    selector.handle = -1;
}

std::string folder_of(const std::string& path)
{
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

// ".." goes up by name, as a shell does, so that the path stays short and
// leads back through a link the way it came.
std::string folder_above(const std::string& folder)
{
    const size_t slash = folder.find_last_of('/');
    const std::string last = folder.substr(slash == std::string::npos ? 0 : slash + 1);
    if (last.empty() || last == "." || last == "..")
        return folder == "/" ? folder : rom_list_path("..");
    return folder_of(folder);
}

// A folder that cannot be listed leaves the current one, listed anew.
void enter_folder(const std::string& name)
{
    const std::string next = name == ".." ? folder_above(rom_list.folder) : rom_list_path(name);
    if (DIR* dir = opendir(next.c_str())) {
        closedir(dir);
        rom_list.folder = next;
    }
    rom_list_build();
}

// Opens the selected entry; false when it was a ROM and the window is gone.
bool activate()
{
    const int index = rom_list.top + rom_list.row;
    if (index >= rom_list.count)
        return true;
    const RomListEntry entry = rom_list.entries[rom_list.order[index]];
    if (entry.kind == ROM_LIST_DIRECTORY) {
        enter_folder(entry.name);
        selector.fresh_listing = true;
        return true;
    }
    // A file that is no cartridge leaves the selector open to pick another.
    if (!gui_open_file(rom_list_path(entry.name)))
        return true;
    close_selector();
    // The game starts with the menus out of the way, as from the command line.
    gui_visible = false;
    gui_close_menus();
    return false;
}

void draw_list(int x, int y)
{
    const RomList& l = rom_list;
    vid_fill_mode = 0;
    vid_rect(x + 2, y + 12, x + 150, y + 150, rgb(128, 128, 128), screen_image);
    vid_fill_mode = 1;
    vid_rect(x + 3, y + 13, x + 149, y + 149, 0, screen_image);
    vid_rect(x + 3, y + 13 + 8 * l.row, x + 149, y + 21 + 8 * l.row, rgb(0, 160, 0), screen_image);

    const int n = std::max<int>(l.count, ROM_LIST_ROWS);
    const int thumb = l.top * 139 / n;
    const int length = 2346 / n;
    vid_rect(x + 152, y + 12, x + 158, y + 150, rgb(0, 128, 0), screen_image);
    vid_rect(x + 152, y + 12 + thumb, x + 158, y + 12 + thumb + length, rgb(30, 255, 30), screen_image);

    // Names longer than the list are cut at its right edge.
    image_set_clip(screen_image.clip_x1, screen_image.clip_y1, x + 148, screen_image.clip_y2, screen_image);
    for (int i = l.top; i < l.top + ROM_LIST_ROWS; ++i) {
        const int ty = y + 14 + 8 * (i - l.top);
        if (i >= l.count)
            continue;
        const RomListEntry& entry = l.entries[l.order[i]];
        const bool directory = entry.kind == ROM_LIST_DIRECTORY;
        // On the green selection bar any name is white: green on green
        // cannot be read.
        const uint32_t colour = i - l.top == l.row ? rgb(255, 255, 255)
            : directory                            ? rgb(30, 255, 30)
                                                   : rgb(220, 220, 220);
        const std::string name = directory ? "(" + entry.name + ")" : entry.name;
        draw_text(x + 4, ty, colour, name.c_str());
    }
    image_set_clip(0, 0, screen_image.width - 1, screen_image.height - 1, screen_image);
}

// The name of the folder listed, in the title bar after the title; a name
// too long for the room left of the close box shows its end.
void draw_folder(int x, int y)
{
    if (selector.folder_name.empty())
        return;
    const char* shown = selector.folder_name.c_str();
    const int left = x + 2 + text_width("Open ROM...") + 6;
    const int room = x + WIDTH - 9 - left;
    while (*shown && text_width(shown) > room)
        ++shown;
    draw_text(left, y + 2, rgb(150, 190, 255), shown);
}

void selector_draw(int handle)
{
    dialog_drag_step(selector.drag, handle);
    // Keys typed into a window above (a name, a key being bound) are not
    // this list's.
    if (dialog_owns_keyboard(handle)) {
        handle_keys();
        if (take_key(KEY_ENTER)) {
            selector.load_pressed = false;
            if (!activate())
                return;
        }
    }
    handle_wheel();
    const bool load = dialog_button_released(selector.load_pressed);
    if (load || selector.open_clicked) {
        selector.open_clicked = false;
        if (!activate())
            return;
    }
    const int x = dialog_slots[handle].x;
    const int y = dialog_slots[handle].y;
    draw_window_frame(x, y, x + WIDTH, y + HEIGHT, "Open ROM...");
    draw_folder(x, y);
    draw_list(x, y);
    draw_button(x + 60, y + 152, "Load", selector.load_pressed);
}

void selector_click(int handle)
{
    RomList& l = rom_list;
    const int dx = mouse_x - dialog_slots[handle].x;
    const int dy = mouse_y - dialog_slots[handle].y;
    if (dy < 10 && dx < 153) {
        dialog_drag_start(selector.drag);
    } else if (12 < dy && dy < 150 && 151 < dx && dx < 159 && l.count > ROM_LIST_ROWS) {
        l.top = std::clamp((dy - 12) * l.count / 138, 0, l.count - ROM_LIST_ROWS);
        mouse_clicked = 0;
    } else if (dy < 9 && dx > 153) {
        close_selector();
    } else if (60 < dx && dx < 100 && 152 < dy && dy < 165) {
        selector.load_pressed = true;
        mouse_clicked = 0;
    } else if (2 < dx && dx < 150 && 12 < dy && dy < 150) {
        // The list's last two pixel rows belong to no visible row.
        const int r = (dy - 12) / 8;
        if (r < ROM_LIST_ROWS && l.top + r < l.count) {
            // A second click on the selected row opens it at the next draw.
            if (r == l.row && !selector.fresh_listing)
                selector.open_clicked = true;
            l.row = r;
            selector.fresh_listing = false;
        }
        mouse_clicked = 0;
    }
}

}  // namespace

std::string rom_list_path(const std::string& name)
{
    const std::string& folder = rom_list.folder;
    if (folder == ".")
        return name;
    return folder.back() == '/' ? folder + name : folder + "/" + name;
}

void rom_list_build()
{
    const std::string folder = rom_list.folder;
    rom_list = RomList {};
    rom_list.folder = folder;
    std::vector<std::string> files[4];
    std::vector<std::string> directories;
    if (DIR* dir = opendir(folder.c_str())) {
        while (const dirent* found = readdir(dir)) {
            const std::string name = found->d_name;
            struct stat info { };
            // Links count as what they point at. Hidden entries (settings
            // folders, mostly) stay hidden, as in the desktop's file chooser.
            if ((name[0] == '.' && name != "..") || stat(rom_list_path(name).c_str(), &info) != 0)
                continue;
            if (S_ISDIR(info.st_mode))
                directories.push_back(name);
            else if (file_has_extension(name, ".sms"))
                files[0].push_back(name);
            else if (file_has_extension(name, ".gg") || file_has_extension(name, ".sg")
                || file_has_extension(name, ".sc"))
                files[1].push_back(name);
            else if (file_has_extension(name, ".zip") || file_has_extension(name, ".7z"))
                files[2].push_back(name);
            else if (file_has_extension(name, ".input"))
                files[3].push_back(name);
        }
        closedir(dir);
    }
    // The directory's own order is arbitrary; listing each group by name
    // first makes entries of equal folded names come out the same every time.
    for (auto* group : {&files[0], &files[1], &files[2], &files[3], &directories}) {
        std::sort(group->begin(), group->end());
        for (const std::string& name : *group)
            add_entry(name, group == &directories ? ROM_LIST_DIRECTORY : ROM_LIST_FILE);
    }
    for (int i = 0; i < ROM_LIST_SIZE; ++i)
        rom_list.order[i] = i;
    std::stable_sort(rom_list.order, rom_list.order + rom_list.count, [](int32_t a, int32_t b) {
        return strcasecmp(rom_list.entries[a].name.c_str(), rom_list.entries[b].name.c_str()) < 0;
    });
    char path[PATH_MAX];
    selector.folder_name.clear();
    if (realpath(folder.c_str(), path)) {
        const char* slash = std::strrchr(path, '/');
        selector.folder_name = slash && slash[1] ? slash + 1 : path;
    }
}

bool gui_open_file(const std::string& path)
{
    return file_has_extension(path, ".input") ? session_play_file(path) : SMS_OpenROM(path);
}

void gui_open_rom_selector()
{
    if (!dialog_shows(selector.handle, selector_draw)) {
        // Another game is found beside the running one; otherwise the list
        // stays in the folder last used. The state files lie beside the ROM.
        const std::string game_folder = machine.rom_loaded ? folder_of(machine.state_file) : selector.game_folder;
        if (game_folder != selector.game_folder) {
            selector.game_folder = game_folder;
            rom_list.folder = game_folder;
            rom_list_build();
        }
        selector.handle = dialog_open(20, 20, WIDTH, HEIGHT, selector_draw, selector_click);
        dialog_slots[selector.handle].keys = DIALOG_KEYS_TAKEN;
        selector.fresh_listing = false;
        selector.open_clicked = false;
    }
}
