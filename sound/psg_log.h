// Recording of PSG writes into an SMSMUSIC music file: every byte the game
// writes to the PSG, and 127 at the end of each video frame.
#pragma once

#include <cstdint>

// The temporary file a finished recording waits in until it is named.
constexpr const char* PSG_LOG_TEMPORARY = "music.$$$";

extern bool psg_logging;

// Starts recording, with the PSG state as it is now, when nothing is being
// recorded and "music.$$$" can be created. Callers start it only while a
// game runs.
void psg_log_start();
void psg_log_byte(uint8_t value);
// Marks the end of a video frame.
void psg_log_frame();
// Ends the recording and leaves the complete file in "music.$$$".
void psg_log_stop();
