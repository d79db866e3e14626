#include "sound/psg.h"

#include <gtest/gtest.h>

#include <initializer_list>

namespace {

class PsgTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        psg_reset();
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

    // Periods 0-6 are above the cut-off and silence the tone; 7 is the highest.
    for (uint8_t period = 0; period <= 6; ++period) {
        write({0xA0, 0x0F, static_cast<uint8_t>(0xA0 | period), 0x00});
        EXPECT_EQ(psg.frequency[1], 0) << int(period);
    }
    write({0xC7, 0x00});
    EXPECT_EQ(psg.frequency[2], 13982);
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
}

TEST_F(PsgTest, NoiseRatesAndToneTwoClocking)
{
    const uint16_t rates[3] = {6991, 3495, 1747};
    for (uint8_t mode = 0; mode < 3; ++mode) {
        write({static_cast<uint8_t>(0xE4 | mode)});  // the white-noise bit makes no difference
        EXPECT_EQ(psg.noise_mode, mode);
        EXPECT_EQ(psg.frequency[3], rates[mode]);
    }

    write({0xCE, 0x0F, 0xE3});
    EXPECT_EQ(psg.noise_mode, 3);
    EXPECT_EQ(psg.frequency[3], 438);
    write({0xC7, 0x00});
    EXPECT_EQ(psg.frequency[3], 13982);  // follows tone 2 while in mode 3
    write({0xE0, 0xCE, 0x0F});
    EXPECT_EQ(psg.frequency[3], 6991);  // and no longer after
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
        for (int ch = 0; ch < 4; ++ch)
            EXPECT_EQ(psg_pan[ch], c.pans[ch]) << "byte " << int(c.value) << " channel " << ch;
    }
    // Silencing the voices keeps the pans the viewer shows.
    psg_silence();
    EXPECT_EQ(psg_pan[3], 127);
}

}  // namespace
