#include "ui/key_names.h"

#include <strings.h>

const char* const key_names[KEY_NAME_COUNT] = {
    "",         "ESC",     "1",       "2",       "3",       "4",      "5",       "6",
    "7",        "8",       "9",       "0",       "-",       "=",      "BACKSP",  "TAB",
    "Q",        "W",       "E",       "R",       "T",       "Y",      "U",       "I",
    "O",        "P",       "[",       "]",       "ENTER",   "CTRL",   "A",       "S",
    "D",        "F",       "G",       "H",       "J",       "K",      "L",       ";",
    "'",        "`",       "LSHIFT",  "\\",      "Z",       "X",      "C",       "V",
    "B",        "N",       "M",       ",",       ".",       "/",      "RSHIFT",  "GREYSTAR",
    "ALT",      "SPACE",   "CAPS",    "F1",      "F2",      "F3",     "F4",      "F5",
    "F6",       "F7",      "F8",      "F9",      "F10",     "NUMLOCK", "SCRLOCK", "HOME",
    "UP",       "PGUP",    "GREYMINUS", "LEFT",  "PAD5",    "RIGHT",  "GREYPLUS", "END",
    "DOWN",     "PGDN",    "INSERT",  "DEL",     "F11",     "F12",
};

const char* key_name(int code)
{
    return code >= 0 && code < KEY_NAME_COUNT ? key_names[code] : "scancode";
}

int key_code_by_name(const char* name)
{
    for (int code = 1; code < KEY_NAME_COUNT; ++code)
        if (strcasecmp(key_names[code], name) == 0)
            return code;
    return -1;
}
