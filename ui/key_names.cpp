#include "ui/key_names.h"

#include <strings.h>

#include <array>

const char* const key_names[KEY_NAME_COUNT] = {
    "",
    "ESC",
    "1",
    "2",
    "3",
    "4",
    "5",
    "6",
    "7",
    "8",
    "9",
    "0",
    "-",
    "=",
    "BACKSP",
    "TAB",
    "Q",
    "W",
    "E",
    "R",
    "T",
    "Y",
    "U",
    "I",
    "O",
    "P",
    "[",
    "]",
    "ENTER",
    "CTRL",
    "A",
    "S",
    "D",
    "F",
    "G",
    "H",
    "J",
    "K",
    "L",
    ";",
    "'",
    "`",
    "LSHIFT",
    "\\",
    "Z",
    "X",
    "C",
    "V",
    "B",
    "N",
    "M",
    ",",
    ".",
    "/",
    "RSHIFT",
    "GREYSTAR",
    "ALT",
    "SPACE",
    "CAPS",
    "F1",
    "F2",
    "F3",
    "F4",
    "F5",
    "F6",
    "F7",
    "F8",
    "F9",
    "F10",
    "NUMLOCK",
    "SCRLOCK",
    "HOME",
    "UP",
    "PGUP",
    "GREYMINUS",
    "LEFT",
    "PAD5",
    "RIGHT",
    "GREYPLUS",
    "END",
    "DOWN",
    "PGDN",
    "INSERT",
    "DEL",
    // SysRq, a code no key sends, and the 102nd key of European keyboards:
    // shown by number.
    "",
    "",
    "",
    "F11",
    "F12",
};

const char* key_name(int code)
{
    return code >= 0 && code < KEY_NAME_COUNT && (code == 0 || key_names[code][0]) ? key_names[code] : "scancode";
}

int key_code_by_name(const char* name)
{
    for (int code = 1; code < KEY_NAME_COUNT; ++code)
        if (key_names[code][0] && strcasecmp(key_names[code], name) == 0)
            return code;
    return -1;
}

namespace {

constexpr void put(std::array<char, 2 * KEY_CHAR_HALF>& t, int half, int first, const char* text)
{
    for (int i = 0; text[i]; ++i)
        t[half * KEY_CHAR_HALF + first + i] = text[i];
}

constexpr std::array<char, 2 * KEY_CHAR_HALF> make_key_chars()
{
    std::array<char, 2 * KEY_CHAR_HALF> t {};
    constexpr int SHIFTED = KEY_CHAR_HALF;
    put(t, 0, 2, "1234567890-=");
    put(t, 1, 2, "!@#$%^&*()_+");
    put(t, 0, 16, "qwertyuiop[]");
    put(t, 1, 16, "QWERTYUIOP{}");
    put(t, 0, 30, "asdfghjkl;'");
    put(t, 1, 30, "ASDFGHJKL:\"");
    put(t, 0, 43, "\\");
    put(t, 1, 43, "|");
    put(t, 0, 44, "zxcvbnm,./");
    put(t, 1, 44, "ZXCVBNM<>?");
    for (int half : {0, SHIFTED}) {
        t[half + 55] = '*';
        t[half + 57] = ' ';
        t[half + 74] = '-';
        t[half + 78] = '+';
        t[half + 98] = '/';
        t[half + 122] = '/';
        t[half + 83] = 0x7F;
        t[half + 111] = 0x7F;
    }
    // Keys that edit or do nothing in a name: control characters.
    t[14] = 0x08;
    t[15] = 0x09;
    t[28] = 0x0D;
    t[96] = 0x0D;
    for (int code : {59, 60, 61, 62, 64, 65, 66, 67, 68, 87, 88})
        t[code] = 0x03;
    t[63] = 0x08;
    t[86] = '\\';
    for (int code : {14, 15, 28})
        t[SHIFTED + code] = '~';
    for (int code : {59, 60, 61, 62, 63, 64, 65, 66, 67, 68, 82, 87, 88})
        t[SHIFTED + code] = 0x01;
    t[SHIFTED + 96] = 0x0D;
    return t;
}

}  // namespace

const std::array<char, 2 * KEY_CHAR_HALF> key_chars = make_key_chars();
