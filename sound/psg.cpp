#include "sound/psg.h"

#include "sound/mixer.h"
#include "sound/psg_log.h"

PsgState psg;
int8_t psg_pan[4];
bool psg_sound_on = true;

namespace {

// The chip's clock (3,579,545 Hz) divided by 32, rounded: the tone
// frequency is this over the period plus one.
constexpr int TONE_CLOCK = 111861;
// Above this the tone is inaudible and the voice rate would be absurd.
constexpr int TONE_MAX = 15000;
// Noise modes 0-2: the tone clock divided by 16, 32 and 64, truncated.
constexpr uint16_t NOISE_RATES[3] = {6991, 3495, 1747};
// Mode 3 clocks the noise from tone channel 2.
constexpr uint8_t NOISE_FROM_TONE2 = 3;
constexpr int NOISE_CHANNEL = 3;
// A square period holds 16 samples, so the voice plays 16 times the pitch.
constexpr int SQUARE_PERIOD = 16;
constexpr uint32_t NOISE_SEED = 29761;

MixerSample* square_sample = nullptr;
MixerSample* noise_sample = nullptr;

// Indexed by 15 - attenuation.
constexpr uint8_t VOLUMES[16] = {0, 10, 13, 16, 20, 25, 32, 40, 51, 64, 81, 102, 128, 161, 202, 255};

void update_channel(int channel)
{
    psg_voice_update(channel, psg.frequency[channel], psg.volume[channel]);
}

void tone_data(uint8_t value)
{
    if (!(psg.latch & 0xC0))
        return;  // no tone latched since reset
    const int channel = (psg.latch >> 5) & 3;
    const int period = ((value & 0x3F) << 4) | (psg.latch & 0x0F);
    int frequency = TONE_CLOCK / (period + 1);
    if (frequency > TONE_MAX)
        frequency = 0;
    psg.frequency[channel] = static_cast<uint16_t>(frequency);
    // The noise voice picks up the new rate at its next update.
    if (channel == 2 && psg.noise_mode == NOISE_FROM_TONE2)
        psg.frequency[NOISE_CHANNEL] = static_cast<uint16_t>(frequency);
    update_channel(channel);
}

}  // namespace

void psg_make_waveforms(int16_t square[PSG_SQUARE_LENGTH], int16_t noise[PSG_NOISE_LENGTH])
{
    for (int i = 0; i < PSG_SQUARE_LENGTH; ++i)
        square[i] = i % SQUARE_PERIOD < SQUARE_PERIOD / 2 ? -32768 : 32767;
    uint32_t state = NOISE_SEED;
    for (int i = 0; i < PSG_NOISE_LENGTH; ++i) {
        const bool high_bit = state & (1u << 17);
        state = high_bit ? (2 * state - 38) | 1 : 2 * state;
        noise[i] = high_bit ? -32768 : 32767;
    }
}

void psg_create()
{
    int16_t square[PSG_SQUARE_LENGTH];
    int16_t noise[PSG_NOISE_LENGTH];
    psg_make_waveforms(square, noise);
    mixer_voices_create();
    square_sample = mixer_sample_load(square, PSG_SQUARE_LENGTH);
    noise_sample = mixer_sample_load(noise, PSG_NOISE_LENGTH);
    psg_silence();
}

void psg_set_sound(bool on)
{
    psg_sound_on = on;
    psg_silence();
}

void psg_reset()
{
    psg = PsgState {};
    psg_silence();
}

void psg_write(uint8_t value)
{
    if (psg_logging)
        psg_log_byte(value);
    if (!(value & 0x80)) {
        tone_data(value);
        return;
    }
    switch (value & 0xF0) {
    case 0x80:
    case 0xA0:
    case 0xC0:
        // The period's low bits wait for the data byte.
        psg.latch = value;
        break;
    case 0xE0:
        psg.noise_mode = value & 3;
        psg.frequency[NOISE_CHANNEL]
            = psg.noise_mode == NOISE_FROM_TONE2 ? psg.frequency[2] : NOISE_RATES[psg.noise_mode];
        update_channel(NOISE_CHANNEL);
        break;
    default: {  // 0x90, 0xB0, 0xD0, 0xF0: attenuation of channel 0-3
        const int channel = (value >> 5) & 3;
        psg.volume[channel] = VOLUMES[15 - (value & 0x0F)];
        update_channel(channel);
        break;
    }
    }
}

void gg_stereo_write(uint8_t value)
{
    for (int channel = 3; channel >= 0; --channel) {
        const bool left = value & ((1 << (channel + 1)) | (1 << (channel + 3)));
        const bool right = value & (1 << channel);
        // A channel switched off on both sides still plays centred.
        psg_pan[channel] = left == right ? 0 : left ? -127 : 127;
        mixer_voice_pan(channel, psg_pan[channel]);
    }
}

void psg_voice_update(int channel, int frequency, int volume)
{
    if (!psg_sound_on)
        return;
    mixer_voice_rate(channel, channel == NOISE_CHANNEL ? frequency : frequency * SQUARE_PERIOD);
    mixer_voice_volume(channel, volume);
}

void psg_silence()
{
    for (int channel = 0; channel < 4; ++channel) {
        mixer_voice_play(channel, channel == NOISE_CHANNEL ? noise_sample : square_sample);
        mixer_voice_volume(channel, 0);
        mixer_voice_pan(channel, 0);
    }
}

void psg_refresh()
{
    psg_silence();
    for (int channel = 0; channel < 4; ++channel)
        update_channel(channel);
}
