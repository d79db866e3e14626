// Every character of a US keyboard can be typed into the Save PSG dialog's
// name, with and without Shift, and ends up in the saved file's name; keys
// that command rather than type add nothing; the Save button saves.
#include <filesystem>
#include <fstream>
#include <string>

#include "gui_driver.h"
#include "sound/psg_log.h"

namespace fs = std::filesystem;

namespace {

// Set-1 scan codes of the typing keys and what they type, unshifted and shifted.
struct TypingKey {
    int code;
    char plain;
    char shifted;
};

constexpr TypingKey TYPING_KEYS[] = {{2, '1', '!'}, {3, '2', '@'}, {4, '3', '#'}, {5, '4', '$'}, {6, '5', '%'},
    {7, '6', '^'}, {8, '7', '&'}, {9, '8', '*'}, {10, '9', '('}, {11, '0', ')'}, {12, '-', '_'}, {13, '=', '+'},
    {16, 'q', 'Q'}, {17, 'w', 'W'}, {18, 'e', 'E'}, {19, 'r', 'R'}, {20, 't', 'T'}, {21, 'y', 'Y'}, {22, 'u', 'U'},
    {23, 'i', 'I'}, {24, 'o', 'O'}, {25, 'p', 'P'}, {26, '[', '{'}, {27, ']', '}'}, {30, 'a', 'A'}, {31, 's', 'S'},
    {32, 'd', 'D'}, {33, 'f', 'F'}, {34, 'g', 'G'}, {35, 'h', 'H'}, {36, 'j', 'J'}, {37, 'k', 'K'}, {38, 'l', 'L'},
    {39, ';', ':'}, {40, '\'', '"'}, {43, '\\', '|'}, {44, 'z', 'Z'}, {45, 'x', 'X'}, {46, 'c', 'C'}, {47, 'v', 'V'},
    {48, 'b', 'B'}, {49, 'n', 'N'}, {50, 'm', 'M'}, {51, ',', '<'}, {52, '.', '>'}, {53, '/', '?'}, {55, '*', '*'},
    {57, ' ', ' '}, {74, '-', '-'}, {78, '+', '+'}};

class SavePsgKeys : public GuiDriver {
protected:
    // Names the recording "d" + what `code` types + "x" and saves it with
    // Enter; the folder "d" takes the one name made with a slash.
    static void name_with(int code, bool shift)
    {
        std::ofstream(PSG_LOG_TEMPORARY) << "log";
        gui_open_save_psg("d");
        key_state[KEY_LSHIFT].store(shift ? 0x80 : 0);
        tap(code);
        key_state[KEY_LSHIFT].store(0);
        tap(45);  // x
        tap(KEY_ENTER);
    }
};

TEST_F(SavePsgKeys, EveryCharacterOfTheKeyboardTypesIntoTheName)
{
    fs::create_directory("d");
    for (const TypingKey& key : TYPING_KEYS) {
        for (const bool shift : {false, true}) {
            name_with(key.code, shift);
            const std::string name = std::string("d") + (shift ? key.shifted : key.plain) + "x";
            EXPECT_TRUE(fs::exists(name))
                << "key " << key.code << (shift ? " with Shift" : "") << " should type " << name;
            fs::remove(name);
            EXPECT_FALSE(dialog_slots[0].in_use);
        }
    }
    // Nothing else was made: no key typed a character of another.
    EXPECT_TRUE(fs::is_empty("d"));
    EXPECT_EQ(std::distance(fs::directory_iterator("."), fs::directory_iterator()), 1);
}

TEST_F(SavePsgKeys, KeysThatEditOrCommandTypeNothing)
{
    fs::create_directory("d");
    // Ctrl, Alt, Caps Lock, F1-F12, Escape, with or without Shift, and Tab
    // (Shift with Tab types a tilde, as on the keyboards the table follows).
    for (const int code : {29, 56, 58, 59, 63, 68, 87, 88, 1, 15}) {
        for (const bool shift : {false, true}) {
            if (code == 15 && shift)
                continue;
            name_with(code, shift);
            EXPECT_TRUE(fs::exists("dx")) << "key " << code << (shift ? " with Shift" : "");
            fs::remove("dx");
        }
    }
}

TEST_F(SavePsgKeys, TheSaveButtonSavesLikeEnter)
{
    std::ofstream(PSG_LOG_TEMPORARY) << "log";
    gui_open_save_psg("tune.PSG");
    gui_click(50 + 70, 40 + 38);
    EXPECT_TRUE(fs::exists("tune.PSG"));
    EXPECT_FALSE(fs::exists(PSG_LOG_TEMPORARY));
    EXPECT_FALSE(dialog_slots[0].in_use);
}

}  // namespace
