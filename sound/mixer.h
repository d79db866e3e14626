// The sound engine: a thin layer over libmikmod's software mixer. Voices loop
// 16-bit samples; their rate, volume and panning may change at any time from
// the emulation thread while another thread calls mixer_update.
#pragma once

#include <cstdint>

struct MixerSample;

constexpr int MIXER_RATE = 44100;
constexpr int MIXER_VOICES = 4;
// The mixer steps through a sample in fixed point with 11 fraction bits in
// 32 bits, so a rate must stay below 2^21 samples a second.
constexpr int MIXER_RATE_MAX = 2000000;

// What a voice was last asked to do, kept for the viewers and the tests.
struct MixerVoice {
    int rate;  // samples per second; 0 holds the voice silent
    int volume;  // 0-255
    int pan;  // -128 full left, 0 centre, 128 full right
};

// Chooses where the sound goes: an empty target (or nullptr) means the sound
// device, "none" silence, "memory" a mix that is thrown away (it measures
// the mixer), and a name ending in ".wav" a WAV file holding, at every
// update, exactly one frame of sound (MIXER_RATE / frame_rate samples). The
// environment variable TARVEN_AUDIO_OUT is the usual source of the target.
void mixer_register_output(const char* target);
// Starts the mixer at MIXER_RATE with 16-bit samples and one or two output
// channels. When the chosen output cannot be opened the mixer stays silent and
// everything else works on. `frame_rate` is the number of updates a second.
void mixer_init(int channels, int frame_rate);
// The number of updates a second from now on (PAL or NTSC chosen).
void mixer_set_frame_rate(int frame_rate);
// The samples each update mixes: MIXER_RATE / the frame rate.
int mixer_frame_samples();
// True when the output is a file rather than something heard in real time.
bool mixer_output_is_file();
// Makes MIXER_VOICES voices.
void mixer_voices_create();
// Takes a copy of `length` 16-bit signed mono samples for looping voices,
// played `gain` times as loud as they are stored: a wave whose swing does
// not fit 16 bits is stored at a fraction of it.
MixerSample* mixer_sample_load(const int16_t* data, int length, int gain = 1);
// Restarts `voice` looping `sample` from sample `start`, silent until told
// otherwise.
void mixer_voice_play(int voice, MixerSample* sample, int start);
// Where in its sample the voice plays now.
long mixer_voice_position(int voice);
void mixer_voice_volume(int voice, int volume);
// A rate of 0 silences the voice and holds it where it is. Rates are held
// below MIXER_RATE_MAX.
void mixer_voice_rate(int voice, int rate);
void mixer_voice_pan(int voice, int pan);
MixerVoice mixer_voice(int voice);
// Mixes the time since the previous update and hands it to the output.
// Safe from any thread, also before mixer_init and after mixer_shutdown.
void mixer_update();
// The sound the last update mixed into memory or a WAV file: `samples`
// 16-bit samples of each channel, interleaved.
const int16_t* mixer_last_update(int& samples);
// Stops the voices and the output, waits for an update running on another
// thread, then frees the samples and closes the output; a WAV file is
// completed here.
void mixer_shutdown();
