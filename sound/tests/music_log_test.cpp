#include <gtest/gtest.h>
#include <zlib.h>

#include <fstream>
#include <iterator>
#include <vector>

#include "host/tests/scratch_directory.h"
#include "sound/music_file.h"
#include "sound/psg.h"
#include "sound/psg_log.h"
#include "sound/vgm_file.h"

namespace {

std::vector<uint8_t> read_file(const char* path)
{
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

MusicFileStatus parse(const std::vector<uint8_t>& bytes, MusicFile& music, std::string& error)
{
    return music_file_parse(bytes.data(), bytes.size(), music, error);
}

std::vector<uint8_t> build(const std::vector<uint8_t>& stream)
{
    std::vector<uint8_t> file;
    EXPECT_TRUE(music_file_build(music_file_header(PsgState {}), stream, file));
    return file;
}

void set_u32(std::vector<uint8_t>& file, size_t at, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        file[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

// Completes a hand-made header with the stream's raw length, its packed
// length and the packed bytes.
void append_stream(std::vector<uint8_t>& file, size_t length, const std::vector<uint8_t>& packed, uLongf packed_size)
{
    file.resize(file.size() + 8);
    set_u32(file, file.size() - 8, static_cast<uint32_t>(length));
    set_u32(file, file.size() - 4, static_cast<uint32_t>(packed_size));
    file.insert(file.end(), packed.begin(), packed.begin() + static_cast<long>(packed_size));
}

class MusicLogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        psg_reset();
    }
    // Stops the recording and reads back what it left in music.$$$.
    static MusicFile stop_and_read()
    {
        psg_log_stop();
        EXPECT_FALSE(psg_logging);
        MusicFile music;
        std::string error;
        EXPECT_EQ(parse(read_file(PSG_LOG_TEMPORARY), music, error), MusicFileStatus::OK) << error;
        return music;
    }
    ScratchDirectory scratch;
};

TEST_F(MusicLogTest, FramesWithoutWritesAreMarkersOnly)
{
    psg_log_start();
    ASSERT_TRUE(psg_logging);
    for (int frame = 0; frame < 5; ++frame)
        psg_log_frame();
    const MusicFile music = stop_and_read();
    // Five bytes compress into more than five: the file is still written.
    EXPECT_EQ(music.stream, std::vector<uint8_t>(5, MUSIC_FRAME_END));
}

TEST_F(MusicLogTest, AnEmptyRecordingIsAFileToo)
{
    psg_log_start();
    EXPECT_TRUE(stop_and_read().stream.empty());
}

TEST_F(MusicLogTest, HeaderHoldsThePsgAsRecordingStarts)
{
    for (uint8_t b : {0x8E, 0x0F, 0x93, 0xE3, 0xC5})
        psg_write(b);
    psg_log_start();
    psg_write(0x9F);
    // A data byte of 127 is kept as 0x3F, which the chip plays the same, so
    // that it does not read back as a frame end.
    psg_write(0x7F);
    psg_log_frame();
    const MusicFile music = stop_and_read();
    EXPECT_EQ(music.start.frequency[0], 440);
    EXPECT_EQ(music.start.volume[0], 128);
    EXPECT_EQ(music.start.noise_mode, 3);
    EXPECT_EQ(music.start.latch, 0xC5);
    EXPECT_EQ(music.stream, (std::vector<uint8_t> {0x9F, 0x3F, 0x7F}));

    // The header's bytes, as the format lays them out.
    const std::vector<uint8_t> file = read_file(PSG_LOG_TEMPORARY);
    ASSERT_GE(file.size(), MUSIC_HEADER_SIZE);
    EXPECT_EQ(std::string(file.begin(), file.begin() + 9), std::string("SMSMUSIC", 9));
    EXPECT_EQ(file[9], 1);
    EXPECT_EQ(file[10], 440 & 0xFF);
    EXPECT_EQ(file[11], 440 >> 8);
    EXPECT_EQ(file[18], 128);
    EXPECT_EQ(file[22], 3);
    EXPECT_EQ(file[23], 0xC5);
    EXPECT_EQ(file[24], 3);  // L
}

TEST_F(MusicLogTest, ALongRecordingKeepsEveryByte)
{
    psg_log_start();
    const int bytes = (1 << 20) + 12345;
    for (int i = 0; i < bytes; ++i)
        psg_log_byte(static_cast<uint8_t>(0x80 | (i & 0x7F)));
    const MusicFile music = stop_and_read();
    ASSERT_EQ(music.stream.size(), static_cast<size_t>(bytes));
    EXPECT_EQ(music.stream.back(), static_cast<uint8_t>(0x80 | ((bytes - 1) & 0x7F)));
}

TEST_F(MusicLogTest, NoRecordingWhereTheFileCannotBeMade)
{
    std::filesystem::create_directory(PSG_LOG_TEMPORARY);
    psg_log_start();
    EXPECT_FALSE(psg_logging);
}

TEST(MusicFile, OtherFilesAreNotMusic)
{
    std::vector<uint8_t> file = build({0x90, 127});
    MusicFile music;
    std::string error;
    EXPECT_EQ(music_file_parse(file.data(), 5, music, error), MusicFileStatus::NOT_MUSIC);
    file[9] = 2;
    EXPECT_EQ(parse(file, music, error), MusicFileStatus::NOT_MUSIC);
    file[9] = 1;
    file[0] = 's';
    EXPECT_EQ(parse(file, music, error), MusicFileStatus::NOT_MUSIC);
}

TEST(MusicFile, DamagedFilesAreRefused)
{
    std::vector<uint8_t> stream(3000);
    for (size_t i = 0; i < stream.size(); ++i)
        stream[i] = static_cast<uint8_t>(i * 7919 >> 3);
    const std::vector<uint8_t> good = build(stream);
    MusicFile music;
    std::string error;
    ASSERT_EQ(parse(good, music, error), MusicFileStatus::OK);
    EXPECT_EQ(music.stream, stream);

    struct Damage {
        const char* what;
        std::vector<uint8_t> file;
    };
    std::vector<Damage> damages;
    damages.push_back({"header cut short", std::vector<uint8_t>(good.begin(), good.begin() + 20)});
    damages.push_back({"stream cut short", std::vector<uint8_t>(good.begin(), good.end() - 1)});
    std::vector<uint8_t> file = good;
    file[40] ^= 0xFF;
    damages.push_back({"deflate data damaged", file});
    file = good;
    set_u32(file, 24, static_cast<uint32_t>(stream.size() + 1));
    damages.push_back({"raw length one too many", file});
    file = good;
    set_u32(file, 24, static_cast<uint32_t>(stream.size() - 1));
    damages.push_back({"raw length one too few", file});
    file = good;
    set_u32(file, 24, 0xFFFFFFF0u);
    damages.push_back({"absurd raw length", file});
    file = good;
    set_u32(file, 28, 0xFFFFFFFFu);
    damages.push_back({"absurd compressed length", file});
    for (const Damage& damage : damages) {
        error.clear();
        EXPECT_EQ(parse(damage.file, music, error), MusicFileStatus::DAMAGED) << damage.what;
        EXPECT_FALSE(error.empty()) << damage.what;
    }
}

// The header laid out by hand, every byte of the start state unlike the
// others, so that a field read from a neighbour's place shows.
TEST(MusicFile, TheStartStateComesFromItsPlaceInTheHeader)
{
    std::vector<uint8_t> file = {'S', 'M', 'S', 'M', 'U', 'S', 'I', 'C', 0, 1};
    const uint8_t state[14] = {0x11, 0x02, 0x33, 0x04, 0x55, 0x06, 0x77, 0x08, 0x91, 0xA2, 0xB3, 0xC4, 0x02, 0xD5};
    file.insert(file.end(), state, state + 14);
    std::vector<uint8_t> packed(64);
    uLongf packed_size = packed.size();
    const uint8_t stream[2] = {0x90, MUSIC_FRAME_END};
    ASSERT_EQ(compress(packed.data(), &packed_size, stream, 2), Z_OK);
    append_stream(file, 2, packed, packed_size);

    MusicFile music;
    std::string error;
    ASSERT_EQ(parse(file, music, error), MusicFileStatus::OK) << error;
    EXPECT_EQ(music.start.frequency[0], 0x0211);
    EXPECT_EQ(music.start.frequency[1], 0x0433);
    EXPECT_EQ(music.start.frequency[2], 0x0655);
    EXPECT_EQ(music.start.frequency[3], 0x0877);
    EXPECT_EQ(music.start.volume[0], 0x91);
    EXPECT_EQ(music.start.volume[1], 0xA2);
    EXPECT_EQ(music.start.volume[2], 0xB3);
    EXPECT_EQ(music.start.volume[3], 0xC4);
    EXPECT_EQ(music.start.noise_mode, 2);
    EXPECT_EQ(music.start.latch, 0xD5);
    EXPECT_EQ(music.stream, std::vector<uint8_t>(stream, stream + 2));
}

// A stream claimed longer than any recording is refused before anything is
// allocated for it, even where its compressed data could hold that much.
TEST(MusicFile, AnAbsurdRawLengthIsRefused)
{
    std::vector<uint8_t> file = build({0x90, MUSIC_FRAME_END});
    const uint32_t packed_size = MUSIC_MAX_LENGTH / 1000;
    file.resize(MUSIC_HEADER_SIZE + packed_size, 0x55);
    set_u32(file, 28, packed_size);
    MusicFile music;
    std::string error;
    for (uint32_t length : {MUSIC_MAX_LENGTH + 1, 0xFFFFFFF0u}) {
        set_u32(file, 24, length);
        EXPECT_EQ(parse(file, music, error), MusicFileStatus::DAMAGED);
        EXPECT_EQ(error, "stream longer than any recording");
        EXPECT_LT(music.stream.capacity(), size_t {1} << 20);
    }
}

TEST(MusicFile, CompressedLengthUpToZlibsBound)
{
    // A stored (uncompressed) deflate stream is longer than its data: such a
    // file is valid up to zlib's bound and refused beyond it.
    const std::vector<uint8_t> stream = {1, 2, 3, 4, 5, 6, 7, 8};
    std::vector<uint8_t> packed(compressBound(stream.size()));
    uLongf packed_size = packed.size();
    ASSERT_EQ(compress2(packed.data(), &packed_size, stream.data(), stream.size(), 0), Z_OK);
    ASSERT_GT(packed_size, stream.size());
    std::vector<uint8_t> file = music_file_header(PsgState {});
    append_stream(file, stream.size(), packed, packed_size);
    MusicFile music;
    std::string error;
    EXPECT_EQ(parse(file, music, error), MusicFileStatus::OK) << error;
    EXPECT_EQ(music.stream, stream);

    file.resize(file.size() + compressBound(stream.size()));
    set_u32(file, 28, static_cast<uint32_t>(compressBound(stream.size()) + 1));
    EXPECT_EQ(parse(file, music, error), MusicFileStatus::DAMAGED);
}

// A VGM file reads back as frames of writes: waits of any length summed
// into frame ends, Game Gear stereo writes beside the byte they precede, a
// data byte 7Fh as 3Fh, other chips' commands skipped, the clock kept.
TEST(VgmFile, WaitsBecomeFramesAndEveryFaultHasAReason)
{
    VgmStream vgm;
    vgm_psg_write(vgm, 0x8E);
    vgm_wait(vgm, 735);
    vgm_stereo_write(vgm, 0x0F);
    vgm_psg_write(vgm, 0x7F);
    vgm_wait(vgm, 1000);
    vgm_wait(vgm, 2 * 65535);
    std::vector<uint8_t> file = vgm_file_build(vgm, PSG_CLOCK_PAL, 50);
    file.insert(file.end() - 1, {0x52, 0x28, 0x00, 0x70, 0x50, 0x90});  // a YM2612 write, a wait of 1
    set_u32(file, 4, static_cast<uint32_t>(file.size() - 4));
    MusicFile music;
    std::string error;
    ASSERT_EQ(vgm_file_parse(file.data(), file.size(), 735, music, error), MusicFileStatus::OK) << error;
    EXPECT_EQ(music.clock_hz, PSG_CLOCK_PAL);
    const size_t frames = (735 + 1000 + 2 * 65535 + 1 + 734) / 735;
    std::vector<uint8_t> expected = {0x8E, MUSIC_FRAME_END, 0x3F, MUSIC_FRAME_END};
    expected.insert(expected.end(), (735 + 1000 + 2 * 65535 + 1) / 735 - 2, MUSIC_FRAME_END);
    expected.push_back(0x90);
    expected.insert(expected.end(), frames - (735 + 1000 + 2 * 65535 + 1) / 735, MUSIC_FRAME_END);
    EXPECT_EQ(music.stream, expected);
    EXPECT_EQ(music.stereo, (std::vector<std::pair<size_t, uint8_t>> {{2, 0x0F}}));
    std::vector<uint8_t> packed;
    ASSERT_TRUE(vgm_gzip(file, packed));
    MusicFile unpacked;
    ASSERT_EQ(vgm_file_parse(packed.data(), packed.size(), 735, unpacked, error), MusicFileStatus::OK);
    EXPECT_EQ(unpacked.stream, music.stream);

    EXPECT_EQ(vgm_file_parse(packed.data(), 20, 735, music, error), MusicFileStatus::DAMAGED);
    EXPECT_EQ(error, "compressed data damaged or cut short");
    file[0x40] = 0x01;
    EXPECT_EQ(vgm_file_parse(file.data(), file.size(), 735, music, error), MusicFileStatus::DAMAGED);
    EXPECT_EQ(error, "unknown command 01h at byte 64");
    file[0x0C] = file[0x0D] = file[0x0E] = file[0x0F] = 0;
    EXPECT_EQ(vgm_file_parse(file.data(), file.size(), 735, music, error), MusicFileStatus::DAMAGED);
    EXPECT_EQ(error, "no SN76489 music in this VGM file");
    EXPECT_EQ(vgm_file_parse(file.data(), 40, 735, music, error), MusicFileStatus::DAMAGED);
    EXPECT_EQ(vgm_file_parse(file.data() + 1, file.size() - 1, 735, music, error), MusicFileStatus::NOT_MUSIC);
}

}  // namespace
