// The main loop and the scanline scheduler.
#pragma once

#include <cstdint>
#include <string>

constexpr int CYCLES_PER_LINE = 228;

extern int16_t line_budget;
extern bool gui_visible;
extern bool quit_run;
extern int32_t state_slot;
extern int32_t slot_popup_until;
extern std::string message;
extern int32_t message_until;
extern int32_t frame_count;
extern int32_t fps;

// Loads the ROM at `rom_path` (none when it is empty), then runs the main loop
// for ever.
[[noreturn]] void SMS_Start(const char* rom_path);
// Runs until quit_run is set while a ROM is loaded.
void SMS_Run();
// Runs on until quit_run is set, from where the last run stopped: the cycles
// the last line took beyond its budget come off the next line's, as within a
// run, so a run cut into pieces times the machine as one run does.
void SMS_RunOn();
// One scanline's work after the CPU has run that line.
void SMS_Scanline();
// Shows a message in the popup for 150 timer ticks, a long one longer.
void show_message(const std::string& text);
