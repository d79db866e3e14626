// The SMSMUSIC music file: a 32-byte little-endian header (magic, version, the
// PSG state at the start of recording, the raw and compressed lengths) and
// the zlib-compressed stream of PSG bytes, where 127 ends a video frame.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "sound/psg.h"

constexpr uint8_t MUSIC_FRAME_END = 127;
constexpr size_t MUSIC_HEADER_SIZE = 32;
// The longest raw stream a player accepts, 256 MiB: an hour of a game writing
// 1,200 bytes a frame, ten hours of a busy one writing 120. A longer claim is
// a damaged file, refused before anything is allocated for it.
constexpr uint32_t MUSIC_MAX_LENGTH = 256u << 20;

struct MusicFile {
    PsgState start;  // frequencies, volumes, noise mode and latch
    std::vector<uint8_t> stream;  // the raw stream, L bytes
    // Game Gear stereo writes (VGM only), each made before the stream byte
    // at its index.
    std::vector<std::pair<size_t, uint8_t>> stereo;
    int clock_hz = 0;  // the chip's clock when the file names one
};

enum class MusicFileStatus {
    OK,
    NOT_MUSIC,  // another kind of file, or another version: skipped quietly
    DAMAGED,  // a music file that cannot be played; `error` says why
};

// The first 24 bytes: magic, version and the PSG state.
std::vector<uint8_t> music_file_header(const PsgState& start);
// A whole file: `header` (from music_file_header), then L, C and the stream
// compressed. False only when zlib fails for want of memory.
bool music_file_build(
    const std::vector<uint8_t>& header, const std::vector<uint8_t>& stream, std::vector<uint8_t>& file);
// The little-endian 32-bit number at `at`, as music files of both kinds
// hold their lengths and clocks.
uint32_t music_u32(const uint8_t* at);
// Reads a file image. The compressed length may be anything up to zlib's
// bound for the raw length, and the stream must inflate to exactly L bytes.
MusicFileStatus music_file_parse(const uint8_t* data, size_t size, MusicFile& music, std::string& error);
