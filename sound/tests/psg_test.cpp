#include "sound/psg.h"

#include <gtest/gtest.h>

#include <initializer_list>

#include "sound/mixer.h"

namespace {

// The PSG drives a real mixer whose sound goes nowhere; the voices keep what
// they were last told, which is what these tests check.
class MixerEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        mixer_register_output("memory");
        mixer_init(2, 60);
        psg_create();
    }
    void TearDown() override
    {
        mixer_shutdown();
    }
};
[[maybe_unused]] const auto* const mixer_environment = ::testing::AddGlobalTestEnvironment(new MixerEnvironment);

class PsgTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        psg_set_sound(true);
        psg_reset();
    }
    static int rate(int voice)
    {
        return mixer_voice(voice).rate;
    }
    static int volume(int voice)
    {
        return mixer_voice(voice).volume;
    }
    static void write(std::initializer_list<uint8_t> bytes)
    {
        for (uint8_t b : bytes)
            psg_write(b);
    }
};

TEST_F(PsgTest, TonePeriodsBecomeFrequencies)
{
    write({0x80 | 0x0E, 0x0F});
    EXPECT_EQ(psg.frequency[0], 438);  // 111861 / 255
    EXPECT_EQ(rate(0), 438 * 16);  // the square sample holds 16-sample periods

    // Periods 0-6 are above the cut-off and silence the tone; 7 is the highest.
    for (uint8_t period = 0; period <= 6; ++period) {
        write({0xA0, 0x0F, static_cast<uint8_t>(0xA0 | period), 0x00});
        EXPECT_EQ(psg.frequency[1], 0) << int(period);
        EXPECT_EQ(rate(1), 0) << int(period);
    }
    write({0xC7, 0x00});
    EXPECT_EQ(psg.frequency[2], 13982);
    EXPECT_EQ(rate(2), 13982 * 16);
    write({0xCF, 0x3F});  // the longest period, 1023
    EXPECT_EQ(psg.frequency[2], 109);
}

TEST_F(PsgTest, LatchRules)
{
    // Data before any tone latch goes nowhere.
    write({0x05});
    EXPECT_EQ(psg.frequency[0], 0);
    EXPECT_EQ(psg.latch, 0);

    // A latch alone changes nothing; volume and noise bytes keep the latch.
    write({0x81});
    EXPECT_EQ(psg.frequency[0], 0);
    write({0x05, 0x9F, 0xE1, 0x06});
    EXPECT_EQ(psg.latch, 0x81);
    EXPECT_EQ(psg.frequency[0], 111861 / (0x61 + 1));
    EXPECT_EQ(psg.frequency[1], 0);
    EXPECT_EQ(psg.frequency[2], 0);

    // Only the low six bits of a data byte are period bits.
    write({0xA3, 0x40 | 0x02});
    EXPECT_EQ(psg.frequency[1], 111861 / (0x23 + 1));
}

TEST_F(PsgTest, Volumes)
{
    write({0x90, 0xBF, 0xD7, 0xF3});
    EXPECT_EQ(psg.volume[0], 255);
    EXPECT_EQ(psg.volume[1], 0);
    EXPECT_EQ(psg.volume[2], 51);
    EXPECT_EQ(psg.volume[3], 128);
    const int voices[4] = {volume(0), volume(1), volume(2), volume(3)};
    EXPECT_EQ(voices[0], 255);
    EXPECT_EQ(voices[1], 0);
    EXPECT_EQ(voices[2], 51);
    EXPECT_EQ(voices[3], 128);

    const uint8_t table[16] = {255, 202, 161, 128, 102, 81, 64, 51, 40, 32, 25, 20, 16, 13, 10, 0};
    for (uint8_t attenuation = 0; attenuation < 16; ++attenuation) {
        write({static_cast<uint8_t>(0xB0 | attenuation)});
        EXPECT_EQ(volume(1), table[attenuation]) << int(attenuation);
    }
}

TEST_F(PsgTest, NoiseRatesAndToneTwoClocking)
{
    const uint16_t rates[3] = {6991, 3495, 1747};
    for (uint8_t mode = 0; mode < 3; ++mode) {
        write({static_cast<uint8_t>(0xE4 | mode)});  // the white-noise bit makes no difference
        EXPECT_EQ(psg.noise_mode, mode);
        EXPECT_EQ(psg.frequency[3], rates[mode]);
        EXPECT_EQ(rate(3), rates[mode]);  // the noise sample plays at the rate itself
    }

    write({0xCE, 0x0F, 0xE3});
    EXPECT_EQ(psg.noise_mode, 3);
    EXPECT_EQ(psg.frequency[3], 438);
    EXPECT_EQ(rate(3), 438);
    write({0xC7, 0x00});
    EXPECT_EQ(psg.frequency[3], 13982);  // follows tone 2 while in mode 3
    EXPECT_EQ(rate(3), 438);  // but the noise voice hears of it only ...
    write({0xF2});
    EXPECT_EQ(rate(3), 13982);  // ... at its next update
    write({0xE0, 0xCE, 0x0F});
    EXPECT_EQ(psg.frequency[3], 6991);  // and no longer after
    EXPECT_EQ(rate(3), 6991);
}

TEST_F(PsgTest, SoundSwitch)
{
    write({0x8E, 0x0F, 0x90});
    psg_set_sound(false);
    EXPECT_EQ(volume(0), 0);
    write({0xA0, 0x10, 0xB0, 0x93});
    EXPECT_EQ(psg.frequency[1], 111861 / 257);  // the state still follows the game
    EXPECT_EQ(psg.volume[1], 255);
    EXPECT_EQ(volume(1), 0);  // but no voice does
    EXPECT_EQ(volume(0), 0);

    // Back on, each voice stays silent until the game writes its channel.
    psg_set_sound(true);
    EXPECT_EQ(volume(0), 0);
    EXPECT_EQ(volume(1), 0);
    write({0xB2});
    EXPECT_EQ(volume(1), 161);
    EXPECT_EQ(rate(1), 111861 / 257 * 16);
}

TEST_F(PsgTest, RefreshPutsTheStoredStateIntoTheVoices)
{
    psg.frequency[0] = 438;
    psg.volume[0] = 64;
    psg.frequency[3] = 3495;
    psg.volume[3] = 255;
    psg_refresh();
    EXPECT_EQ(rate(0), 438 * 16);
    EXPECT_EQ(volume(0), 64);
    EXPECT_EQ(rate(3), 3495);
    EXPECT_EQ(volume(3), 255);
}

TEST(PsgWaveforms, SquareAndNoise)
{
    int16_t square[PSG_SQUARE_LENGTH];
    int16_t noise[PSG_NOISE_LENGTH];
    psg_make_waveforms(square, noise);
    for (int i = 0; i < PSG_SQUARE_LENGTH; ++i)
        EXPECT_EQ(square[i], i % 16 < 8 ? -32768 : 32767) << i;
    const int first[16] = {0, 0, 0, 1, 1, 1, 0, 1, 0, 0, 0, 0, 1, 1, 1, 1};
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(noise[i], first[i] ? -32768 : 32767) << i;
    int ones = 0;
    for (int16_t sample : noise) {
        EXPECT_TRUE(sample == -32768 || sample == 32767);
        ones += sample == -32768;
    }
    EXPECT_EQ(ones, 264);
}

TEST_F(PsgTest, ResetClearsTheLatch)
{
    write({0x8E, 0x0F, 0x93, 0xE3});
    psg_reset();
    EXPECT_EQ(psg.latch, 0);
    EXPECT_EQ(psg.noise_mode, 0);
    for (int ch = 0; ch < 4; ++ch) {
        EXPECT_EQ(psg.frequency[ch], 0);
        EXPECT_EQ(psg.volume[ch], 0);
    }
    write({0x0F});
    EXPECT_EQ(psg.frequency[0], 0);
}

TEST_F(PsgTest, StereoPans)
{
    const struct {
        uint8_t value;
        int8_t pans[4];
    } cases[] = {
        {0xFF, {0, 0, 0, 0}},
        {0x0F, {0, 0, 0, 127}},
        {0xF0, {0, -127, -127, -127}},
        {0x00, {0, 0, 0, 0}},
        {0x01, {127, 0, 0, 0}},
        {0x02, {-127, 127, 0, 0}},
        {0x48, {-127, 0, -127, 0}},
        {0x08, {-127, 0, -127, 127}},
    };
    for (const auto& c : cases) {
        gg_stereo_write(c.value);
        for (int ch = 0; ch < 4; ++ch) {
            EXPECT_EQ(psg_pan[ch], c.pans[ch]) << "byte " << int(c.value) << " channel " << ch;
            EXPECT_EQ(mixer_voice(ch).pan, c.pans[ch]) << "byte " << int(c.value) << " channel " << ch;
        }
    }
    // Silencing the voices centres them but keeps the pans the viewer shows.
    psg_silence();
    EXPECT_EQ(psg_pan[3], 127);
    EXPECT_EQ(mixer_voice(3).pan, 0);

    // The sound switch does not hold back the stereo register.
    psg_set_sound(false);
    gg_stereo_write(0xF0);
    EXPECT_EQ(mixer_voice(1).pan, -127);
}

}  // namespace
