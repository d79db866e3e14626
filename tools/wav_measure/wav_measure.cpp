// wav_measure: the figures the sound tests check in a 16-bit PCM WAV file,
// with FFTW for the spectrum.
//   wav_measure FILE                          channels and samples per channel
//   wav_measure FILE segment FIRST END        RMS of each side (0-1) and the
//                                             dominant frequency of samples
//                                             FIRST to END-1
//   wav_measure FILE frames SAMPLES           one line per frame of SAMPLES:
//                                             its RMS and dominant frequency
//   wav_measure FILE level FIRST END HZ       the amplitude on each side of the
//                                             strongest component within 1 % of
//                                             HZ (a full-scale sine is 1)
//   wav_measure FILE harmonics FIRST END HZ   the power away from HZ and its
//                                             multiples, in dB of the whole
//   wav_measure FILE repeat FIRST END         the strongest correlation of the
//                                             sound with itself 1 ms to half the
//                                             segment later (1: it repeats)
//   wav_measure FILE phase FIRST END SAMPLES  the largest jump of the dominant
//                                             tone's phase at the edges of the
//                                             frames of SAMPLES, in degrees,
//                                             and how many edges jump over 45
//   wav_measure FILE noise FIRST END HZ AMP   how far the spectrum lies from the
//                                             chip's white noise shifted at HZ
//                                             with a swing of +-AMP (a fraction
//                                             of full scale): the worst octave
//                                             band 20 Hz-20 kHz and the whole,
//                                             in dB
#include <fftw3.h>

#include <algorithm>
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

// The magnitude spectrum of `samples` FIRST to END-1 through a Hann window,
// zero padded to at least `size`: bin k is k * rate / size Hz. A full-scale
// sine peaks at 1.
std::vector<double> spectrum(const std::vector<float>& samples, size_t first, size_t end, size_t size)
{
    const size_t length = end - first;
    std::vector<double> input(std::max(size, length), 0.0);
    for (size_t i = 0; i < length; ++i)
        input[i] = (0.5 - 0.5 * std::cos(2 * M_PI * static_cast<double>(i) / static_cast<double>(length)))
            * samples[first + i];
    std::vector<fftw_complex> output(input.size() / 2 + 1);
    fftw_plan plan = fftw_plan_dft_r2c_1d(static_cast<int>(input.size()), input.data(), output.data(), FFTW_ESTIMATE);
    fftw_execute(plan);
    fftw_destroy_plan(plan);
    std::vector<double> magnitude(output.size());
    for (size_t k = 0; k < output.size(); ++k)
        magnitude[k] = std::hypot(output[k][0], output[k][1]) * 4 / static_cast<double>(length);
    return magnitude;
}

std::vector<float> both_sides(const Wav& wav)
{
    std::vector<float> mixed(wav.left.size());
    for (size_t i = 0; i < mixed.size(); ++i)
        mixed[i] = (wav.left[i] + wav.right[i]) / 2;
    return mixed;
}

double level(const std::vector<float>& samples, int rate, size_t first, size_t end, double hz)
{
    const size_t size = 4 * (end - first);
    const std::vector<double> magnitude = spectrum(samples, first, end, size);
    const double bin_hz = rate / static_cast<double>(size);
    double best = 0;
    for (size_t k = static_cast<size_t>(hz * 0.99 / bin_hz); k <= static_cast<size_t>(hz * 1.01 / bin_hz); ++k)
        if (k < magnitude.size())
            best = std::max(best, magnitude[k]);
    return best;
}

double off_harmonic_db(const std::vector<float>& mixed, int rate, size_t first, size_t end, double hz)
{
    const std::vector<double> magnitude = spectrum(mixed, first, end, 0);
    const double bin_hz = rate / static_cast<double>(end - first);
    double total = 0, off = 0;
    // The Hann window spreads a component over two bins each side; a few
    // more allow for a pitch a little off.
    for (size_t k = 4; k < magnitude.size(); ++k) {
        const double frequency = static_cast<double>(k) * bin_hz;
        const double harmonic = std::max(1.0, std::round(frequency / hz)) * hz;
        const double power = magnitude[k] * magnitude[k];
        total += power;
        if (std::abs(frequency - harmonic) > 5 * bin_hz + harmonic * 0.001)
            off += power;
    }
    return 10 * std::log10(std::max(off, 1e-30) / std::max(total, 1e-30));
}

// The autocorrelation through FFTW, each lag scaled by the energy of the
// samples it overlaps.
double strongest_repeat(const std::vector<float>& mixed, int rate, size_t first, size_t end)
{
    const size_t length = end - first;
    size_t size = 1;
    while (size < 2 * length)
        size *= 2;
    std::vector<double> input(size, 0.0);
    for (size_t i = 0; i < length; ++i)
        input[i] = mixed[first + i];
    std::vector<fftw_complex> spectrum_bins(size / 2 + 1);
    fftw_plan forward = fftw_plan_dft_r2c_1d(static_cast<int>(size), input.data(), spectrum_bins.data(), FFTW_ESTIMATE);
    fftw_execute(forward);
    fftw_destroy_plan(forward);
    for (auto& bin : spectrum_bins) {
        bin[0] = bin[0] * bin[0] + bin[1] * bin[1];
        bin[1] = 0;
    }
    std::vector<double> correlation(size);
    fftw_plan backward
        = fftw_plan_dft_c2r_1d(static_cast<int>(size), spectrum_bins.data(), correlation.data(), FFTW_ESTIMATE);
    fftw_execute(backward);
    fftw_destroy_plan(backward);
    std::vector<double> energy(length + 1, 0.0);  // of the first n samples
    for (size_t i = 0; i < length; ++i)
        energy[i + 1] = energy[i] + input[i] * input[i];
    double strongest = 0;
    for (size_t lag = static_cast<size_t>(rate / 1000); lag <= length / 2; ++lag) {
        const double head = energy[length - lag], tail = energy[length] - energy[lag];
        if (head > 0 && tail > 0)
            strongest = std::max(strongest, correlation[lag] / static_cast<double>(size) / std::sqrt(head * tail));
    }
    return strongest;
}

size_t clipped(const Wav& wav, size_t first, size_t end)
{
    size_t count = 0;
    for (size_t i = first; i < end; ++i)
        for (float sample : {wav.left[i], wav.right[i]})
            count += sample <= -1.0f || sample >= 32767 / 32768.0f;
    return count;
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
double dominant_frequency(const std::vector<float>& mixed, int rate, size_t first, size_t end)
{
    const size_t length = end - first;
    size_t size = 1;
    while (size < 4 * length || size < 8192)
        size *= 2;
    const std::vector<double> magnitude = spectrum(mixed, first, end, size);
    double energy = 0;
    for (double bin : magnitude)
        energy += bin * bin;
    if (energy < 1e-9)
        return 0;
    size_t peak = 1;
    for (size_t k = 2; k + 1 < magnitude.size(); ++k)
        if (magnitude[k] > magnitude[peak])
            peak = k;
    double offset = 0;
    const double a = std::log(magnitude[peak - 1] + 1e-12), b = std::log(magnitude[peak] + 1e-12),
                 c = std::log(magnitude[peak + 1] + 1e-12);
    if (a - 2 * b + c < 0)
        offset = 0.5 * (a - c) / (a - 2 * b + c);
    return (static_cast<double>(peak) + offset) * rate / static_cast<double>(size);
}

// The phase, in radians, that a sine of `hz` fitted to `samples` FIRST to
// END-1 has at sample `at`.
double phase_at(const std::vector<float>& samples, int rate, size_t first, size_t end, double hz, size_t at)
{
    // Least squares over cos, sin and a constant, solved by Cramer's rule.
    double m[3][3] = {}, v[3] = {};
    for (size_t i = first; i < end; ++i) {
        const double t = 2 * M_PI * hz * (static_cast<double>(i) - static_cast<double>(at)) / rate;
        const double basis[3] = {std::cos(t), std::sin(t), 1};
        for (int r = 0; r < 3; ++r) {
            v[r] += basis[r] * samples[i];
            for (int c = 0; c < 3; ++c)
                m[r][c] += basis[r] * basis[c];
        }
    }
    auto det = [](double a[3][3]) {
        return a[0][0] * (a[1][1] * a[2][2] - a[1][2] * a[2][1]) - a[0][1] * (a[1][0] * a[2][2] - a[1][2] * a[2][0])
            + a[0][2] * (a[1][0] * a[2][1] - a[1][1] * a[2][0]);
    };
    double coefficients[2];
    for (int k = 0; k < 2; ++k) {
        double replaced[3][3];
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 3; ++c)
                replaced[r][c] = c == k ? v[r] : m[r][c];
        coefficients[k] = det(replaced);
    }
    return std::atan2(-coefficients[1], coefficients[0]);
}

// At each frame edge: the phase the end of the frame before reaches and the
// phase the start of the next one comes from, each fitted at that frame's
// own dominant frequency over a few hundred samples next to the edge.
double largest_phase_jump(
    const std::vector<float>& mixed, int rate, size_t first, size_t end, size_t frame, int& over_45)
{
    const size_t side = std::min<size_t>(400, frame / 2);
    double largest = 0;
    over_45 = 0;
    for (size_t edge = first + frame; edge + frame <= end; edge += frame) {
        const double before_hz = dominant_frequency(mixed, rate, edge - frame, edge);
        const double after_hz = dominant_frequency(mixed, rate, edge, edge + frame);
        if (before_hz <= 0 || after_hz <= 0)
            continue;
        const double jump = phase_at(mixed, rate, edge, edge + side, after_hz, edge)
            - phase_at(mixed, rate, edge - side, edge, before_hz, edge);
        const double degrees = std::abs(std::remainder(jump, 2 * M_PI)) * 180 / M_PI;
        largest = std::max(largest, degrees);
        over_45 += degrees > 45;
    }
    return largest;
}

// The mean power per hertz in each octave band from 20 Hz to 20 kHz:
// averaged spectra of one-second pieces.
std::vector<double> octave_bands(const std::vector<float>& samples, int rate, size_t first, size_t end)
{
    const size_t piece = static_cast<size_t>(rate);
    std::vector<double> sum(10, 0.0), bins(10, 0.0);
    for (size_t at = first; at + piece <= end; at += piece) {
        const std::vector<double> magnitude = spectrum(samples, at, at + piece, 0);
        for (size_t k = 1; k < magnitude.size(); ++k) {
            const double hz = static_cast<double>(k) * rate / static_cast<double>(piece);
            if (hz < 20 || hz >= 20000)
                continue;
            const size_t band = std::min<size_t>(9, static_cast<size_t>(std::log2(hz / 20)));
            sum[band] += magnitude[k] * magnitude[k];
            bins[band] += 1;
        }
    }
    for (size_t band = 0; band < sum.size(); ++band)
        sum[band] /= std::max(bins[band], 1.0);
    return sum;
}

// The chip's white noise: the Sega shift register from its start, +-amplitude,
// sampled far above the audible band so nothing folds back into it.
std::vector<float> chip_white_noise(double shift_hz, double amplitude, int rate, size_t length)
{
    std::vector<float> noise(length);
    uint16_t shifter = 0x8000;
    double shifts_due = 0;
    for (float& sample : noise) {
        sample = static_cast<float>((shifter & 1) ? amplitude : -amplitude);
        for (shifts_due += shift_hz / rate; shifts_due >= 1; shifts_due -= 1)
            shifter = static_cast<uint16_t>(shifter >> 1 | __builtin_parity(shifter & 9) << 15);
    }
    return noise;
}

void compare_noise(const std::vector<float>& mixed, int rate, size_t first, size_t end, double hz, double amplitude)
{
    constexpr int OVERSAMPLING = 16;
    const size_t seconds = std::max<size_t>(1, (end - first) / static_cast<size_t>(rate));
    const int chip_rate = rate * OVERSAMPLING;
    const std::vector<float> chip = chip_white_noise(hz, amplitude, chip_rate, seconds * chip_rate);
    // One-hertz bins at both rates: the powers compare as they are.
    const std::vector<double> ours = octave_bands(mixed, rate, first, end);
    const std::vector<double> theirs = octave_bands(chip, chip_rate, 0, chip.size());
    double worst = 0, ours_total = 0, theirs_total = 0;
    for (size_t band = 0; band < ours.size(); ++band) {
        const double db = 10 * std::log10(ours[band] / theirs[band]);
        std::printf("band-%d-db %.2f\n", 20 << band, db);
        if (std::abs(db) > std::abs(worst))
            worst = db;
        const double width = std::min(20000.0, 20.0 * (2 << band)) - 20.0 * (1 << band);
        ours_total += ours[band] * width;
        theirs_total += theirs[band] * width;
    }
    std::printf("worst-band-db %.2f\nlevel-db %.2f\n", worst, 10 * std::log10(ours_total / theirs_total));
}

size_t number(const char* text)
{
    char* end = nullptr;
    const unsigned long long value = std::strtoull(text, &end, 10);
    if (*text == '\0' || *end != '\0')
        fail(std::string("not a number: ") + text);
    return static_cast<size_t>(value);
}

// FIRST and END from the arguments at `at`, checked against the file.
void segment(char** at, size_t count, size_t& first, size_t& end)
{
    first = number(at[0]);
    end = number(at[1]);
    if (first >= end || end > count)
        fail("segment outside the file");
}

constexpr const char* USAGE = "usage: wav_measure FILE [segment FIRST END | frames SAMPLES | level FIRST END HZ | "
                              "harmonics FIRST END HZ | repeat FIRST END | phase FIRST END SAMPLES | "
                              "noise FIRST END HZ AMPLITUDE]";

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
        fail(USAGE);
    const Wav wav = read_wav(argv[1]);
    const size_t count = wav.left.size();
    const std::vector<float> mixed = both_sides(wav);
    size_t first = 0, end = 0;
    if (argc == 2) {
        std::printf("channels %d\nrate %d\nsamples %zu\n", wav.channels, wav.rate, count);
    } else if (argc == 5 && !std::strcmp(argv[2], "segment")) {
        segment(argv + 3, count, first, end);
        double sum = 0;
        for (size_t i = first; i < end; ++i)
            sum += mixed[i];
        std::printf("rms-left %.5f\nrms-right %.5f\npeak-hz %.2f\nclipped %zu\ndc %.5f\n", rms(wav.left, first, end),
            rms(wav.right, first, end), dominant_frequency(mixed, wav.rate, first, end), clipped(wav, first, end),
            sum / static_cast<double>(end - first));
    } else if (argc == 6 && !std::strcmp(argv[2], "level")) {
        segment(argv + 3, count, first, end);
        const double hz = std::atof(argv[5]);
        if (hz <= 0)
            fail("segment outside the file");
        std::printf("level-left %.5f\nlevel-right %.5f\n", level(wav.left, wav.rate, first, end, hz),
            level(wav.right, wav.rate, first, end, hz));
    } else if (argc == 6 && !std::strcmp(argv[2], "harmonics")) {
        segment(argv + 3, count, first, end);
        const double hz = std::atof(argv[5]);
        if (hz <= 0)
            fail("segment outside the file");
        std::printf("off-harmonic-db %.2f\n", off_harmonic_db(mixed, wav.rate, first, end, hz));
    } else if (argc == 5 && !std::strcmp(argv[2], "repeat")) {
        segment(argv + 3, count, first, end);
        std::printf("repeat %.4f\n", strongest_repeat(mixed, wav.rate, first, end));
    } else if (argc == 6 && !std::strcmp(argv[2], "phase")) {
        segment(argv + 3, count, first, end);
        const size_t frame = number(argv[5]);
        if (frame < 2)
            fail("frames too short");
        int over_45 = 0;
        const double largest = largest_phase_jump(mixed, wav.rate, first, end, frame, over_45);
        std::printf("phase-jump %.1f\nphase-jumps-over-45 %d\n", largest, over_45);
    } else if (argc == 7 && !std::strcmp(argv[2], "noise")) {
        segment(argv + 3, count, first, end);
        const double hz = std::atof(argv[5]), amplitude = std::atof(argv[6]);
        if (hz <= 0 || amplitude <= 0)
            fail("the shift rate and the swing are positive");
        compare_noise(mixed, wav.rate, first, end, hz, amplitude);
    } else if (argc == 4 && !std::strcmp(argv[2], "frames")) {
        const size_t samples = number(argv[3]);
        if (samples == 0)
            fail("empty frames");
        for (size_t frame = 0; (frame + 1) * samples <= count; ++frame) {
            first = frame * samples;
            end = first + samples;
            std::printf("%zu %.5f %.1f\n", frame + 1, (rms(wav.left, first, end) + rms(wav.right, first, end)) / 2,
                dominant_frequency(mixed, wav.rate, first, end));
        }
    } else {
        fail(USAGE);
    }
    return 0;
}
