#include "sound/music_file.h"

#include <zlib.h>

#include <cstring>

namespace {

constexpr char MAGIC[9] = "SMSMUSIC";  // with its terminating zero
constexpr uint8_t VERSION = 1;
constexpr size_t STATE_AT = 10;
constexpr size_t LENGTHS_AT = 24;
// Deflate never packs more than 1032 bytes into one; a larger claimed
// length is a damaged file, refused before anything is allocated for it.
constexpr uint64_t MAX_RATIO = 1032;

void put_u32(std::vector<uint8_t>& out, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

}  // namespace

uint32_t music_u32(const uint8_t* at)
{
    return at[0] | at[1] << 8 | at[2] << 16 | static_cast<uint32_t>(at[3]) << 24;
}

std::vector<uint8_t> music_file_header(const PsgState& start)
{
    std::vector<uint8_t> header(MAGIC, MAGIC + sizeof MAGIC);
    header.push_back(VERSION);
    for (uint16_t frequency : start.frequency) {
        header.push_back(static_cast<uint8_t>(frequency));
        header.push_back(static_cast<uint8_t>(frequency >> 8));
    }
    header.insert(header.end(), start.volume, start.volume + 4);
    header.push_back(start.noise_mode);
    header.push_back(start.latch);
    return header;
}

bool music_file_build(
    const std::vector<uint8_t>& header, const std::vector<uint8_t>& stream, std::vector<uint8_t>& file)
{
    // zlib's bound, not L: a short stream grows when compressed.
    uLongf packed_size = compressBound(static_cast<uLong>(stream.size()));
    std::vector<uint8_t> packed(packed_size);
    if (compress(packed.data(), &packed_size, stream.data(), static_cast<uLong>(stream.size())) != Z_OK)
        return false;
    file = header;
    put_u32(file, static_cast<uint32_t>(stream.size()));
    put_u32(file, static_cast<uint32_t>(packed_size));
    file.insert(file.end(), packed.begin(), packed.begin() + static_cast<long>(packed_size));
    return true;
}

MusicFileStatus music_file_parse(const uint8_t* data, size_t size, MusicFile& music, std::string& error)
{
    if (size < STATE_AT || std::memcmp(data, MAGIC, sizeof MAGIC) != 0 || data[9] != VERSION)
        return MusicFileStatus::NOT_MUSIC;
    if (size < MUSIC_HEADER_SIZE) {
        error = "truncated header";
        return MusicFileStatus::DAMAGED;
    }
    for (int channel = 0; channel < 4; ++channel)
        music.start.frequency[channel]
            = static_cast<uint16_t>(data[STATE_AT + 2 * channel] | data[STATE_AT + 2 * channel + 1] << 8);
    std::memcpy(music.start.volume, data + STATE_AT + 8, 4);
    music.start.noise_mode = data[STATE_AT + 12] & 3;
    music.start.latch = data[STATE_AT + 13];

    const uint32_t length = music_u32(data + LENGTHS_AT);
    const uint32_t packed_size = music_u32(data + LENGTHS_AT + 4);
    if (length > MUSIC_MAX_LENGTH) {
        error = "stream longer than any recording";
        return MusicFileStatus::DAMAGED;
    }
    if (packed_size > compressBound(length)) {
        error = "compressed stream longer than its raw length allows";
        return MusicFileStatus::DAMAGED;
    }
    if (packed_size > size - MUSIC_HEADER_SIZE) {
        error = "truncated stream";
        return MusicFileStatus::DAMAGED;
    }
    if (length > MAX_RATIO * packed_size + 64) {
        error = "stream does not decompress to its stated length";
        return MusicFileStatus::DAMAGED;
    }
    music.stream.assign(length, 0);
    uLongf unpacked = length;
    // zlib refuses a null output buffer even for an empty stream.
    uint8_t empty = 0;
    const int result
        = uncompress(length ? music.stream.data() : &empty, &unpacked, data + MUSIC_HEADER_SIZE, packed_size);
    if (result != Z_OK) {
        error = "stream does not decompress";
        return MusicFileStatus::DAMAGED;
    }
    if (unpacked != length) {
        error = "stream does not decompress to its stated length";
        return MusicFileStatus::DAMAGED;
    }
    return MusicFileStatus::OK;
}
