// Snapshots of the whole running machine in SMSSTATE files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

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

// The same bytes kept in memory, for snapshots that never touch a file.
// Saving gives false, and no bytes, while no machine runs.
bool SMS_SaveStateToMemory(std::vector<uint8_t>& bytes);
enum class StateVerdict {
    applied,
    applied_other_rom,
    not_a_state,
    wrong_version,
    other_board,
    other_console,
    needs_bios,
    no_machine,
};
// Nothing is applied unless the verdict is applied or applied_other_rom.
StateVerdict SMS_LoadStateFromMemory(std::span<const uint8_t> bytes);
