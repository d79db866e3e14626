// vgm_render FILE OUT.wav SAMPLES: renders the first SAMPLES samples of a
// .vgm or .vgz file with libgme, a player nobody here wrote, into a 16-bit
// stereo WAV file at 44,100 Hz.
#include <gme/gme.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

constexpr int RATE = 44100;

void put(std::vector<uint8_t>& out, uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

}  // namespace

int main(int argc, char** argv)
{
    const long samples = argc == 4 ? std::atol(argv[3]) : 0;
    if (samples <= 0) {
        std::fprintf(stderr, "usage: vgm_render FILE OUT.wav SAMPLES\n");
        return 1;
    }
    Music_Emu* emu = nullptr;
    if (const char* error = gme_open_file(argv[1], &emu, RATE)) {
        std::fprintf(stderr, "vgm_render: %s: %s\n", argv[1], error);
        return 1;
    }
    gme_ignore_silence(emu, 1);
    if (gme_start_track(emu, 0)) {
        std::fprintf(stderr, "vgm_render: %s: cannot start\n", argv[1]);
        return 1;
    }
    std::vector<short> sound(static_cast<size_t>(samples) * 2);
    if (gme_play(emu, static_cast<int>(sound.size()), sound.data())) {
        std::fprintf(stderr, "vgm_render: %s: cannot play\n", argv[1]);
        return 1;
    }
    gme_delete(emu);
    const auto data_bytes = static_cast<uint32_t>(sound.size() * 2);
    std::vector<uint8_t> header {'R', 'I', 'F', 'F'};
    put(header, 36 + data_bytes, 4);
    for (char c : {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '})
        header.push_back(static_cast<uint8_t>(c));
    put(header, 16, 4);
    put(header, 1, 2);  // PCM
    put(header, 2, 2);
    put(header, RATE, 4);
    put(header, RATE * 4, 4);
    put(header, 4, 2);
    put(header, 16, 2);
    for (char c : {'d', 'a', 't', 'a'})
        header.push_back(static_cast<uint8_t>(c));
    put(header, data_bytes, 4);
    FILE* out = std::fopen(argv[2], "wb");
    const bool written = out && std::fwrite(header.data(), 1, header.size(), out) == header.size()
        && std::fwrite(sound.data(), 2, sound.size(), out) == sound.size();
    if (!out || std::fclose(out) != 0 || !written) {
        std::fprintf(stderr, "vgm_render: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
