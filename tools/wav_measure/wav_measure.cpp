// wav_measure: the figures the sound tests check in a 16-bit PCM WAV file,
// with FFTW for the spectrum.
//   wav_measure FILE                          channels and samples per channel
//   wav_measure FILE segment FIRST END        RMS of each side (0-1) and the
//                                             dominant frequency of samples
//                                             FIRST to END-1
//   wav_measure FILE frames SAMPLES           one line per frame of SAMPLES:
//                                             its RMS and dominant frequency
#include <fftw3.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

struct Wav {
    int channels = 0;
    int rate = 0;
    std::vector<float> left, right;  // -1 to 1; right equals left when mono
};

uint32_t u32(const uint8_t* at)
{
    return at[0] | at[1] << 8 | at[2] << 16 | static_cast<uint32_t>(at[3]) << 24;
}

[[noreturn]] void fail(const std::string& why)
{
    std::fprintf(stderr, "wav_measure: %s\n", why.c_str());
    std::exit(1);
}

Wav read_wav(const char* path)
{
    std::ifstream file(path, std::ios::binary);
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (bytes.size() < 12 || std::memcmp(bytes.data(), "RIFF", 4) || std::memcmp(bytes.data() + 8, "WAVE", 4))
        fail(std::string(path) + " is not a WAV file");
    Wav wav;
    for (size_t at = 12; at + 8 <= bytes.size();) {
        const uint32_t size = u32(&bytes[at + 4]);
        const uint8_t* body = &bytes[at + 8];
        const size_t available = std::min<size_t>(size, bytes.size() - at - 8);
        if (!std::memcmp(&bytes[at], "fmt ", 4) && available >= 16) {
            if (body[0] != 1 || body[14] != 16)
                fail("not 16-bit PCM");
            wav.channels = body[2];
            wav.rate = static_cast<int>(u32(body + 4));
        } else if (!std::memcmp(&bytes[at], "data", 4)) {
            if (wav.channels < 1 || wav.channels > 2)
                fail("no format before the data");
            for (size_t i = 0; i + 2 * wav.channels <= available; i += 2 * wav.channels) {
                auto sample = [&](int channel) {
                    return static_cast<int16_t>(body[i + 2 * channel] | body[i + 2 * channel + 1] << 8) / 32768.0f;
                };
                wav.left.push_back(sample(0));
                wav.right.push_back(sample(wav.channels - 1));
            }
            return wav;
        }
        at += 8 + size + (size & 1);
    }
    fail("no sound data");
}

double rms(const std::vector<float>& samples, size_t first, size_t end)
{
    double sum = 0;
    for (size_t i = first; i < end; ++i)
        sum += samples[i] * samples[i];
    return end > first ? std::sqrt(sum / static_cast<double>(end - first)) : 0;
}

// The strongest frequency of both sides together: a Hann window, zero
// padding to at least four times the length, and a parabola through the
// peak bin and its neighbours. 0 for silence.
double dominant_frequency(const Wav& wav, size_t first, size_t end)
{
    const size_t length = end - first;
    size_t size = 1;
    while (size < 4 * length || size < 8192)
        size *= 2;
    std::vector<double> input(size, 0.0);
    double energy = 0;
    for (size_t i = 0; i < length; ++i) {
        const double window = 0.5 - 0.5 * std::cos(2 * M_PI * static_cast<double>(i) / static_cast<double>(length));
        input[i] = window * (wav.left[first + i] + wav.right[first + i]) / 2;
        energy += input[i] * input[i];
    }
    if (energy < 1e-9)
        return 0;
    std::vector<fftw_complex> output(size / 2 + 1);
    fftw_plan plan = fftw_plan_dft_r2c_1d(static_cast<int>(size), input.data(), output.data(), FFTW_ESTIMATE);
    fftw_execute(plan);
    fftw_destroy_plan(plan);
    std::vector<double> magnitude(output.size());
    for (size_t k = 0; k < output.size(); ++k)
        magnitude[k] = std::hypot(output[k][0], output[k][1]);
    size_t peak = 1;
    for (size_t k = 2; k + 1 < magnitude.size(); ++k)
        if (magnitude[k] > magnitude[peak])
            peak = k;
    double offset = 0;
    const double a = std::log(magnitude[peak - 1] + 1e-12), b = std::log(magnitude[peak] + 1e-12),
                 c = std::log(magnitude[peak + 1] + 1e-12);
    if (a - 2 * b + c < 0)
        offset = 0.5 * (a - c) / (a - 2 * b + c);
    return (static_cast<double>(peak) + offset) * wav.rate / static_cast<double>(size);
}

size_t number(const char* text)
{
    char* end = nullptr;
    const unsigned long long value = std::strtoull(text, &end, 10);
    if (*text == '\0' || *end != '\0')
        fail(std::string("not a number: ") + text);
    return static_cast<size_t>(value);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
        fail("usage: wav_measure FILE [segment FIRST END | frames SAMPLES]");
    const Wav wav = read_wav(argv[1]);
    const size_t count = wav.left.size();
    if (argc == 2) {
        std::printf("channels %d\nrate %d\nsamples %zu\n", wav.channels, wav.rate, count);
    } else if (argc == 5 && !std::strcmp(argv[2], "segment")) {
        const size_t first = number(argv[3]), end = number(argv[4]);
        if (first >= end || end > count)
            fail("segment outside the file");
        std::printf("rms-left %.5f\nrms-right %.5f\npeak-hz %.2f\n", rms(wav.left, first, end),
            rms(wav.right, first, end), dominant_frequency(wav, first, end));
    } else if (argc == 4 && !std::strcmp(argv[2], "frames")) {
        const size_t samples = number(argv[3]);
        if (samples == 0)
            fail("empty frames");
        for (size_t frame = 0; (frame + 1) * samples <= count; ++frame) {
            const size_t first = frame * samples, end = first + samples;
            std::printf("%zu %.5f %.1f\n", frame + 1, (rms(wav.left, first, end) + rms(wav.right, first, end)) / 2,
                dominant_frequency(wav, first, end));
        }
    } else {
        fail("usage: wav_measure FILE [segment FIRST END | frames SAMPLES]");
    }
    return 0;
}
