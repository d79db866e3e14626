#include "sound/psg.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <vector>

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

// The voice rate that plays `period`: its pitch times the length of one
// period of its octave's square wave.
int tone_rate(int period)
{
    return static_cast<int>(std::lround(psg_tone_hz(period) * (PSG_TONE_LENGTH >> psg_tone_octave(period))));
}

TEST_F(PsgTest, TonePeriodsBecomeTruePitches)
{
    write({0x80 | 0x0E, 0x0F});
    EXPECT_EQ(psg_tone_period(0), 254);
    EXPECT_EQ(psg.frequency[0], 440);  // 3579545 / (32 x 254) = 440.38
    EXPECT_EQ(rate(0), tone_rate(254));

    // Periods 0-7 are above the cut (period 7 is 15,980 Hz) or hold the
    // output; 8 is the highest tone, 1023 the lowest.
    for (uint8_t period = 0; period <= 7; ++period) {
        write({0xA0, 0x0F, static_cast<uint8_t>(0xA0 | period), 0x00});
        EXPECT_EQ(psg.frequency[1], 0) << int(period);
        EXPECT_EQ(rate(1), 0) << int(period);
    }
    write({0xC8, 0x00});
    EXPECT_EQ(psg.frequency[2], 13983);
    EXPECT_EQ(rate(2), tone_rate(8));
    write({0xCF, 0x3F});
    EXPECT_EQ(psg.frequency[2], 109);

    // PAL consoles run the chip from a slower clock.
    psg_set_frame_rate(50);
    write({0x8E});
    EXPECT_EQ(psg.frequency[0], 436);  // 3546893 / (32 x 254) = 436.38
    psg_set_frame_rate(60);
}

// What the mixer makes of each rate: it steps through a sample in units of
// 1/2048 of a sample, cut down, at 44,100 samples a second.
TEST_F(PsgTest, EveryPeriodWithinACentThroughTheMixersStep)
{
    double worst = 0;
    for (int period = 8; period < 1024; ++period) {
        const int octave = psg_tone_octave(period);
        EXPECT_LT(tone_rate(period), MIXER_RATE_MAX) << period;
        const long step = (static_cast<long>(tone_rate(period)) << 11) / MIXER_RATE;
        const double played = step * double(MIXER_RATE) / 2048 / (PSG_TONE_LENGTH >> octave);
        worst = std::max(worst, std::abs(1200 * std::log2(played / (PSG_CLOCK_NTSC / (32.0 * period)))));
    }
    EXPECT_LT(worst, 1.0);
}

TEST_F(PsgTest, LatchAndDataRules)
{
    // Data before any latch goes nowhere.
    write({0x05});
    EXPECT_EQ(psg_tone_period(0), 0);
    EXPECT_EQ(psg.latch, 0);

    // A latch byte sets its register's low bits at once.
    write({0x8F, 0x0F});
    EXPECT_EQ(psg_tone_period(0), 0xFF);
    write({0x80});
    EXPECT_EQ(psg_tone_period(0), 0xF0);
    EXPECT_EQ(rate(0), tone_rate(0xF0));
    EXPECT_EQ(psg.frequency[0], 466);

    // A data byte goes to the register latched last: a volume ...
    write({0x90, 0x05});
    EXPECT_EQ(psg.volume[0], 81);
    EXPECT_EQ(volume(0), 81);
    EXPECT_EQ(psg_tone_period(0), 0xF0);
    // ... the noise register ...
    write({0xE4, 0x01});
    EXPECT_EQ(psg_noise_control(), 1);
    EXPECT_EQ(psg.noise_mode, 1);
    EXPECT_EQ(psg_tone_period(0), 0xF0);
    // ... or a tone, whose low bits stay; bit 6 of a data byte is no period bit.
    write({0xA3, 0x40 | 0x02});
    EXPECT_EQ(psg_tone_period(1), 0x23);
    write({0x81, 0x05, 0x9F, 0x06});
    EXPECT_EQ(psg_tone_period(0), 0x51);
    EXPECT_EQ(psg.volume[0], 64);  // the last byte was attenuation 6
    // The stored latch names the register and holds its low bits.
    EXPECT_EQ(psg.latch, 0x96);
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

TEST_F(PsgTest, NoiseRatesKindsAndToneTwo)
{
    const uint16_t rates[3] = {6991, 3496, 1748};  // the clock over 512, 1024, 2048
    for (uint8_t mode = 0; mode < 3; ++mode) {
        write({static_cast<uint8_t>(0xE4 | mode)});
        EXPECT_EQ(psg.noise_mode, mode);
        EXPECT_EQ(psg.frequency[3], rates[mode]);
        EXPECT_EQ(rate(3), std::lround(PSG_CLOCK_NTSC / (512.0 * (1 << mode)) * PSG_NOISE_HOLD)) << "white";
        write({static_cast<uint8_t>(0xE0 | mode)});
        EXPECT_EQ(rate(3), std::lround(PSG_CLOCK_NTSC / (512.0 * (1 << mode)) * PSG_NOISE_HOLD)) << "periodic";
    }

    // Tone 2 clocks the noise in mode 3, and the noise follows it at once.
    write({0xCE, 0x0F, 0xE7});
    EXPECT_EQ(psg.noise_mode, 3);
    EXPECT_EQ(psg.frequency[3], 440);
    EXPECT_EQ(rate(3), std::lround(psg_tone_hz(254) * PSG_NOISE_HOLD));
    write({0xC4, 0x06});
    EXPECT_EQ(psg.frequency[3], 1119);
    EXPECT_EQ(rate(3), std::lround(psg_tone_hz(100) * PSG_NOISE_HOLD));
    // Tone 2's shortest periods shift the noise faster than any fixed rate.
    write({0xC1, 0x00, 0xE3});
    EXPECT_EQ(rate(3), std::lround(psg_tone_hz(1) * PSG_NOISE_HOLD));
    write({0xC4, 0x06});
    write({0xE4, 0xCE, 0x0F});
    EXPECT_EQ(psg.frequency[3], 6991);  // and no longer after
    EXPECT_EQ(rate(3), std::lround(PSG_CLOCK_NTSC / 512.0 * PSG_NOISE_HOLD));
}

TEST_F(PsgTest, SoundSwitch)
{
    write({0x8E, 0x0F, 0x90});
    psg_set_sound(false);
    EXPECT_EQ(volume(0), 0);
    write({0xA0, 0x10, 0xB0, 0x93});
    EXPECT_EQ(psg.frequency[1], 437);  // the state still follows the game
    EXPECT_EQ(psg.volume[1], 255);
    EXPECT_EQ(volume(1), 0);  // but no voice does
    EXPECT_EQ(volume(0), 0);
    gg_stereo_write(0x0F);
    EXPECT_EQ(volume(1), 0);

    // Back on, each voice stays silent until the game writes its channel.
    gg_stereo_write(0xFF);
    psg_set_sound(true);
    EXPECT_EQ(volume(0), 0);
    EXPECT_EQ(volume(1), 0);
    write({0xB2});
    EXPECT_EQ(volume(1), 161);
    EXPECT_EQ(rate(1), tone_rate(256));
}

// A state or a music file holds frequencies in whole Hz: the periods come
// back exactly wherever neighbouring periods differ by more than that, and
// for the latched tone always, from the latch's low bits.
TEST_F(PsgTest, RefreshDerivesThePeriodsFromTheStoredState)
{
    for (int period = 8; period < 1024; ++period) {
        psg = PsgState {};
        psg.frequency[0] = psg.frequency[1] = static_cast<uint16_t>(std::lround(psg_tone_hz(period)));
        psg.volume[0] = 64;
        psg.latch = static_cast<uint8_t>(0x80 | (period & 0x0F));
        psg_refresh();
        ASSERT_EQ(psg_tone_period(0), period);
        if (period < 334) {
            ASSERT_EQ(psg_tone_period(1), period);
        }
        ASSERT_NEAR(psg_tone_period(1), period, 4);
    }
    EXPECT_EQ(volume(0), 64);
    EXPECT_EQ(rate(0), tone_rate(1023));

    // The white-noise bit is known while the noise register is latched.
    psg = PsgState {};
    psg.frequency[3] = 3496;
    psg.noise_mode = 1;
    psg.volume[3] = 255;
    psg.latch = 0xE1;
    psg_refresh();
    EXPECT_EQ(psg_noise_control(), 1);
    EXPECT_EQ(rate(3), std::lround(PSG_CLOCK_NTSC / 1024.0 * PSG_NOISE_HOLD));
    EXPECT_EQ(volume(3), 255);
    psg.latch = 0xB0;
    psg_refresh();
    EXPECT_EQ(psg_noise_control(), 5);
    EXPECT_EQ(rate(3), std::lround(PSG_CLOCK_NTSC / 1024.0 * PSG_NOISE_HOLD));
}

TEST(PsgWaveforms, BandLimitedSquares)
{
    for (int octave = 0; octave < PSG_OCTAVES; ++octave) {
        const std::vector<int16_t> wave = psg_tone_wave(octave);
        const int length = PSG_TONE_LENGTH >> octave;
        ASSERT_EQ(static_cast<int>(wave.size()), length);
        // The harmonics each octave keeps reach 22 kHz at most at its top,
        // twice its lowest pitch; the fundamental is the same in all.
        const double top = PSG_CLOCK_NTSC / 32.0 / 1024 * (2 << octave);
        for (int harmonic = 1; harmonic < 16; ++harmonic) {
            double re = 0, im = 0;
            for (int i = 0; i < length; ++i) {
                re += wave[i] * std::cos(2 * M_PI * harmonic * i / length);
                im += wave[i] * std::sin(2 * M_PI * harmonic * i / length);
            }
            const double amplitude = 2 * std::hypot(re, im) / length;
            const bool kept = harmonic % 2 == 1 && (harmonic == 1 || harmonic * top <= 22000);
            const double expected = kept ? 32767.0 / harmonic : 0;
            EXPECT_NEAR(amplitude, expected, 2) << "octave " << octave << " harmonic " << harmonic;
        }
        EXPECT_LT(wave[length / 4], 0);  // low in the first half, as the chip
        EXPECT_GT(wave[3 * length / 4], 0);
    }
    EXPECT_EQ(psg_tone_octave(1023), 0);
    EXPECT_EQ(psg_tone_octave(512), 1);
    EXPECT_EQ(psg_tone_octave(511), 1);
    EXPECT_EQ(psg_tone_octave(8), 7);
}

TEST(PsgWaveforms, ShiftRegisterNoise)
{
    // White noise: the Sega chip's 16-bit register with feedback from bits 0
    // and 3 runs 57,337 shifts before it repeats, eight seconds at its
    // fastest; each shift held PSG_NOISE_HOLD samples, at the square waves'
    // swing less the mean of the shifts around it, so that its first,
    // mostly low, shifts after a restart carry no constant part.
    const std::vector<int16_t> white = psg_noise_wave(true);
    ASSERT_EQ(white.size(), size_t {57337} * PSG_NOISE_HOLD);
    long high = 0;
    for (size_t i = 0; i < white.size(); i += PSG_NOISE_HOLD) {
        EXPECT_EQ(white[i], white[i + PSG_NOISE_HOLD - 1]);
        high += white[i] > 0;
    }
    EXPECT_NEAR(static_cast<double>(high) / 57337, 0.5, 0.01);
    for (size_t shifts : {1000, 57337}) {
        double sum = 0;
        for (size_t i = 0; i < shifts * PSG_NOISE_HOLD; ++i)
            sum += white[i];
        EXPECT_LT(std::abs(sum / static_cast<double>(shifts * PSG_NOISE_HOLD)), 0.05 * PSG_SQUARE_AMPLITUDE) << shifts;
    }

    // Periodic noise: one high shift in sixteen, without a constant part,
    // at half the swing (the mixer plays it twice as loud).
    const std::vector<int16_t> periodic = psg_noise_wave(false);
    ASSERT_EQ(periodic.size(), size_t {PSG_PERIODIC_SHIFTS * PSG_NOISE_HOLD});
    long sum = 0;
    for (int i = 0; i < PSG_PERIODIC_SHIFTS * PSG_NOISE_HOLD; ++i) {
        EXPECT_EQ(periodic[i] > 0, i >= (PSG_PERIODIC_SHIFTS - 1) * PSG_NOISE_HOLD) << i;
        sum += periodic[i];
    }
    EXPECT_NEAR(periodic.back() - periodic.front(), PSG_SQUARE_AMPLITUDE, 1);
    EXPECT_NEAR(sum, 0, PSG_PERIODIC_SHIFTS * PSG_NOISE_HOLD);
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

// Bit c puts channel c on the right, bit c + 4 on the left; a channel on one
// side only is panned hard there at half volume, so that each side hears
// it as loud as a centred channel; on neither side it is silent.
TEST_F(PsgTest, StereoWiring)
{
    write({0x90, 0xB0, 0xD0, 0xF0});
    const struct {
        uint8_t value;
        int pans[4];
        int volumes[4];
    } cases[] = {
        {0xFF, {0, 0, 0, 0}, {255, 255, 255, 255}},
        {0x0F, {128, 128, 128, 128}, {128, 128, 128, 128}},
        {0xF0, {-128, -128, -128, -128}, {128, 128, 128, 128}},
        {0x10, {-128, 0, 0, 0}, {128, 0, 0, 0}},
        {0x00, {0, 0, 0, 0}, {0, 0, 0, 0}},
        {0x82, {0, 128, 0, -128}, {0, 128, 0, 128}},
    };
    for (const auto& c : cases) {
        gg_stereo_write(c.value);
        for (int ch = 0; ch < 4; ++ch) {
            EXPECT_EQ(mixer_voice(ch).pan, c.pans[ch]) << "byte " << int(c.value) << " channel " << ch;
            EXPECT_EQ(psg_pan[ch], std::clamp(c.pans[ch], -127, 127)) << "byte " << int(c.value) << " channel " << ch;
            EXPECT_EQ(volume(ch), c.volumes[ch]) << "byte " << int(c.value) << " channel " << ch;
        }
    }
    // The setting holds for later writes, and through a silence.
    gg_stereo_write(0x10);
    write({0x92});
    EXPECT_EQ(volume(0), 81);
    psg_silence();
    EXPECT_EQ(mixer_voice(0).pan, -128);
    // The Game Gear's speaker plays every channel centred at full volume,
    // whatever the register says; the viewer still shows the register.
    psg_set_gg_speaker(true);
    gg_stereo_write(0x82);
    for (int ch = 0; ch < 4; ++ch)
        EXPECT_EQ(std::make_pair(mixer_voice(ch).pan, volume(ch)), std::make_pair(0, ch ? 255 : 161)) << ch;
    EXPECT_EQ(psg_pan[3], -127);
    psg_set_gg_speaker(false);
    EXPECT_EQ(mixer_voice(3).pan, -128);
    // Machine start wires every channel to both sides.
    psg_reset();
    EXPECT_EQ(mixer_voice(0).pan, 0);
}

}  // namespace
