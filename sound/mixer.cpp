#include "sound/mixer.h"

#include <mikmod.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "host/log.h"

struct MixerSample {
    SAMPLE* handle;
    int gain;
};

namespace {

enum class Output { DEVICE, NONE, MEMORY, WAV };

Output output = Output::DEVICE;
std::string wav_path;
// Samples mixed at each update by the frame writer; the frame rate may
// change while the timer thread mixes.
std::atomic<int> frame_samples {MIXER_RATE / 60};
// Set once the mixer runs, so that the timer thread never updates a mixer
// that is being started or shut down.
std::atomic<bool> ready {false};
// Held by an update and by the shutdown, so that the samples are never freed
// under a mix running on the timer thread.
std::mutex update_lock;
std::vector<std::unique_ptr<MixerSample>> samples;
MixerVoice voices[MIXER_VOICES];
// The mixer drops a voice for good the moment it sees a rate of 0, so a
// silenced tone keeps its last real rate at volume 0 instead.
int held_rate[MIXER_VOICES];
int voice_gain[MIXER_VOICES];
// The mixer moves a voice to a new sample only when it next mixes, and
// until then reports its place in the old one. A voice restarted since the
// last update is where it was restarted: the number of the update it waits
// for, and its start.
std::atomic<unsigned> updates {0};
std::atomic<unsigned> started_before[MIXER_VOICES];
std::atomic<long> started_at[MIXER_VOICES];

// --- The frame writer: an output driver of ours that mixes exactly one
// frame at each update, into a WAV file or into memory. The stock disk
// writers mix a fixed block per update whatever time has passed.

FILE* wav_file = nullptr;
std::vector<SBYTE> frame_buffer;
ULONG frame_bytes = 0;  // mixed into frame_buffer at the last update
uint32_t wav_data_bytes = 0;

int output_channels()
{
    return (md_mode & DMODE_STEREO) ? 2 : 1;
}

void put_u32(uint8_t* at, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        at[i] = static_cast<uint8_t>(value >> (8 * i));
}

void put_u16(uint8_t* at, uint16_t value)
{
    at[0] = static_cast<uint8_t>(value);
    at[1] = static_cast<uint8_t>(value >> 8);
}

void write_wav_header()
{
    const int channels = output_channels();
    uint8_t header[44];
    std::memcpy(header, "RIFF\0\0\0\0WAVEfmt ", 16);
    put_u32(header + 4, 36 + wav_data_bytes);
    put_u32(header + 16, 16);
    put_u16(header + 20, 1);  // PCM
    put_u16(header + 22, static_cast<uint16_t>(channels));
    put_u32(header + 24, md_mixfreq);
    put_u32(header + 28, md_mixfreq * channels * 2);
    put_u16(header + 32, static_cast<uint16_t>(channels * 2));
    put_u16(header + 34, 16);
    std::memcpy(header + 36, "data", 4);
    put_u32(header + 40, wav_data_bytes);
    std::fseek(wav_file, 0, SEEK_SET);
    std::fwrite(header, sizeof header, 1, wav_file);
}

BOOL frames_present()
{
    return 1;
}

int frames_init()
{
    if (output == Output::WAV) {
        wav_file = std::fopen(wav_path.c_str(), "wb");
        if (!wav_file)
            return 1;
        wav_data_bytes = 0;
        write_wav_header();
    }
    return VC_Init();
}

void frames_exit()
{
    VC_Exit();
    if (wav_file) {
        write_wav_header();
        std::fclose(wav_file);
        wav_file = nullptr;
    }
}

int frames_reset()
{
    frames_exit();
    return frames_init();
}

void frames_update()
{
    const int channels = output_channels();
    frame_buffer.resize(static_cast<size_t>(frame_samples.load(std::memory_order_relaxed)) * channels * 2);
    frame_bytes = VC_WriteBytes(frame_buffer.data(), static_cast<ULONG>(frame_buffer.size()));
    if (wav_file && std::fwrite(frame_buffer.data(), 1, frame_bytes, wav_file) == frame_bytes)
        wav_data_bytes += frame_bytes;
}

MDRIVER frame_writer = {
    nullptr,
    "Frame writer",
    "Frame writer: one frame of sound per update, to a WAV file or memory",
    0,
    255,
    "frames",
    nullptr,
    nullptr,
    frames_present,
    VC_SampleLoad,
    VC_SampleUnload,
    VC_SampleSpace,
    VC_SampleLength,
    frames_init,
    frames_exit,
    frames_reset,
    VC_SetNumVoices,
    VC_PlayStart,
    VC_PlayStop,
    frames_update,
    nullptr,
    VC_VoiceSetVolume,
    VC_VoiceGetVolume,
    VC_VoiceSetFrequency,
    VC_VoiceGetFrequency,
    VC_VoiceSetPanning,
    VC_VoiceGetPanning,
    VC_VoicePlay,
    VC_VoiceStop,
    VC_VoiceStopped,
    VC_VoiceGetPosition,
    VC_VoiceRealVolume,
};

bool ends_with(const std::string& text, const char* suffix)
{
    const size_t length = std::strlen(suffix);
    return text.size() >= length && text.compare(text.size() - length, length, suffix) == 0;
}

// Opens the driver with the given alias; false when it cannot be opened.
bool open_driver(const char* alias)
{
    md_device = static_cast<UWORD>(MikMod_DriverFromAlias(alias));
    return md_device != 0 && MikMod_Init(nullptr) == 0;
}

bool valid(int voice)
{
    return voice >= 0 && voice < MIXER_VOICES;
}

// The mixer takes volumes above its full 256 as gain.
void apply_volume(int voice)
{
    const int volume = voices[voice].rate ? voices[voice].volume * voice_gain[voice] : 0;
    Voice_SetVolume(static_cast<SBYTE>(voice), static_cast<UWORD>(volume));
}

}  // namespace

void mixer_register_output(const char* target)
{
    const std::string name = target ? target : "";
    wav_path.clear();
    if (name.empty())
        output = Output::DEVICE;
    else if (name == "none")
        output = Output::NONE;
    else if (name == "memory")
        output = Output::MEMORY;
    else if (ends_with(name, ".wav") || ends_with(name, ".WAV")) {
        output = Output::WAV;
        wav_path = name;
    } else
        output = Output::DEVICE;
}

void mixer_init(int channels, int frame_rate)
{
    static bool drivers_registered = false;
    if (!drivers_registered) {
        MikMod_RegisterDriver(&frame_writer);
        MikMod_RegisterDriver(&drv_sdl);
        MikMod_RegisterDriver(&drv_nos);
        drivers_registered = true;
    }
    MikMod_InitThreads();
    mixer_set_frame_rate(frame_rate);
    md_mixfreq = MIXER_RATE;
    // Interpolation, so that the band-limited waves of the PSG stay so.
    md_mode = DMODE_16BITS | DMODE_SOFT_SNDFX | DMODE_INTERP | (channels == 2 ? DMODE_STEREO : 0);
    md_reverb = 0;
    md_pansep = 128;
    // At these settings a voice at full volume reaches 15/16 of a quarter of
    // the output range on each side of a stereo mix (a centred voice reaches
    // each side at half its volume), so that the chip's four channels
    // together fill the range without clipping, as they share the chip's
    // output: periodic noise's pulse rises 15/16 of its swing above its
    // mean, beyond a square wave's half. A mono mix is scaled the same.
    md_volume = channels == 2 ? 128 : 64;
    md_sndfxvolume = 120;

    const char* alias = output == Output::DEVICE ? "sdl" : output == Output::NONE ? "nosound" : "frames";
    bool opened = false;
    run_without_library_noise([&] { opened = open_driver(alias); });
    if (!opened) {
        if (output == Output::WAV)
            std::fprintf(stderr, "Cannot write the sound to %s; going on without sound.\n", wav_path.c_str());
        else if (output == Output::DEVICE)
            std::fprintf(stderr, "No sound device could be opened; going on without sound.\n");
        output = Output::NONE;
        open_driver("nosound");
    }
    for (int voice = 0; voice < MIXER_VOICES; ++voice)
        held_rate[voice] = MIXER_RATE;
}

void mixer_set_frame_rate(int frame_rate)
{
    frame_samples.store(MIXER_RATE / std::max(frame_rate, 1), std::memory_order_relaxed);
}

int mixer_frame_samples()
{
    return frame_samples.load(std::memory_order_relaxed);
}

bool mixer_output_is_file()
{
    return output == Output::WAV;
}

void mixer_voices_create()
{
    MikMod_SetNumVoices(0, MIXER_VOICES);
    MikMod_EnableOutput();
    ready.store(true, std::memory_order_release);
}

MixerSample* mixer_sample_load(const int16_t* data, int length, int gain)
{
    SAMPLE* handle
        = Sample_LoadRawMem(reinterpret_cast<const char*>(data), length * 2, MIXER_RATE, 0, SF_16BITS | SF_SIGNED);
    if (!handle)
        return nullptr;
    handle->flags |= SF_LOOP;
    handle->loopstart = 0;
    handle->loopend = static_cast<ULONG>(length);
    samples.push_back(std::make_unique<MixerSample>(MixerSample {handle, gain}));
    return samples.back().get();
}

void mixer_voice_play(int voice, MixerSample* sample, int start)
{
    if (!valid(voice))
        return;
    voices[voice].volume = 0;
    if (!ready.load(std::memory_order_acquire) || !sample)
        return;
    started_at[voice].store(std::max(start, 0), std::memory_order_relaxed);
    started_before[voice].store(updates.load(std::memory_order_acquire) + 1, std::memory_order_release);
    voice_gain[voice] = sample->gain;
    Voice_Play(static_cast<SBYTE>(voice), sample->handle, static_cast<ULONG>(std::max(start, 0)));
    Voice_SetFrequency(static_cast<SBYTE>(voice), static_cast<ULONG>(held_rate[voice]));
    Voice_SetVolume(static_cast<SBYTE>(voice), 0);
}

void mixer_voice_volume(int voice, int volume)
{
    if (!valid(voice))
        return;
    voices[voice].volume = std::clamp(volume, 0, 255);
    if (ready.load(std::memory_order_acquire))
        apply_volume(voice);
}

void mixer_voice_rate(int voice, int rate)
{
    if (!valid(voice))
        return;
    voices[voice].rate = std::clamp(rate, 0, MIXER_RATE_MAX);
    if (voices[voice].rate)
        held_rate[voice] = voices[voice].rate;
    if (!ready.load(std::memory_order_acquire))
        return;
    Voice_SetFrequency(static_cast<SBYTE>(voice), static_cast<ULONG>(held_rate[voice]));
    apply_volume(voice);
}

void mixer_voice_pan(int voice, int pan)
{
    if (!valid(voice))
        return;
    voices[voice].pan = std::clamp(pan, -128, 128);
    if (ready.load(std::memory_order_acquire))
        Voice_SetPanning(static_cast<SBYTE>(voice), static_cast<ULONG>(std::clamp(voices[voice].pan + 128, 0, 255)));
}

long mixer_voice_position(int voice)
{
    if (!valid(voice) || !ready.load(std::memory_order_acquire))
        return 0;
    if (started_before[voice].load(std::memory_order_acquire) == updates.load(std::memory_order_acquire) + 1)
        return started_at[voice].load(std::memory_order_relaxed);
    return std::max<long>(Voice_GetPosition(static_cast<SBYTE>(voice)), 0);
}

MixerVoice mixer_voice(int voice)
{
    return valid(voice) ? voices[voice] : MixerVoice {};
}

void mixer_update()
{
    const std::lock_guard<std::mutex> hold(update_lock);
    // The silent driver would mix a large block into nowhere at every update.
    if (ready.load(std::memory_order_acquire) && output != Output::NONE) {
        MikMod_Update();
        updates.fetch_add(1, std::memory_order_acq_rel);
    }
}

const int16_t* mixer_last_update(int& samples)
{
    samples = static_cast<int>(frame_bytes / (2 * output_channels()));
    return reinterpret_cast<const int16_t*>(frame_buffer.data());
}

void mixer_shutdown()
{
    const std::lock_guard<std::mutex> hold(update_lock);
    if (ready.exchange(false, std::memory_order_acq_rel)) {
        for (int voice = 0; voice < MIXER_VOICES; ++voice)
            Voice_Stop(static_cast<SBYTE>(voice));
        MikMod_DisableOutput();
    }
    for (const auto& sample : samples)
        Sample_Free(sample->handle);
    samples.clear();
    MikMod_Exit();
}
