#include "sound/psg.h"

#include <algorithm>
#include <cmath>

#include "sound/mixer.h"
#include "sound/psg_log.h"

PsgState psg;
int8_t psg_pan[4];
bool psg_sound_on = true;
bool psg_gg_speaker = false;

namespace {

constexpr int NOISE_CHANNEL = 3;
constexpr int PERIOD_COUNT = 1024;  // the 10-bit period's range
// The pitch of period 1024 at the NTSC clock, just below the lowest the chip
// plays: octave n of the square waves plays from this times 2^n to twice that.
constexpr double LOWEST_HZ = PSG_CLOCK_NTSC / 32.0 / PERIOD_COUNT;
// The harmonics each square wave keeps: all whose pitch stays below this at
// the top of the octave, clear of the mixer's 22,050 Hz limit.
constexpr double HARMONIC_LIMIT_HZ = 22000;
// Noise register bits: the shift rate (0-2: the clock over 512, 1024, 2048;
// 3: tone 2's pitch), and bit 2 for white noise.
constexpr int NOISE_FROM_TONE2 = 3;
constexpr int NOISE_WHITE = 4;
// The Sega chip's noise generator: a 16-bit shift register started with its
// top bit set, whose output is bit 0 and whose feedback is bits 0 and 3 (white)
// or bit 0 alone (periodic).
constexpr uint16_t SHIFT_SEED = 0x8000;
constexpr uint16_t WHITE_TAPS = 0x0009;
// The shifts white noise's running mean is taken over: a corner near 14 Hz at
// the fastest fixed rate.
constexpr int DC_WINDOW = 512;
// Periodic noise without its constant part reaches 15/16 of its swing, more
// than 16 bits hold: it is stored at half of it and played twice as loud.
constexpr int PERIODIC_GAIN = 2;

// Indexed by 15 - attenuation.
constexpr uint8_t VOLUMES[16] = {0, 10, 13, 16, 20, 25, 32, 40, 51, 64, 81, 102, 128, 161, 202, 255};

int clock_hz = PSG_CLOCK_NTSC;
// The working state: the registers as the chip holds them.
int period[3];
int noise_control;
uint8_t stereo = 0xFF;

MixerSample* tone_samples[PSG_OCTAVES];
MixerSample* noise_samples[2];  // periodic, white
int noise_length[2];
// What each voice plays, so that a new octave keeps the wave's phase.
MixerSample* voice_sample[4];
int voice_length[4];

// The shift rate of the noise register, in shifts a second; 0 holds it.
double noise_shift_hz()
{
    if ((noise_control & 3) == NOISE_FROM_TONE2)
        return psg_tone_hz(period[2]);
    return clock_hz / (512.0 * (1 << (noise_control & 3)));
}

uint16_t stored_hz(double hz)
{
    return static_cast<uint16_t>(std::min(std::lround(hz), 65535L));
}

uint16_t stored_tone_hz(int tone_period)
{
    const double hz = psg_tone_hz(tone_period);
    return hz > PSG_TONE_MAX_HZ ? 0 : stored_hz(hz);
}

void store_tone(int channel)
{
    psg.frequency[channel] = stored_tone_hz(period[channel]);
    if ((noise_control & 3) == NOISE_FROM_TONE2)
        psg.frequency[NOISE_CHANNEL] = stored_hz(noise_shift_hz());
}

// The Game Gear's speaker plays every channel; the stereo register reaches
// only the headphones.
uint8_t heard_stereo()
{
    return psg_gg_speaker ? 0xFF : stereo;
}

// Voices are silenced by volume, so a channel switched off on both sides
// by the stereo register is volume 0, and one heard on one side only is at
// half volume panned hard over: each side hears it as loud as a centred
// channel.
int heard_volume(int channel)
{
    const bool right = heard_stereo() & (1 << channel), left = heard_stereo() & (0x10 << channel);
    const int volume = psg.volume[channel];
    return left && right ? volume : left || right ? (volume + 1) / 2 : 0;
}

int pan_of(uint8_t stereo_byte, int channel)
{
    const bool right = stereo_byte & (1 << channel), left = stereo_byte & (0x10 << channel);
    return left == right ? 0 : left ? -128 : 128;
}

int voice_pan(int channel)
{
    return pan_of(heard_stereo(), channel);
}

// Every voice's panning and volume after the stereo register or the speaker.
void push_stereo()
{
    for (int channel = 3; channel >= 0; --channel) {
        psg_pan[channel] = static_cast<int8_t>(std::clamp(pan_of(stereo, channel), -127, 127));
        mixer_voice_pan(channel, voice_pan(channel));
        if (psg_sound_on)
            mixer_voice_volume(channel, heard_volume(channel));
    }
}

// Puts `sample` on the channel's voice, at the same point of its wave.
void voice_use(int channel, MixerSample* sample, int length, bool restart)
{
    if (sample == voice_sample[channel] && !restart)
        return;
    int start = 0;
    if (!restart && voice_length[channel] > 0) {
        const long position = mixer_voice_position(channel) % voice_length[channel];
        start = static_cast<int>(position * length / voice_length[channel]);
    }
    voice_sample[channel] = sample;
    voice_length[channel] = length;
    mixer_voice_play(channel, sample, start);
    mixer_voice_pan(channel, voice_pan(channel));
}

// Pushes one channel's rate and volume into its voice, on the wave its
// period or noise kind needs.
void push_voice(int channel, bool restart)
{
    if (!psg_sound_on)
        return;
    double rate = 0;
    if (channel == NOISE_CHANNEL) {
        const bool white = noise_control & NOISE_WHITE;
        voice_use(channel, noise_samples[white], noise_length[white], restart);
        rate = noise_shift_hz() * PSG_NOISE_HOLD;
    } else {
        const int octave = period[channel] ? psg_tone_octave(period[channel]) : 0;
        const int length = PSG_TONE_LENGTH >> octave;
        voice_use(channel, tone_samples[octave], length, restart);
        if (psg.frequency[channel] != 0)
            rate = psg_tone_hz(period[channel]) * length;
    }
    mixer_voice_rate(channel, static_cast<int>(std::lround(rate)));
    mixer_voice_volume(channel, heard_volume(channel));
}

void write_register(int reg, uint8_t bits, bool latched)
{
    const int channel = reg >> 1;
    if (reg & 1) {
        const int attenuation = bits & 0x0F;
        psg.volume[channel] = VOLUMES[15 - attenuation];
        psg.latch = static_cast<uint8_t>(0x80 | reg << 4 | attenuation);
        push_voice(channel, false);
    } else if (channel == NOISE_CHANNEL) {
        noise_control = bits & 7;
        psg.noise_mode = static_cast<uint8_t>(noise_control & 3);
        psg.frequency[NOISE_CHANNEL] = stored_hz(noise_shift_hz());
        psg.latch = static_cast<uint8_t>(0xE0 | noise_control);
        // A write to the noise register starts the shift register afresh.
        push_voice(NOISE_CHANNEL, true);
    } else {
        int& tone = period[channel];
        tone = latched ? (tone & 0x3F0) | (bits & 0x0F) : (tone & 0x0F) | (bits & 0x3F) << 4;
        psg.latch = static_cast<uint8_t>(0x80 | reg << 4 | (tone & 0x0F));
        store_tone(channel);
        push_voice(channel, false);
        if (channel == 2 && (noise_control & 3) == NOISE_FROM_TONE2)
            push_voice(NOISE_CHANNEL, false);
    }
}

// The tone period that gives the stored frequency, holding `low` in its low
// four bits when those are known (-1 when not).
int period_from(uint16_t frequency, int low)
{
    if (frequency == 0)
        return low >= 0 && psg_tone_hz(low) > PSG_TONE_MAX_HZ ? low : 0;
    const double estimate = clock_hz / (32.0 * frequency);
    int best = std::clamp(static_cast<int>(std::lround(estimate)), 1, PERIOD_COUNT - 1);
    if (low >= 0) {
        const int base = (best & 0x3F0) | low;
        best = base;
        for (int candidate : {base - 16, base + 16})
            if (candidate >= 1 && candidate < PERIOD_COUNT
                && std::abs(candidate - estimate) < std::abs(best - estimate))
                best = candidate;
    }
    return best;
}

}  // namespace

std::vector<int16_t> psg_tone_wave(int octave)
{
    const int length = PSG_TONE_LENGTH >> octave;
    const double top_hz = LOWEST_HZ * (2 << octave);
    // The same fundamental in every octave, as loud as the fundamental alone
    // can be: the octaves with more harmonics overshoot less than that.
    const double fundamental = 32767.0;
    std::vector<int16_t> wave(static_cast<size_t>(length));
    for (int i = 0; i < length; ++i) {
        double sum = 0;
        for (int harmonic = 1; harmonic == 1 || harmonic * top_hz <= HARMONIC_LIMIT_HZ; harmonic += 2)
            sum += std::sin(2 * M_PI * harmonic * i / length) / harmonic;
        // Low for the first half of the period, like the chip's output.
        wave[static_cast<size_t>(i)] = static_cast<int16_t>(std::lround(-fundamental * sum));
    }
    return wave;
}

int psg_tone_octave(int tone_period)
{
    int octave = 0;
    while (octave + 1 < PSG_OCTAVES && (PERIOD_COUNT >> (octave + 1)) >= tone_period)
        ++octave;
    return octave;
}

std::vector<int16_t> psg_noise_wave(bool white)
{
    std::vector<bool> outputs;
    uint16_t shifter = SHIFT_SEED;
    do {
        const bool out = shifter & 1;
        const bool feedback = white ? __builtin_parity(shifter & WHITE_TAPS) : out;
        shifter = static_cast<uint16_t>(shifter >> 1 | feedback << 15);
        outputs.push_back(out);
    } while (shifter != SHIFT_SEED);
    const int count = static_cast<int>(outputs.size());
    // Without the constant part, as the console's output stage passes it.
    // Periodic noise is one high shift in sixteen. White noise starts
    // afresh at every noise write, and its first few hundred shifts are
    // mostly low: what each shift loses is the mean of the shifts around
    // it, which leaves everything above a few hertz as it is.
    std::vector<long> highs(static_cast<size_t>(count) + 1, 0);
    for (int i = 0; i < count; ++i)
        highs[static_cast<size_t>(i) + 1] = highs[static_cast<size_t>(i)] + outputs[static_cast<size_t>(i)];
    std::vector<int16_t> wave;
    wave.reserve(static_cast<size_t>(count) * PSG_NOISE_HOLD);
    for (int i = 0; i < count; ++i) {
        double level;
        if (white) {
            const int first = std::max(0, i - DC_WINDOW / 2), end = std::min(count, i + DC_WINDOW / 2);
            const double mean = 2.0
                    * static_cast<double>(highs[static_cast<size_t>(end)] - highs[static_cast<size_t>(first)])
                    / (end - first)
                - 1;
            level = PSG_SQUARE_AMPLITUDE * ((outputs[static_cast<size_t>(i)] ? 1 : -1) - mean);
        } else {
            const double swing = 2.0 * PSG_SQUARE_AMPLITUDE / PERIODIC_GAIN;
            level = outputs[static_cast<size_t>(i)] ? swing * (count - 1) / count : -swing / count;
        }
        const auto sample = static_cast<int16_t>(std::clamp(std::lround(level), -32768L, 32767L));
        wave.insert(wave.end(), PSG_NOISE_HOLD, sample);
    }
    return wave;
}

void psg_set_frame_rate(int frame_rate)
{
    psg_set_clock(frame_rate == 50 ? PSG_CLOCK_PAL : PSG_CLOCK_NTSC);
}

void psg_set_clock(int hz)
{
    clock_hz = hz;
}

int psg_clock()
{
    return clock_hz;
}

double psg_tone_hz(int tone_period)
{
    return tone_period ? clock_hz / (32.0 * tone_period) : 0;
}

int psg_tone_period(int channel)
{
    return channel >= 0 && channel < 3 ? period[channel] : 0;
}

int psg_noise_control()
{
    return noise_control;
}

void psg_create()
{
    mixer_voices_create();
    for (int octave = 0; octave < PSG_OCTAVES; ++octave) {
        const std::vector<int16_t> wave = psg_tone_wave(octave);
        tone_samples[octave] = mixer_sample_load(wave.data(), static_cast<int>(wave.size()));
    }
    for (bool white : {false, true}) {
        const std::vector<int16_t> wave = psg_noise_wave(white);
        noise_samples[white] = mixer_sample_load(wave.data(), static_cast<int>(wave.size()), white ? 1 : PERIODIC_GAIN);
        noise_length[white] = static_cast<int>(wave.size());
    }
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
    period[0] = period[1] = period[2] = 0;
    noise_control = 0;
    stereo = 0xFF;
    psg_silence();
}

void psg_write(uint8_t value)
{
    if (psg_logging)
        psg_log_byte(value);
    if (value & 0x80)
        write_register((value >> 4) & 7, value, true);
    else if (psg.latch & 0x80)  // data goes nowhere before the first latch
        write_register((psg.latch >> 4) & 7, value, false);
}

void gg_stereo_write(uint8_t value)
{
    if (psg_logging)
        psg_log_stereo(value);
    stereo = value;
    push_stereo();
}

void psg_set_gg_speaker(bool on)
{
    psg_gg_speaker = on;
    push_stereo();
}

std::vector<uint8_t> psg_state_writes()
{
    std::vector<uint8_t> bytes;
    for (int channel = 0; channel < 3; ++channel) {
        bytes.push_back(static_cast<uint8_t>(0x80 | channel << 5 | (period[channel] & 0x0F)));
        bytes.push_back(static_cast<uint8_t>(period[channel] >> 4 & 0x3F));
    }
    for (int channel = 0; channel < 4; ++channel) {
        // A loaded state may hold any volume: the nearest level stands for it.
        int level = 0;
        for (int candidate = 1; candidate < 16; ++candidate)
            if (std::abs(VOLUMES[candidate] - psg.volume[channel]) < std::abs(VOLUMES[level] - psg.volume[channel]))
                level = candidate;
        bytes.push_back(static_cast<uint8_t>(0x90 | channel << 5 | (15 - level)));
    }
    // The noise register afresh, as it sounds from now on; the latch last,
    // unless the noise register is the latched one and so already last.
    bytes.push_back(static_cast<uint8_t>(0xE0 | noise_control));
    if ((psg.latch & 0x80) && (psg.latch & 0xF0) != 0xE0)
        bytes.push_back(psg.latch);
    return bytes;
}

uint8_t psg_stereo()
{
    return stereo;
}

void psg_silence()
{
    const bool white = noise_control & NOISE_WHITE;
    for (int channel = 0; channel < 4; ++channel) {
        if (channel == NOISE_CHANNEL)
            voice_use(channel, noise_samples[white], noise_length[white], true);
        else
            voice_use(channel, tone_samples[0], PSG_TONE_LENGTH, true);
        mixer_voice_volume(channel, 0);
    }
}

void psg_refresh()
{
    const bool latched_tone = (psg.latch & 0x90) == 0x80 && (psg.latch & 0x60) != 0x60;
    const int latched_channel = (psg.latch >> 5) & 3;
    for (int channel = 0; channel < 3; ++channel)
        period[channel]
            = period_from(psg.frequency[channel], latched_tone && latched_channel == channel ? psg.latch & 0x0F : -1);
    // The white-noise bit is stored only while the noise register is the
    // latched one; white noise is what games mostly play otherwise.
    noise_control = (psg.latch & 0xF0) == 0xE0 ? psg.latch & 7 : (psg.noise_mode & 3) | NOISE_WHITE;
    psg_silence();
    for (int channel = 0; channel < 4; ++channel)
        push_voice(channel, false);
}
