// The SN76489 programmable sound generator on mixer voices. Nothing is
// synthesised sample by sample: each channel drives one looping voice (a
// band-limited square wave for the tones, a shift-register sample for the
// noise) and every write becomes a new voice rate, volume or panning at once,
// so writes take effect at the resolution of the mixer's updates.
#pragma once

#include <cstdint>
#include <vector>

// What save states and music files carry.
struct PsgState {
    uint16_t frequency[4];  // tone channels in Hz (0 silent), then the noise shift rate
    uint8_t volume[4];  // 0-255, converted from the attenuation
    uint8_t noise_mode;  // low two bits of the noise register
    // The register latched last, as a latch byte holding that register's
    // current low four bits; 0 at reset, before any latch.
    uint8_t latch;
};

extern PsgState psg;
// Voice panning set by the Game Gear stereo register: -127, 0 or 127.
extern int8_t psg_pan[4];

// The sound switch: while it is off, writes still change `psg` but no voice.
// On unless the configuration says "nosound".
extern bool psg_sound_on;
// The Game Gear's built-in speaker instead of its headphones: every channel
// on both sides, whatever the stereo register says. Off unless chosen.
extern bool psg_gg_speaker;

constexpr int PSG_CLOCK_NTSC = 3579545;
constexpr int PSG_CLOCK_PAL = 3546893;
// Tones above this are not heard and play as silence.
constexpr int PSG_TONE_MAX_HZ = 15000;
// One square-wave sample per octave of the 10-bit tone period; each holds one
// period, of PSG_TONE_LENGTH samples in octave 0 and half as many in each
// octave above, and only the harmonics the mixer can play without aliasing.
constexpr int PSG_OCTAVES = 8;
constexpr int PSG_TONE_LENGTH = 4096;
// Periodic noise: one pulse every 16 shifts.
constexpr int PSG_PERIODIC_SHIFTS = 16;
// The noise samples hold each shift this many samples, so that the mixer's
// interpolation only rounds the steps' edges, as far above 20 kHz as the
// fastest shift rate (tone 2 at period 1) allows under MIXER_RATE_MAX.
constexpr int PSG_NOISE_HOLD = 16;
// The swing of a square wave whose fundamental is the tone samples'; the
// noise swings as far, as all four channels share the chip's output levels.
constexpr int PSG_SQUARE_AMPLITUDE = 25735;

// Octave `octave`'s square wave; its length is PSG_TONE_LENGTH >> octave.
std::vector<int16_t> psg_tone_wave(int octave);
// The octave whose square wave plays tone period `period` (1-1023).
int psg_tone_octave(int period);
// The noise, each shift of the chip's 16-bit shift register held
// PSG_NOISE_HOLD samples, without its constant part: its whole cycle for
// white noise, at PSG_SQUARE_AMPLITUDE less the running mean; a 16-shift
// pulse train for periodic noise, at half its swing (the mixer plays it
// twice as loud).
std::vector<int16_t> psg_noise_wave(bool white);

// The chip's clock: PSG_CLOCK_NTSC or PSG_CLOCK_PAL, after the video standard
// (50 frames a second is PAL).
void psg_set_frame_rate(int frame_rate);
// Any other clock, as a music file names it.
void psg_set_clock(int hz);
int psg_clock();
// The pitch of tone period `period` at the current clock, in Hz; 0 for
// period 0, which only holds the output.
double psg_tone_hz(int period);
// The tone periods and the noise register (white noise in bit 2) as the
// chip holds them: the working state `psg` derives from.
int psg_tone_period(int channel);
int psg_noise_control();

// Builds the waveforms, makes the four voices and silences them. Called once,
// after mixer_init.
void psg_create();
// Turns the sound switch on or off; the voices fall silent either way and
// stay so until the game next writes each channel.
void psg_set_sound(bool on);
void psg_reset();
void psg_write(uint8_t value);
void gg_stereo_write(uint8_t value);
void psg_set_gg_speaker(bool on);
// The bytes that take a chip from reset to the state it holds now, its
// latch last: tone periods, attenuations, the noise register.
std::vector<uint8_t> psg_state_writes();
uint8_t psg_stereo();
// Restarts the four voices looping and silent, panned as the stereo register
// says; `psg` and psg_pan keep their values.
void psg_silence();
// After `psg` was loaded (a state, a music file's header): rebuilds the
// working state from it as exactly as its fields allow, then silence, then
// every channel from it.
void psg_refresh();
