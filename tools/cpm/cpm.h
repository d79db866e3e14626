// A minimal CP/M-80 machine for running .com programs (the instruction
// exercisers) on the Z80 core: 64 KB of flat RAM, the console output
// functions of the BDOS, and warm boot (a jump to 0x0000) ends the run.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

struct CpmMachine {
    uint8_t ram[0x10000];
    std::string output;  // everything the program has printed
    FILE* echo;  // when set, output is also written here as it comes
    bool finished;  // the program has ended (warm boot or BDOS 0)
    uint64_t cycles;  // T-states run since the program was loaded
};

extern CpmMachine cpm;

// Loads a .com file at 0x0100, builds the machine around it and points the
// core at it. Returns false when the file cannot be read or does not fit.
bool cpm_load(const char* path, FILE* echo);

// Runs the loaded program in Z80_Execute slices of the given size until it
// ends or max_cycles T-states have run. Returns whether it ended.
bool cpm_run(uint64_t max_cycles, int32_t slice);
