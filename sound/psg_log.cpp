#include "sound/psg_log.h"

#include <cstdio>
#include <utility>
#include <vector>

#include "host/file.h"
#include "host/log.h"
#include "sound/mixer.h"
#include "sound/music_file.h"
#include "sound/psg.h"
#include "sound/vgm_file.h"

bool psg_logging = false;
PsgLogFormat psg_log_format = PsgLogFormat::SMSMUSIC;

namespace {

// Room for about half an hour of a busy game before the buffer first grows.
constexpr size_t INITIAL_CAPACITY = 1 << 20;

std::vector<uint8_t> header;
std::vector<uint8_t> stream;
VgmStream vgm;

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

bool vgm_recording()
{
    return psg_log_format == PsgLogFormat::VGM;
}

// The frame rate whose frames the mixer plays.
int frame_rate()
{
    return MIXER_RATE / mixer_frame_samples();
}

}  // namespace

void psg_log_start(PsgLogFormat format)
{
    if (psg_logging)
        return;
    psg_log_format = format;
    if (vgm_recording()) {
        // A VGM file starts from a chip at reset: the state now is written
        // into it first.
        vgm = VgmStream {};
        for (uint8_t value : psg_state_writes())
            vgm_psg_write(vgm, value);
        if (psg_stereo() != 0xFF)
            vgm_stereo_write(vgm, psg_stereo());
        header = vgm_file_build(vgm, psg_clock(), frame_rate());
    } else {
        header = music_file_header(psg);
    }
    // The header goes out at once, so a folder that cannot take the file
    // stops the recording before it starts.
    if (!write_temporary(header))
        return;
    stream.clear();
    if (!vgm_recording())
        stream.reserve(INITIAL_CAPACITY);
    psg_logging = true;
}

void psg_log_byte(uint8_t value)
{
    // The chip ignores bit 6 of a data byte, so 0x3F plays as 0x7F does and
    // the frame marker keeps its meaning.
    if (vgm_recording())
        vgm_psg_write(vgm, value);
    else
        append(value == MUSIC_FRAME_END ? MUSIC_FRAME_END & ~0x40 : value);
}

void psg_log_stereo(uint8_t value)
{
    if (vgm_recording())
        vgm_stereo_write(vgm, value);
}

void psg_log_frame()
{
    if (vgm_recording())
        vgm_wait(vgm, static_cast<uint32_t>(mixer_frame_samples()));
    else
        append(MUSIC_FRAME_END);
}

void psg_log_stop()
{
    if (!psg_logging)
        return;
    psg_logging = false;
    std::vector<uint8_t> file;
    if (vgm_recording())
        file = vgm_file_build(std::move(vgm), psg_clock(), frame_rate());
    else if (!music_file_build(header, stream, file))
        fatal_exit("Error during compression.");
    if (!write_temporary(file)) {
        // Whatever is left would be a header without its music.
        std::remove(PSG_LOG_TEMPORARY);
        log_write("Cannot write %s: the recording is lost.", PSG_LOG_TEMPORARY);
    }
    stream = std::vector<uint8_t>();
    vgm = VgmStream {};
    header.clear();
}

std::string psg_log_offered_name(const std::string& psg_file)
{
    if (!vgm_recording())
        return psg_file;
    const size_t dot = psg_file.rfind('.');
    return (dot == std::string::npos ? psg_file : psg_file.substr(0, dot)) + ".vgm";
}

bool psg_log_save(const std::string& path)
{
    if (!vgm_recording() || !file_has_extension(path, ".vgz"))
        return move_user_file(PSG_LOG_TEMPORARY, path);
    std::string recorded;
    if (!read_text_file(PSG_LOG_TEMPORARY, recorded))
        return false;
    const auto* bytes = reinterpret_cast<const uint8_t*>(recorded.data());
    std::vector<uint8_t> packed;
    if (!vgm_gzip({bytes, recorded.size()}, packed) || !write_user_file(path, [&](FILE* out) {
            return std::fwrite(packed.data(), 1, packed.size(), out) == packed.size();
        }))
        return false;
    std::remove(PSG_LOG_TEMPORARY);
    return true;
}
