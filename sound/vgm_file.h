// VGM, the chip-music format that players everywhere read: a 64-byte header
// (version 1.50, the PSG's clock, the Sega noise generator's feedback and
// shift width) and a stream of commands: PSG writes, Game Gear stereo
// writes and waits counted in samples at 44,100 Hz. `.vgz` is the same file
// compressed with gzip.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "sound/music_file.h"

// A recording's commands as they grow: writes are kept in order, and the
// waits between them summed until the next write.
struct VgmStream {
    std::vector<uint8_t> commands;
    uint32_t samples = 0;  // all the waits so far, the pending one too
    uint32_t pending_wait = 0;
};

void vgm_psg_write(VgmStream& vgm, uint8_t value);
void vgm_stereo_write(VgmStream& vgm, uint8_t value);
void vgm_wait(VgmStream& vgm, uint32_t samples);
// The whole file: header, commands, the last wait and the end command.
std::vector<uint8_t> vgm_file_build(VgmStream vgm, int clock_hz, int frame_rate);
// gzip's form of `bytes`, as .vgz files hold it; false when zlib fails.
bool vgm_gzip(std::span<const uint8_t> bytes, std::vector<uint8_t>& packed);

// Reads a .vgm or .vgz file image into the music players replay: PSG bytes
// with a frame end every `frame_samples` samples, the Game Gear stereo
// writes beside them and the chip's clock. Other chips' commands are
// skipped; a file without the PSG is not music for us.
MusicFileStatus vgm_file_parse(
    const uint8_t* data, size_t size, int frame_samples, MusicFile& music, std::string& error);
