// Recording of the music: every byte the game writes to the PSG, and the end
// of each video frame, into an SMSMUSIC music file (127 ends a frame) or a
// VGM file (which also keeps the Game Gear's stereo writes).
#pragma once

#include <cstdint>
#include <string>

// The temporary file a finished recording waits in until it is named.
constexpr const char* PSG_LOG_TEMPORARY = "music.$$$";

enum class PsgLogFormat { SMSMUSIC, VGM };

extern bool psg_logging;
// The kind of the recording running or last finished.
extern PsgLogFormat psg_log_format;

// Starts recording, with the PSG state as it is now, when nothing is being
// recorded and "music.$$$" can be created. Callers start it only while a
// game runs.
void psg_log_start(PsgLogFormat format = PsgLogFormat::SMSMUSIC);
void psg_log_byte(uint8_t value);
// A Game Gear stereo write: kept by VGM recordings only.
void psg_log_stereo(uint8_t value);
// Marks the end of a video frame.
void psg_log_frame();
// Ends the recording and leaves the complete file in "music.$$$".
void psg_log_stop();
// The name a finished recording is offered under: the game's PSG file name,
// ending in .vgm for a VGM recording.
std::string psg_log_offered_name(const std::string& psg_file);
// Gives the finished recording in "music.$$$" its name, compressed with
// gzip when a VGM recording's name ends in .vgz; true once it is there.
bool psg_log_save(const std::string& path);
