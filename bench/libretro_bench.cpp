// libretro_bench: what the libretro core costs a frontend, on one ROM: the
// time of retro_run per frame (the machine's frame, the picture handed over
// and one frame's sound copied) and of saving and loading a state, as a
// frontend's rewind and run-ahead do every frame.
// usage: libretro_bench ROM [FRAMES]
#include <libretro.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// The frontend copies the frame it is given, as RetroArch does into its texture.
std::vector<uint32_t> frame_copy(256 * 192);

bool environment(unsigned command, void*)
{
    return command == RETRO_ENVIRONMENT_SET_PIXEL_FORMAT;
}

void video(const void* data, unsigned width, unsigned height, size_t pitch)
{
    for (unsigned y = 0; y < height; ++y)
        std::memcpy(&frame_copy[y * width], static_cast<const uint8_t*>(data) + y * pitch, width * 4);
}

size_t audio(const int16_t*, size_t frames)
{
    return frames;
}

double microseconds_since(Clock::time_point start, int count)
{
    return std::chrono::duration<double, std::micro>(Clock::now() - start).count() / count;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: libretro_bench ROM [FRAMES]\n");
        return 2;
    }
    const int frames = argc > 2 ? std::atoi(argv[2]) : 3000;
    std::ifstream file(argv[1], std::ios::binary);
    std::vector<uint8_t> rom {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};

    retro_set_environment(environment);
    retro_set_video_refresh(video);
    retro_set_audio_sample_batch(audio);
    retro_set_input_poll([] {});
    retro_set_input_state([](unsigned, unsigned, unsigned, unsigned) -> int16_t { return 0; });
    retro_init();
    retro_game_info game {argv[1], rom.data(), rom.size(), nullptr};
    if (!retro_load_game(&game)) {
        std::fprintf(stderr, "libretro_bench: %s is refused\n", argv[1]);
        return 1;
    }

    auto start = Clock::now();
    for (int i = 0; i < frames; ++i)
        retro_run();
    const double run = microseconds_since(start, frames);

    // The copy alone, from a frame of its own.
    static uint32_t frame[256 * 192];
    start = Clock::now();
    for (int i = 0; i < frames; ++i)
        video(frame, 256, 192, sizeof frame / 192);
    const double copy = microseconds_since(start, frames);

    std::vector<uint8_t> state(retro_serialize_size());
    const int rounds = 1000;
    start = Clock::now();
    for (int i = 0; i < rounds; ++i)
        retro_serialize(state.data(), state.size());
    const double save = microseconds_since(start, rounds);
    start = Clock::now();
    for (int i = 0; i < rounds; ++i)
        retro_unserialize(state.data(), state.size());
    const double load = microseconds_since(start, rounds);

    std::printf("retro_run-us %.1f\n", run);
    std::printf("fps %.1f\n", 1e6 / run);
    std::printf("frame-copy-us %.1f\n", copy);
    std::printf("serialize-us %.1f\n", save);
    std::printf("unserialize-us %.1f\n", load);
    retro_deinit();
    return 0;
}
