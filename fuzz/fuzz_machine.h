// What the fuzz targets share: a scratch folder that is the current
// directory for the whole run, and a headless machine to run what a reader
// produced.
#pragma once

#include <stdlib.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

#include "host/draw.h"
#include "host/headless/headless.h"
#include "machine/machine.h"
#include "machine/scheduler.h"
#include "ui/config.h"

// Every file a target writes lands in a folder of its own, removed at exit.
inline void fuzz_enter_scratch_folder()
{
    static std::string folder = (std::filesystem::temp_directory_path() / "tarven-fuzz-XXXXXX").string();
    if (!mkdtemp(folder.data()))
        std::abort();
    std::filesystem::current_path(folder);
    std::atexit([] {
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    });
}

inline void fuzz_write_file(const char* name, const uint8_t* data, size_t size)
{
    FILE* file = std::fopen(name, "wb");
    if (!file || std::fwrite(data, 1, size, file) != size || std::fclose(file) != 0)
        std::abort();
}

// The headless machine with no settings file, drawing 32-bit pixels.
inline void fuzz_start_machine()
{
    fuzz_enter_scratch_folder();
    config_path = nullptr;
    settings = Settings {};
    headless_video_start(32);
    video_active = 1;
    gui_visible = false;
    SMS_SetupCPU();
}

// Loads the cartridge in `rom_file` from power-on, with no cartridge RAM
// left from an earlier input.
inline void fuzz_boot(const char* rom_file)
{
    SMS_FreeMachine();
    std::remove("fuzz.SAV");
    SMS_LoadROM(rom_file);
    SMS_InitMachine();
}

// Runs `frames` frames of the machine as it stands.
inline void fuzz_run_frames(int frames)
{
    static int last_frame;
    last_frame = headless_frame() + frames;
    headless_frame_hook = [](int frame) {
        if (frame >= last_frame)
            quit_run = true;
    };
    quit_run = false;
    SMS_Run();
}
