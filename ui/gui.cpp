#include "ui/gui.h"

#include <string>

#include "host/draw.h"
#include "host/input.h"
#include "host/log.h"
#include "host/video.h"
#include "machine/machine.h"
#include "machine/savestate.h"
#include "machine/scheduler.h"
#include "sound/psg.h"
#include "sound/psg_log.h"
#include "ui/config.h"
#include "ui/dialog.h"
#include "ui/session.h"
#include "ui/viewers.h"
#include "vdp/render.h"

uint8_t menu_open = 0;
uint8_t menu_number = 0;

namespace {

constexpr int BAR_END = 158;  // the bar covers columns 0-157
constexpr int ENTRY_WIDTH = 100;
constexpr int ENTRY_HEIGHT = 10;
constexpr uint8_t MENU_NONE = 255;
constexpr const char* SEPARATOR = " ******************";

struct MenuEntry {
    int y;
    const char* label;  // null for a separator
    const char* shortcut;
    void (*action)();
    bool (*check)() = nullptr;  // null: the entry has no check mark
    bool closes = true;
    const char* (*label_now)() = nullptr;  // for a label that follows a setting
    bool (*available)() = nullptr;  // null: always; otherwise shown dimmed and not acted on while false
};

struct Menu {
    const char* title;
    int x;
    const MenuEntry* entries;
    int count;
};

void close_menu()
{
    menu_open = 0;
    menu_number = MENU_NONE;
}

// The entry actions.

void open_rom()
{
    gui_open_rom_selector();
}

void free_rom()
{
    SMS_FreeROM();
    quit_run = true;
}

bool game_loaded()
{
    return machine.rom_loaded;
}

void quit()
{
    fatal_exit("%s", "");
}

void reset()
{
    SMS_FreeMachine();
    SMS_InitMachine();
}

void set_japanese()
{
    settings.usa = false;
}

void set_usa()
{
    settings.usa = true;
}

// The console the game runs on changes at once, with a hard reset, as
// changing the console would.
void set_console(int32_t console)
{
    settings.console = console;
    if (!machine.rom_loaded)
        return;
    reset();
    show_message(std::string("Now a ") + SMS_ConsoleName(machine.console));
}

void set_rate(int rate)
{
    settings.frame_rate = rate;
    timer_set_rate(rate);
    psg_set_frame_rate(rate);
}

void set_pal()
{
    set_rate(50);
}

void set_ntsc()
{
    set_rate(60);
}

// Steps the game through the boards, from the one its image says on; each
// step restarts it on the new board, and the choice stays with the game.
void next_mapper()
{
    const int32_t choice = SMS_MapperChoice();
    SMS_ChooseMapper(choice + 1 < MAPPER_KINDS ? choice + 1 : MAPPER_AUTO);
}

const char* mapper_label()
{
    static std::string label;
    label = std::string("  Mapper: ") + SMS_MapperName(machine.mapper)
        + (SMS_MapperChoice() == MAPPER_AUTO ? " (auto)" : "");
    return machine.rom_loaded ? label.c_str() : "  Mapper";
}

void toggle_fps()
{
    view_fps = !view_fps;
}

void toggle_vdp()
{
    view_vdp_settings = !view_vdp_settings;
}

void toggle_psg()
{
    view_psg_output = !view_psg_output;
}

void open_joystick1()
{
    gui_open_joystick(0);
}

void open_joystick2()
{
    gui_open_joystick(1);
}

void switch_screen_mode()
{
    settings.fullscreen = !settings.fullscreen;
    vid_apply_mode();
}

const char* screen_mode_label()
{
    return settings.fullscreen ? "  Windowed" : "  Fullscreen";
}

void toggle_sound()
{
    settings.sound = !settings.sound;
    psg_set_sound(settings.sound);
}

void toggle_gg_speaker()
{
    settings.gg_speaker = !settings.gg_speaker;
    psg_set_gg_speaker(settings.gg_speaker);
}

void toggle_bg()
{
    render_disable_bg = !render_disable_bg;
}

void toggle_sprites()
{
    render_disable_sprites = !render_disable_sprites;
}

void toggle_sprite_limit()
{
    settings.sprite_limit = !settings.sprite_limit;
}

void toggle_clock()
{
    settings.clock = !settings.clock;
}

void toggle_popups()
{
    settings.popups = !settings.popups;
}

void start_log(PsgLogFormat format)
{
    // Without a game there is nothing to record, and no frame end to stop
    // the log at: as the hot key, the entry does nothing then.
    if (!machine.rom_loaded)
        return;
    psg_log_start(format);
    gui_visible = false;
}

void log_psg()
{
    start_log(PsgLogFormat::SMSMUSIC);
}

void log_vgm()
{
    start_log(PsgLogFormat::VGM);
}

// One entry starts a recording or a playback and, while it runs, stops it.
void record_input()
{
    if (session_recording())
        session_stop();
    else
        gui_open_record();
}

const char* record_label()
{
    return session_recording() ? "  Stop recording" : "  Record input...";
}

void play_input()
{
    if (session_playing())
        session_stop();
    else
        gui_open_rom_selector();
}

const char* play_label()
{
    return session_playing() ? "  Stop playing" : "  Play input...";
}

const MenuEntry FILE_ENTRIES[] = {
    {10, "  Open ROM...", "alt-l", open_rom},
    {20, "  Free ROM", "", free_rom},
    {30, nullptr, "", nullptr},
    {40, "  Save State", "F5", SMS_SaveState, nullptr, true, nullptr, game_loaded},
    {50, "  Load State", "F7", SMS_LoadState, nullptr, true, nullptr, game_loaded},
    {60, nullptr, "", nullptr},
    {70, "  Quit", "alt-x", quit},
};

const MenuEntry CPU_ENTRIES[] = {
    // The hard reset; Tab alone is the console's reset button.
    {10, "  Reset", "shift-tab", reset, nullptr, true, nullptr, game_loaded},
    {20, nullptr, "", nullptr},
    {30, "  Japanese", "", set_japanese, [] { return !settings.usa; }},
    {40, "  USA/European", "", set_usa, [] { return settings.usa; }},
    {50, nullptr, "", nullptr},
    {60, "  PAL", "", set_pal, [] { return settings.frame_rate == 50; }},
    {70, "  NTSC", "", set_ntsc, [] { return settings.frame_rate == 60; }},
    {80, nullptr, "", nullptr},
    {90, "  By cartridge", "", [] { set_console(CONSOLE_BY_CARTRIDGE); },
        [] { return settings.console == CONSOLE_BY_CARTRIDGE; }},
    {100, "  Master System", "", [] { set_console(CONSOLE_MASTER_SYSTEM); },
        [] { return settings.console == CONSOLE_MASTER_SYSTEM; }},
    {110, "  Master System II", "", [] { set_console(CONSOLE_MASTER_SYSTEM_II); },
        [] { return settings.console == CONSOLE_MASTER_SYSTEM_II; }},
    {120, "  Game Gear", "", [] { set_console(CONSOLE_GAME_GEAR); },
        [] { return settings.console == CONSOLE_GAME_GEAR; }},
    {130, nullptr, "", nullptr},
    {140, "  Mapper", "", next_mapper, nullptr, false, mapper_label, game_loaded},
};

const MenuEntry VIEW_ENTRIES[] = {
    {10, "  Patterns...", "", gui_open_patterns, nullptr, true, nullptr, game_loaded},
    {20, "  Palette...", "", gui_open_palette, nullptr, true, nullptr, game_loaded},
    {30, nullptr, "", nullptr},
    {40, "  FPS", "", toggle_fps, [] { return view_fps; }},
    {50, "  VDP settings", "", toggle_vdp, [] { return view_vdp_settings; }},
    {60, "  PSG Output", "", toggle_psg, [] { return view_psg_output; }},
};

const MenuEntry SETTINGS_ENTRIES[] = {
    {10, "  Input...", "", gui_open_input},
    {20, "  Config Keyboard...", "", gui_open_keyboard},
    {30, "  Config Joystick 1...", "", open_joystick1},
    {40, "  Config Joystick 2...", "", open_joystick2},
    {50, nullptr, "", nullptr},
    {60, "  Fullscreen", "alt-enter", switch_screen_mode, nullptr, true, screen_mode_label},
    {70, "  Sound", "", toggle_sound, [] { return settings.sound; }},
    {80, nullptr, "", nullptr},
    {90, "  Disable bg", "", toggle_bg, [] { return render_disable_bg; }},
    {100, "  Disable sprites", "", toggle_sprites, [] { return render_disable_sprites; }},
    {110, "  Sprite limit", "", toggle_sprite_limit, [] { return settings.sprite_limit; }},
    {120, "  Game Gear speaker", "", toggle_gg_speaker, [] { return settings.gg_speaker; }},
};

const MenuEntry MISC_ENTRIES[] = {
    {10, "  Clock", "", toggle_clock, [] { return settings.clock; }},
    {20, "  State popups", "", toggle_popups, [] { return settings.popups; }},
    // Hides the menus; the click below the bar closes the menu.
    {30, "  Log PSG...", "alt-p", log_psg, nullptr, false},
    {40, "  Log VGM...", "", log_vgm, nullptr, false},
    {50, "  Record input...", "", record_input, nullptr, true, record_label, game_loaded},
    {60, "  Play input...", "", play_input, nullptr, true, play_label, game_loaded},
    {70, nullptr, "", nullptr},
    {80, "  About TARVEN...", "", gui_open_about},
};

template <int N>
constexpr Menu make_menu(const char* title, int x, const MenuEntry (&entries)[N])
{
    return Menu {title, x, entries, N};
}

// The bar, left to right; menu number n is MENUS[n - 1].
const Menu MENUS[] = {
    make_menu("  File  ", 0, FILE_ENTRIES),
    make_menu("  CPU  ", 28, CPU_ENTRIES),
    make_menu("  View  ", 54, VIEW_ENTRIES),
    make_menu("  Settings  ", 83, SETTINGS_ENTRIES),
    make_menu("  Misc  ", 129, MISC_ENTRIES),
};
constexpr int MENU_COUNT = 5;

const Menu* open_menu()
{
    return menu_open && menu_number >= 1 && menu_number <= MENU_COUNT ? &MENUS[menu_number - 1] : nullptr;
}

// An entry answers the ten rows from its top; the last one also the row
// below, where its box ends.
const MenuEntry* entry_under_pointer(const Menu& menu)
{
    if (mouse_x < menu.x || mouse_x > menu.x + ENTRY_WIDTH)
        return nullptr;
    for (int i = 0; i < menu.count; ++i) {
        const MenuEntry& entry = menu.entries[i];
        const int bottom = entry.y + ENTRY_HEIGHT - (i + 1 < menu.count ? 1 : 0);
        if (mouse_y >= entry.y && mouse_y <= bottom)
            return &entry;
    }
    return nullptr;
}

void menu_act()
{
    const Menu* menu = open_menu();
    if (!menu)
        return;
    const MenuEntry* entry = entry_under_pointer(*menu);
    if (!entry || !entry->action || (entry->available && !entry->available()))
        return;
    entry->action();
    if (entry->closes)
        close_menu();
}

void menu_follow_pointer()
{
    if (mouse_x < 28)
        menu_number = 1;
    else if (mouse_x < 54)
        menu_number = 2;
    else if (mouse_x < 83)
        menu_number = 3;
    else if (mouse_x < 129)
        menu_number = 4;
    else if (mouse_x < BAR_END)
        menu_number = 5;
}

void route_mouse()
{
    if (dialog_route_click())
        return;
    const bool on_bar = mouse_y < MENU_BAR_HEIGHT && mouse_x < BAR_END;
    if (mouse_clicked && on_bar && !menu_open)
        menu_open = 1;
    if (menu_open && mouse_y < MENU_BAR_HEIGHT)
        menu_follow_pointer();
    if (mouse_clicked) {
        menu_act();
        if (mouse_clicked && menu_open && !on_bar)
            close_menu();
    }
    mouse_clicked = 0;
}

enum class EntryLook {
    plain,  // a separator: never highlighted
    selectable,  // highlighted under the pointer
    unavailable,  // needs what is missing (a game): dimmed, never highlighted
};

void draw_entry(int x, int y, const char* label, const char* shortcut, EntryLook look, int check);

void draw_menu_bar()
{
    int x = 0;
    for (int n = 1; n <= MENU_COUNT; ++n)
        x = menu_title(x, MENUS[n - 1].title, menu_open && menu_number == n);
    const Menu* menu = open_menu();
    if (!menu)
        return;
    for (int i = 0; i < menu->count; ++i) {
        const MenuEntry& entry = menu->entries[i];
        if (!entry.label) {
            menu_item(menu->x, entry.y, SEPARATOR, "", false);
            continue;
        }
        const char* label = entry.label_now ? entry.label_now() : entry.label;
        if (entry.available && !entry.available())
            draw_entry(menu->x, entry.y, label, entry.shortcut, EntryLook::unavailable, -1);
        else if (entry.check)
            menu_check_item(menu->x, entry.y, label, entry.shortcut, true, entry.check());
        else
            menu_item(menu->x, entry.y, label, entry.shortcut, true);
    }
}

// One entry; check < 0 draws no check mark.
void draw_entry(int x, int y, const char* label, const char* shortcut, EntryLook look, int check)
{
    const int ws = text_width(shortcut);
    const uint32_t shadow = rgb(0, 40, 0);
    const uint32_t green = rgb(30, 255, 30);
    const bool lit = look == EntryLook::selectable && menu_hit(x, y);
    const bool dim = look == EntryLook::unavailable;
    vid_rect(x, y, x + ENTRY_WIDTH, y + ENTRY_HEIGHT, lit ? rgb(0, 128, 0) : rgb(0, 0, 128), screen_image);
    if (lit) {
        draw_text(x + 2, y + 2, shadow, label);
        draw_text(x + 98 - ws, y + 2, shadow, shortcut);
        if (check > 0)
            draw_text(x + 2, y + 2, shadow, ">");
        draw_text(x + 1, y + 1, green, label);
        draw_text(x + 97 - ws, y + 1, green, shortcut);
    } else {
        draw_text(x + 2, y + 2, rgb(40, 40, 40), label);
        draw_text(x + 1, y + 1, dim ? rgb(120, 120, 150) : rgb(220, 220, 220), label);
        draw_text(x + 98 - ws, y + 2, shadow, shortcut);
        if (check > 0)
            draw_text(x + 2, y + 2, shadow, ">");
        draw_text(x + 97 - ws, y + 1, dim ? rgb(40, 120, 40) : green, shortcut);
    }
    if (check > 0)
        draw_text(x + 1, y + 1, green, ">");
}

}  // namespace

int menu_title(int x, const char* label, bool open)
{
    const int w = text_width(label);
    vid_rect(x, 0, x + w, MENU_BAR_HEIGHT - 1, open ? rgb(0, 128, 0) : rgb(0, 0, 128), screen_image);
    draw_text(x + 1, 2, open ? rgb(0, 40, 0) : rgb(40, 40, 40), label);
    draw_text(x, 1, open ? rgb(30, 255, 30) : rgb(220, 220, 220), label);
    return x + w;
}

void menu_item(int x, int y, const char* label, const char* shortcut, bool selectable)
{
    draw_entry(x, y, label, shortcut, selectable ? EntryLook::selectable : EntryLook::plain, -1);
}

void menu_check_item(int x, int y, const char* label, const char* shortcut, bool selectable, bool check)
{
    draw_entry(x, y, label, shortcut, selectable ? EntryLook::selectable : EntryLook::plain, check ? 1 : 0);
}

bool menu_hit(int x, int y)
{
    return x <= mouse_x && mouse_x < x + ENTRY_WIDTH && y <= mouse_y && mouse_y < y + ENTRY_HEIGHT;
}

void gui_close_menus()
{
    menu_open = 0;
    menu_number = 0;
}

bool gui_takes_key(int code)
{
    if (!gui_visible)
        return false;
    const int owner = dialog_keyboard_owner();
    if (owner < 0)
        return false;
    return code != KEY_ESC || dialog_slots[owner].keys == DIALOG_KEYS_AND_ESCAPE;
}

void gui_frame()
{
    dialog_draw_all();
    // A key no window read now is dropped, so that it cannot act in a window
    // that takes the keyboard later.
    last_key.store(0, std::memory_order_relaxed);
    route_mouse();
    draw_menu_bar();
    // Glyph 43 is the arrow, its tip at the pointer.
    text_colour(0xFFFFFFFF);
    text_goto(mouse_x, mouse_y);
    text_print("+");
}
