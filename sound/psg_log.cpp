#include "sound/psg_log.h"

#include <cstdio>
#include <vector>

#include "host/file.h"
#include "host/log.h"
#include "sound/music_file.h"
#include "sound/psg.h"

bool psg_logging = false;

namespace {

// Room for about half an hour of a busy game before the buffer first grows.
constexpr size_t INITIAL_CAPACITY = 1 << 20;

std::vector<uint8_t> header;
std::vector<uint8_t> stream;

bool write_temporary(const std::vector<uint8_t>& bytes)
{
    return write_user_file(PSG_LOG_TEMPORARY,
        [&](FILE* file) { return std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size(); });
}

void append(uint8_t value)
{
    // A recording longer than any player accepts ends there.
    if (stream.size() < MUSIC_MAX_LENGTH)
        stream.push_back(value);
}

}  // namespace

void psg_log_start()
{
    if (psg_logging)
        return;
    header = music_file_header(psg);
    // The header goes out at once, so a folder that cannot take the file
    // stops the recording before it starts.
    if (!write_temporary(header))
        return;
    stream.clear();
    stream.reserve(INITIAL_CAPACITY);
    psg_logging = true;
}

void psg_log_byte(uint8_t value)
{
    // The chip ignores bit 6 of a data byte, so 0x3F plays as 0x7F does and
    // the frame marker keeps its meaning.
    append(value == MUSIC_FRAME_END ? MUSIC_FRAME_END & ~0x40 : value);
}

void psg_log_frame()
{
    append(MUSIC_FRAME_END);
}

void psg_log_stop()
{
    if (!psg_logging)
        return;
    psg_logging = false;
    std::vector<uint8_t> file;
    if (!music_file_build(header, stream, file))
        fatal_exit("Error during compression.");
    if (!write_temporary(file)) {
        // Whatever is left would be a header without its music.
        std::remove(PSG_LOG_TEMPORARY);
        log_write("Cannot write %s: the recording is lost.", PSG_LOG_TEMPORARY);
    }
    stream = std::vector<uint8_t>();
    header.clear();
}
