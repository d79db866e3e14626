#include "sound/vgm_file.h"

#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

constexpr uint32_t VERSION = 0x150;
constexpr size_t HEADER_SIZE = 0x40;
constexpr size_t DATA_OFFSET_AT = 0x34;
// The Sega chip's noise: feedback from bits 0 and 3 of a 16-bit register.
constexpr uint16_t SEGA_FEEDBACK = 0x0009;
constexpr uint8_t SEGA_SHIFT_WIDTH = 16;
// The clocks a PSG has ever run at lie well inside these.
constexpr uint32_t CLOCK_MIN = 100000;
constexpr uint32_t CLOCK_MAX = 20000000;

enum Command : uint8_t {
    GG_STEREO = 0x4F,
    PSG_WRITE = 0x50,
    WAIT = 0x61,
    WAIT_NTSC_FRAME = 0x62,
    WAIT_PAL_FRAME = 0x63,
    END = 0x66,
    DATA_BLOCK = 0x67,
};
constexpr uint16_t NTSC_FRAME = 735;
constexpr uint16_t PAL_FRAME = 882;

void put_u32(uint8_t* at, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        at[i] = static_cast<uint8_t>(value >> (8 * i));
}

void flush_wait(VgmStream& vgm)
{
    while (vgm.pending_wait > 0) {
        const uint32_t chunk = std::min<uint32_t>(vgm.pending_wait, 0xFFFF);
        if (chunk == NTSC_FRAME)
            vgm.commands.push_back(WAIT_NTSC_FRAME);
        else if (chunk == PAL_FRAME)
            vgm.commands.push_back(WAIT_PAL_FRAME);
        else
            vgm.commands.insert(
                vgm.commands.end(), {WAIT, static_cast<uint8_t>(chunk), static_cast<uint8_t>(chunk >> 8)});
        vgm.pending_wait -= chunk;
    }
}

void write_command(VgmStream& vgm, uint8_t command, uint8_t value)
{
    // A recording longer than any player accepts ends there.
    if (vgm.commands.size() >= MUSIC_MAX_LENGTH)
        return;
    flush_wait(vgm);
    vgm.commands.push_back(command);
    vgm.commands.push_back(value);
}

// Inflates a gzip image, up to the longest stream a player accepts.
bool gunzip(const uint8_t* data, size_t size, std::vector<uint8_t>& out, std::string& error)
{
    z_stream z {};
    if (inflateInit2(&z, 15 + 16) != Z_OK) {
        error = "out of memory";
        return false;
    }
    z.next_in = const_cast<Bytef*>(data);
    z.avail_in = static_cast<uInt>(std::min<size_t>(size, UINT32_MAX));
    int result = Z_OK;
    while (result == Z_OK) {
        if (out.size() >= MUSIC_MAX_LENGTH) {
            error = "compressed file longer than any recording";
            break;
        }
        const size_t done = out.size();
        out.resize(std::min<size_t>(done + (1 << 20), MUSIC_MAX_LENGTH));
        z.next_out = out.data() + done;
        z.avail_out = static_cast<uInt>(out.size() - done);
        result = inflate(&z, Z_NO_FLUSH);
        out.resize(out.size() - z.avail_out);
        if (result == Z_BUF_ERROR && z.avail_in > 0 && z.avail_out == 0)
            result = Z_OK;
    }
    inflateEnd(&z);
    if (result != Z_STREAM_END && error.empty())
        error = "compressed data damaged or cut short";
    return result == Z_STREAM_END;
}

// The operand bytes of every command but the PSG's, the waits and the data
// block; -1 for a command no version defines.
int operand_count(uint8_t command)
{
    if (command >= 0x30 && command <= 0x3F)
        return 1;
    if ((command >= 0x40 && command <= 0x5F) || (command >= 0xA0 && command <= 0xBF))
        return 2;
    if (command >= 0xC0 && command <= 0xDF)
        return 3;
    if (command >= 0xE0)
        return 4;
    switch (command) {
    case 0x68:
        return 11;
    case 0x90:
    case 0x91:
    case 0x95:
        return 4;
    case 0x92:
        return 5;
    case 0x93:
        return 10;
    case 0x94:
        return 1;
    default:
        return -1;
    }
}

MusicFileStatus damaged(std::string& error, const std::string& why)
{
    error = why;
    return MusicFileStatus::DAMAGED;
}

}  // namespace

void vgm_psg_write(VgmStream& vgm, uint8_t value)
{
    write_command(vgm, PSG_WRITE, value);
}

void vgm_stereo_write(VgmStream& vgm, uint8_t value)
{
    write_command(vgm, GG_STEREO, value);
}

void vgm_wait(VgmStream& vgm, uint32_t samples)
{
    vgm.samples += samples;
    vgm.pending_wait += samples;
}

std::vector<uint8_t> vgm_file_build(VgmStream vgm, int clock_hz, int frame_rate)
{
    flush_wait(vgm);
    std::vector<uint8_t> file(HEADER_SIZE + vgm.commands.size() + 1, 0);
    std::copy(vgm.commands.begin(), vgm.commands.end(), file.begin() + HEADER_SIZE);
    file.back() = END;
    std::memcpy(file.data(), "Vgm ", 4);
    put_u32(&file[0x04], static_cast<uint32_t>(file.size() - 4));
    put_u32(&file[0x08], VERSION);
    put_u32(&file[0x0C], static_cast<uint32_t>(clock_hz));
    put_u32(&file[0x18], vgm.samples);
    put_u32(&file[0x24], static_cast<uint32_t>(frame_rate));
    file[0x28] = static_cast<uint8_t>(SEGA_FEEDBACK);
    file[0x29] = static_cast<uint8_t>(SEGA_FEEDBACK >> 8);
    file[0x2A] = SEGA_SHIFT_WIDTH;
    put_u32(&file[DATA_OFFSET_AT], static_cast<uint32_t>(HEADER_SIZE - DATA_OFFSET_AT));
    return file;
}

bool vgm_gzip(std::span<const uint8_t> bytes, std::vector<uint8_t>& packed)
{
    z_stream z {};
    if (deflateInit2(&z, Z_BEST_COMPRESSION, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        return false;
    packed.resize(deflateBound(&z, static_cast<uLong>(bytes.size())));
    z.next_in = const_cast<Bytef*>(bytes.data());
    z.avail_in = static_cast<uInt>(bytes.size());
    z.next_out = packed.data();
    z.avail_out = static_cast<uInt>(packed.size());
    const bool done = deflate(&z, Z_FINISH) == Z_STREAM_END;
    packed.resize(z.total_out);
    deflateEnd(&z);
    return done;
}

MusicFileStatus vgm_file_parse(
    const uint8_t* data, size_t size, int frame_samples, MusicFile& music, std::string& error)
{
    std::vector<uint8_t> inflated;
    if (size >= 2 && data[0] == 0x1F && data[1] == 0x8B) {
        if (!gunzip(data, size, inflated, error))
            return MusicFileStatus::DAMAGED;
        data = inflated.data();
        size = inflated.size();
    }
    if (size < 4 || std::memcmp(data, "Vgm ", 4) != 0)
        return MusicFileStatus::NOT_MUSIC;
    if (size < HEADER_SIZE)
        return damaged(error, "truncated header");
    const uint32_t clock = music_u32(data + 0x0C) & 0x3FFFFFFF;  // bit 30 and 31: a second chip, a T6W28
    if (clock == 0)
        return damaged(error, "no SN76489 music in this VGM file");
    if (clock < CLOCK_MIN || clock > CLOCK_MAX)
        return damaged(error, "PSG clock of " + std::to_string(clock) + " Hz");
    const uint32_t data_offset = music_u32(data + 0x08) >= VERSION ? music_u32(data + DATA_OFFSET_AT) : 0;
    const size_t start = data_offset ? DATA_OFFSET_AT + data_offset : HEADER_SIZE;
    const uint32_t end_of_file = music_u32(data + 0x04);
    const size_t end = end_of_file > 0 && end_of_file <= size - 4 ? end_of_file + size_t {4} : size;
    if (start >= end)
        return damaged(error, "commands beyond the end of the file");

    music = MusicFile {};
    music.clock_hz = static_cast<int>(clock);
    uint64_t now = 0;  // samples
    uint64_t frames = 0;
    const auto catch_up = [&](uint64_t frame) {
        if (frame - frames > MUSIC_MAX_LENGTH - music.stream.size())
            return false;
        music.stream.insert(music.stream.end(), frame - frames, MUSIC_FRAME_END);
        frames = frame;
        return true;
    };
    for (size_t at = start; at < end;) {
        const uint8_t command = data[at];
        uint32_t wait = 0;
        size_t length = 1;
        if (command == PSG_WRITE || command == GG_STEREO) {
            length = 2;
        } else if (command == WAIT) {
            length = 3;
            if (at + 3 <= end)
                wait = data[at + 1] | data[at + 2] << 8;
        } else if (command == WAIT_NTSC_FRAME || command == WAIT_PAL_FRAME) {
            wait = command == WAIT_NTSC_FRAME ? NTSC_FRAME : PAL_FRAME;
        } else if (command == END) {
            break;
        } else if (command == DATA_BLOCK) {
            length = 7;
            if (at + 7 <= end)
                length += music_u32(data + at + 3) & 0x7FFFFFFF;
        } else if (command >= 0x70 && command <= 0x8F) {
            wait = command < 0x80 ? (command & 0x0F) + 1 : command & 0x0F;
        } else if (operand_count(command) >= 0) {
            length += static_cast<size_t>(operand_count(command));
        } else {
            char what[64];
            std::snprintf(what, sizeof what, "unknown command %02Xh at byte %zu", command, at);
            return damaged(error, what);
        }
        if (length > end - at)
            return damaged(error, "a command cut short at the end of the file");
        now += wait;
        if (command == PSG_WRITE || command == GG_STEREO) {
            if (!catch_up(now / static_cast<uint64_t>(frame_samples)) || music.stream.size() >= MUSIC_MAX_LENGTH)
                return damaged(error, "longer than any recording");
            const uint8_t value = data[at + 1];
            if (command == GG_STEREO)
                music.stereo.emplace_back(music.stream.size(), value);
            else  // the chip ignores bit 6 of a data byte: 0x7F plays as 0x3F
                music.stream.push_back(value == MUSIC_FRAME_END ? MUSIC_FRAME_END & ~0x40 : value);
        }
        at += length;
    }
    if (!catch_up((now + static_cast<uint64_t>(frame_samples) - 1) / static_cast<uint64_t>(frame_samples)))
        return damaged(error, "longer than any recording");
    return MusicFileStatus::OK;
}
