// Names of the keys by scan code, as the key configuration shows them.
#pragma once

#include <array>

constexpr int KEY_NAME_COUNT = 89;

// Index 0 is the empty name; codes with an empty name, and those from
// KEY_NAME_COUNT up, have none.
extern const char* const key_names[KEY_NAME_COUNT];

// The name shown for a scan code: its table name, or "scancode" without one.
const char* key_name(int code);
// The scan code with this name (case-insensitive), or -1.
int key_code_by_name(const char* name);

constexpr int KEY_CHAR_HALF = 128;

// The characters the keys type into a file name, by scan code: the
// unshifted half, then the shifted half (US layout). 0 types nothing;
// control characters stand for keys that edit rather than type.
extern const std::array<char, 2 * KEY_CHAR_HALF> key_chars;
