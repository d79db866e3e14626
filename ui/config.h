// The user's settings file, "tarven.cfg", commented text.
#pragma once

#include "machine/settings.h"

// The file the program keeps its settings in; null for a program that keeps
// none (the reader then keeps the defaults and the writer writes nothing).
extern const char* config_path;

// Overwrites the settings with whatever the file names; a missing file keeps
// them as they are.
void config_read();
// Rewrites the whole file, comments included, from the current settings.
void config_write();
// The device a player word of the file names ("none", "keyboard",
// "joystick1", "joystick2", "paddle", "paddle1", "paddle2", "lightgun"; lower
// case); -1 for none of them.
int32_t config_device_by_word(const char* word);

// The settings file's word for each console setting, indexed by Console.
extern const char* const CONSOLE_WORDS[4];
