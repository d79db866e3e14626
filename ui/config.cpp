#include "ui/config.h"

#include "host/file.h"
#include "machine/cartridge.h"

#include <cctype>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

const char* config_path = "tarven.cfg";
const char* const CONSOLE_WORDS[4] = {"auto", "mastersystem", "mastersystem2", "gamegear"};

namespace {

// Longer words are cut to this length; the rest of such a word is dropped.
constexpr int WORD_MAX = 99;

enum KeywordKind {
    KEY_FLAG,  // sets a switch
    KEY_CHOICE,  // sets a number to a fixed value
    KEY_NUMBER,  // reads a number, refused outside low..high
    KEY_DEPTH,  // reads a colour depth, anything but 32 meaning 16
    KEY_WORD,  // reads one of a list of words, low..high its indices
    KEY_MAPPER,  // reads a game's checksum and the board chosen for it
    KEY_BIOS,  // takes the rest of the line as the BIOS file's name
};

struct Keyword {
    const char* name;
    KeywordKind kind;
    bool* flag;
    int32_t* number;
    int32_t low;  // the value a flag or choice sets; the smallest number accepted
    int32_t high;
    const char* const* words = nullptr;  // KEY_WORD's, by value
};

constexpr int32_t SCAN_CODE_MAX = 255;  // codes index the 256-entry key state
constexpr int32_t BUTTON_MAX = 11;  // a joystick reports twelve buttons

// Indexed by PlayerDevice.
const char* const DEVICE_WORDS[]
    = {"none", "keyboard", "joystick1", "joystick2", "paddle", "paddle1", "paddle2", "lightgun"};

// Matched in this order: an unknown word after "player1" is tried as a
// keyword from "player2" on.
const Keyword KEYWORDS[] = {
    {"windowed", KEY_FLAG, &settings.fullscreen, nullptr, 0, 0},
    {"fullscreen", KEY_FLAG, &settings.fullscreen, nullptr, 1, 0},
    {"bpp", KEY_DEPTH, nullptr, &settings.bpp, 0, 0},
    {"xres", KEY_NUMBER, nullptr, &settings.xres, 1, INT32_MAX},
    {"yres", KEY_NUMBER, nullptr, &settings.yres, 1, INT32_MAX},
    {"ntsc", KEY_CHOICE, nullptr, &settings.frame_rate, 60, 0},
    {"pal", KEY_CHOICE, nullptr, &settings.frame_rate, 50, 0},
    {"japan", KEY_FLAG, &settings.usa, nullptr, 0, 0},
    {"usa", KEY_FLAG, &settings.usa, nullptr, 1, 0},
    {"nosound", KEY_FLAG, &settings.sound, nullptr, 0, 0},
    {"console", KEY_WORD, nullptr, &settings.console, CONSOLE_BY_CARTRIDGE, CONSOLE_GAME_GEAR, CONSOLE_WORDS},
    {"player1", KEY_WORD, nullptr, &settings.player1, DEVICE_NONE, DEVICE_LIGHTGUN, DEVICE_WORDS},
    {"player2", KEY_WORD, nullptr, &settings.player2, DEVICE_NONE, DEVICE_LIGHTGUN, DEVICE_WORDS},
    {"kup", KEY_NUMBER, nullptr, &settings.kup, 0, SCAN_CODE_MAX},
    {"kdown", KEY_NUMBER, nullptr, &settings.kdown, 0, SCAN_CODE_MAX},
    {"kleft", KEY_NUMBER, nullptr, &settings.kleft, 0, SCAN_CODE_MAX},
    {"kright", KEY_NUMBER, nullptr, &settings.kright, 0, SCAN_CODE_MAX},
    {"kb1", KEY_NUMBER, nullptr, &settings.kb1, 0, SCAN_CODE_MAX},
    {"kb2", KEY_NUMBER, nullptr, &settings.kb2, 0, SCAN_CODE_MAX},
    {"kpause", KEY_NUMBER, nullptr, &settings.kpause, 0, SCAN_CODE_MAX},
    {"j1b1", KEY_NUMBER, nullptr, &settings.j1b1, 0, BUTTON_MAX},
    {"j1b2", KEY_NUMBER, nullptr, &settings.j1b2, 0, BUTTON_MAX},
    {"j1pause", KEY_NUMBER, nullptr, &settings.j1pause, 0, BUTTON_MAX},
    {"j2b1", KEY_NUMBER, nullptr, &settings.j2b1, 0, BUTTON_MAX},
    {"j2b2", KEY_NUMBER, nullptr, &settings.j2b2, 0, BUTTON_MAX},
    {"j2pause", KEY_NUMBER, nullptr, &settings.j2pause, 0, BUTTON_MAX},
    {"clock", KEY_FLAG, &settings.clock, nullptr, 1, 0},
    {"nopopups", KEY_FLAG, &settings.popups, nullptr, 0, 0},
    {"nospritelimit", KEY_FLAG, &settings.sprite_limit, nullptr, 0, 0},
    {"ggspeaker", KEY_FLAG, &settings.gg_speaker, nullptr, 1, 0},
    {"mapper", KEY_MAPPER, nullptr, nullptr, 0, 0},
    {"bios", KEY_BIOS, nullptr, nullptr, 0, 0},
};
constexpr size_t KEYWORD_COUNT = sizeof KEYWORDS / sizeof KEYWORDS[0];

// Reads the next whitespace-delimited word into word (WORD_MAX + 1 bytes).
// The delimiter is left in the stream so that a comment word can still skip
// exactly the rest of its own line.
bool read_word(FILE* file, char* word)
{
    int c;
    do
        c = std::getc(file);
    while (c != EOF && std::isspace(c));
    if (c == EOF)
        return false;
    int length = 0;
    for (; c != EOF && !std::isspace(c); c = std::getc(file)) {
        if (length < WORD_MAX)
            word[length++] = static_cast<char>(c);
    }
    word[length] = '\0';
    if (c != EOF)
        std::ungetc(c, file);
    return true;
}

void skip_line(FILE* file)
{
    int c;
    do
        c = std::getc(file);
    while (c != EOF && c != '\n');
}

// A signed decimal number after optional whitespace. Whatever follows the
// digits stays in the stream; a number that does not fit is not read.
bool read_number(FILE* file, int32_t* result)
{
    int c;
    do
        c = std::getc(file);
    while (c != EOF && std::isspace(c));
    const bool negative = c == '-';
    if (c == '-' || c == '+')
        c = std::getc(file);
    if (!std::isdigit(c)) {
        if (c != EOF)
            std::ungetc(c, file);
        return false;
    }
    int64_t value = 0;
    for (; std::isdigit(c); c = std::getc(file)) {
        if (value <= INT32_MAX)  // stays above the limit once past it
            value = value * 10 + (c - '0');
    }
    if (c != EOF)
        std::ungetc(c, file);
    if (negative)
        value = -value;
    if (value < INT32_MIN || value > INT32_MAX)
        return false;
    *result = static_cast<int32_t>(value);
    return true;
}

void fold_case(char* word)
{
    for (; *word; ++word) {
        if (*word >= 'A' && *word <= 'Z')
            *word = static_cast<char>(*word - 'A' + 'a');
    }
}

// The index of `word` among words[low..high]; -1 when it is none of them.
int32_t word_index(const char* const* words, int32_t low, int32_t high, const char* word)
{
    for (int32_t index = low; index <= high; ++index)
        if (std::strcmp(word, words[index]) == 0)
            return index;
    return -1;
}

// Acts on a keyword, looking for it from KEYWORDS[first] on.
void apply_keyword(FILE* file, const char* word, size_t first)
{
    for (size_t i = first; i < KEYWORD_COUNT; ++i) {
        const Keyword& key = KEYWORDS[i];
        if (std::strcmp(word, key.name) != 0)
            continue;
        int32_t value;
        switch (key.kind) {
        case KEY_FLAG:
            *key.flag = key.low != 0;
            break;
        case KEY_CHOICE:
            *key.number = key.low;
            break;
        case KEY_NUMBER:
            if (read_number(file, &value) && value >= key.low && value <= key.high)
                *key.number = value;
            break;
        case KEY_DEPTH:
            if (read_number(file, &value))
                *key.number = value;
            if (*key.number != 32)
                *key.number = 16;
            break;
        case KEY_MAPPER: {
            char name[WORD_MAX + 1];
            int32_t mapper = MAPPER_AUTO;
            if (!read_number(file, &value) || !read_word(file, name) || !SMS_MapperFromName(name, mapper)
                || mapper == MAPPER_AUTO)
                break;
            // A later line for the same game wins.
            std::erase_if(settings.mapper_choices, [&](const MapperChoice& c) { return c.rom_checksum == value; });
            settings.mapper_choices.push_back({value, mapper});
            break;
        }
        case KEY_BIOS: {
            std::string line;
            for (int c = std::getc(file); c != EOF && c != '\n'; c = std::getc(file))
                line += static_cast<char>(c);
            // The writer ends every line with a space; a name keeps its inner ones.
            const size_t first = line.find_first_not_of(" \t\r");
            const size_t last = line.find_last_not_of(" \t\r");
            settings.bios = first == std::string::npos ? "" : line.substr(first, last - first + 1);
            break;
        }
        case KEY_WORD: {
            char next[WORD_MAX + 1];
            if (!read_word(file, next))
                break;
            // "player1 ; ..." names no device: the rest is a comment.
            if (next[0] == ';') {
                skip_line(file);
                break;
            }
            fold_case(next);
            const int32_t index = word_index(key.words, key.low, key.high, next);
            if (index >= 0) {
                *key.number = index;
                return;
            }
            apply_keyword(file, next, i + 1);
            break;
        }
        }
        return;
    }
}

const char* device_word(int32_t device)
{
    return device >= DEVICE_NONE && device <= DEVICE_LIGHTGUN ? DEVICE_WORDS[device] : "none";
}

const char* console_word(int32_t console)
{
    return console >= CONSOLE_BY_CARTRIDGE && console <= CONSOLE_GAME_GEAR ? CONSOLE_WORDS[console] : "auto";
}

// Every line of the file ends with a space before the line break.
__attribute__((format(printf, 2, 3))) void put_line(FILE* file, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    std::vfprintf(file, format, args);
    va_end(args);
    std::fputs(" \n", file);
}

// Comment lines; an empty text is an empty line, without the space.
template <size_t N>
void put_block(FILE* file, const char* const (&lines)[N])
{
    for (const char* text : lines) {
        if (*text)
            put_line(file, "%s", text);
        else
            std::fputc('\n', file);
    }
}

const char* const HEADER_BLOCK[] = {
    "; *********************",
    "; TARVEN -- Config file",
    "; *********************",
    "",
    "; tarven rewrites this file at every exit, keeping the settings and",
    "; putting these comments back. It reads tarven.cfg from the current",
    "; folder when there is one, else from ~/.config/tarven.",
    "",
    "; Graphics options.",
    "; - 'fullscreen' or 'windowed' (Alt+Enter switches)",
    "; - bpp 16 or 32: the colour depth of the picture; 32 shows every",
    ";   colour exactly, 16 rounds them slightly. Any other value is 16.",
    "; - xres <width>",
    "; - yres <height>",
    "",
    "; xres and yres give the size of the screen the menus are drawn on in",
    "; full screen; the game's picture is scaled to fill the display either",
    "; way. In a window, these values are ignored.",
    "",
};
const char* const MACHINE_BLOCK[] = {
    "; Console.",
    "; 'pal' or 'ntsc' (50 Hz or 60 Hz)",
    "; 'japan' or 'usa' (the console's region, which some games read)",
    "",
};
const char* const PLAYER_BLOCK[] = {
    "; Control setup. For players 1 and 2, valid control",
    "; options are 'none', 'keyboard', 'joystick1' and 'joystick2'.",
    "",
};
const char* const KEYBOARD_BLOCK[] = {
    "; Keyboard control setup. Key values are PC scan codes (set 1);",
    "; Settings, Config Keyboard... sets them by pressing the keys.",
    "",
};
const char* const JOYSTICK_BLOCK[] = {
    "; Joystick control setup. Directional controls are fixed,",
    "; only buttons are remappable. Values are button numbers, from 0.",
    "",
};
const char* const OPTIONS_BLOCK[] = {
    "; options:",
    "; - 'nosound'",
    "; - 'clock'",
    "; - 'nopopups'",
    "",
};

const char* const CARTRIDGE_BLOCK[] = {
    "; Cartridges:",
    "; - 'bios <file>' starts the Master System in that BIOS image",
    "; - 'mapper <ROM checksum> <board>' runs one game on the board chosen",
    ";   in the CPU menu: sega, codemasters, korean or none",
    "",
};

void write_settings(FILE* file)
{
    put_block(file, HEADER_BLOCK);
    put_line(file, "bpp %d", settings.bpp);
    put_line(file, "%s", settings.fullscreen ? "fullscreen" : "windowed");
    put_line(file, "xres %d", settings.xres);
    put_line(file, "yres %d", settings.yres);
    std::fputc('\n', file);

    put_block(file, MACHINE_BLOCK);
    put_line(file, "%s", settings.frame_rate == 50 ? "pal" : "ntsc");
    put_line(file, "%s", settings.usa ? "usa" : "japan");
    // Written only when chosen, so that a file of the default settings
    // stays what older versions wrote.
    if (settings.console != CONSOLE_BY_CARTRIDGE)
        put_line(file, "console %s", console_word(settings.console));
    std::fputc('\n', file);

    put_block(file, PLAYER_BLOCK);
    put_line(file, "player1 %s", device_word(settings.player1));
    put_line(file, "player2 %s", device_word(settings.player2));
    std::fputc('\n', file);

    put_block(file, KEYBOARD_BLOCK);
    put_line(file, "kUP %d", settings.kup);
    put_line(file, "kDOWN %d", settings.kdown);
    put_line(file, "kLEFT %d", settings.kleft);
    put_line(file, "kRIGHT %d", settings.kright);
    put_line(file, "kB1 %d", settings.kb1);
    put_line(file, "kB2 %d", settings.kb2);
    put_line(file, "kPAUSE %d", settings.kpause);
    std::fputc('\n', file);

    put_block(file, JOYSTICK_BLOCK);
    put_line(file, "j1B1 %d", settings.j1b1);
    put_line(file, "j1B2 %d", settings.j1b2);
    put_line(file, "j1PAUSE %d", settings.j1pause);
    std::fputc('\n', file);
    put_line(file, "j2B1 %d", settings.j2b1);
    put_line(file, "j2B2 %d", settings.j2b2);
    put_line(file, "j2PAUSE %d", settings.j2pause);
    std::fputc('\n', file);

    put_block(file, OPTIONS_BLOCK);
    if (!settings.sound)
        put_line(file, "nosound");
    if (settings.clock)
        put_line(file, "clock");
    if (!settings.popups)
        put_line(file, "nopopups");
    if (!settings.sprite_limit)
        put_line(file, "nospritelimit");
    if (settings.gg_speaker)
        put_line(file, "ggspeaker");

    // Written only when set, so that a file without them stays as it was.
    if (settings.bios.empty() && settings.mapper_choices.empty())
        return;
    std::fputc('\n', file);
    put_block(file, CARTRIDGE_BLOCK);
    if (!settings.bios.empty())
        put_line(file, "bios %s", settings.bios.c_str());
    for (const MapperChoice& choice : settings.mapper_choices)
        put_line(file, "mapper %d %s", choice.rom_checksum, SMS_MapperName(choice.mapper));
}

}  // namespace

int32_t config_device_by_word(const char* word)
{
    return word_index(DEVICE_WORDS, DEVICE_NONE, DEVICE_LIGHTGUN, word);
}

void config_read()
{
    if (!config_path)
        return;
    FILE* file = open_regular_file(config_path);
    if (!file)
        return;
    char word[WORD_MAX + 1];
    while (read_word(file, word)) {
        if (word[0] == ';') {
            skip_line(file);
            continue;
        }
        fold_case(word);
        apply_keyword(file, word, 0);
    }
    std::fclose(file);
}

void config_write()
{
    if (!config_path)
        return;
    write_user_file(config_path, [](FILE* file) {
        write_settings(file);
        return true;
    });
}
