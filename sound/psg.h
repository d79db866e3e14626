// The SN76489 programmable sound generator on mixer voices. Nothing is
// synthesised sample by sample: each channel drives one looping voice (a
// square wave for the tones, a noise sample for the noise channel) and every
// write becomes a new voice rate or volume at once.
#pragma once

#include <cstdint>

struct PsgState {
    uint16_t frequency[4];  // tone channels in Hz (0 silent), then the noise rate
    uint8_t volume[4];  // 0-255, converted from the attenuation
    uint8_t noise_mode;  // low two bits of the last noise control byte
    uint8_t latch;  // last tone latch byte, 0 at reset
};

extern PsgState psg;
// Voice panning set by the Game Gear stereo register: -127, 0 or 127.
extern int8_t psg_pan[4];

// The sound switch: while it is off, writes still change `psg` but no voice.
// On unless the configuration says "nosound".
extern bool psg_sound_on;

constexpr int PSG_SQUARE_LENGTH = 64;
constexpr int PSG_NOISE_LENGTH = 512;
// The square wave: four periods of 16 samples, half low and half high; and
// the noise: the output of a shift-register generator, 1 low and 0 high.
void psg_make_waveforms(int16_t square[PSG_SQUARE_LENGTH], int16_t noise[PSG_NOISE_LENGTH]);

// Builds both waveforms, makes the four voices and silences them. Called once,
// after mixer_init.
void psg_create();
// Turns the sound switch on or off; the voices fall silent either way and
// stay so until the game next writes each channel.
void psg_set_sound(bool on);
void psg_reset();
void psg_write(uint8_t value);
void gg_stereo_write(uint8_t value);
// Pushes one channel's frequency and volume into its voice.
void psg_voice_update(int channel, int frequency, int volume);
// Restarts the four voices looping, silent and centred; `psg` and psg_pan
// keep their values.
void psg_silence();
// After a state load: silence, then every channel from the stored state.
void psg_refresh();
