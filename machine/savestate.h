// Snapshots of the whole running machine in SMSSTATE files.
#pragma once

#include <cstddef>

// File sizes without and with the two cartridge RAM banks.
constexpr size_t SAVESTATE_SIZE = 24732;
constexpr size_t SAVESTATE_SIZE_WITH_CART_RAM = 57500;

// Save and load the selected slot (machine.state_file).
void SMS_SaveState();
void SMS_LoadState();
// The same through an explicit file name; true when the state was written
// or applied (the popup message says what happened either way).
bool SMS_SaveStateTo(const char* path);
bool SMS_LoadStateFrom(const char* path);
