// mixer_bench [FRAMES]: the time the mixer takes for one frame of stereo
// sound (MIXER_RATE / 60 samples) with all four PSG voices playing, to set
// against the time tarven-headless --bench takes for a whole frame.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "sound/mixer.h"
#include "sound/psg.h"

int main(int argc, char** argv)
{
    const int frames = argc > 1 ? std::atoi(argv[1]) : 20000;
    mixer_register_output("memory");
    mixer_init(2, 60);
    psg_create();
    // Three tones in three octaves and white noise, all loud.
    for (uint8_t b : {0x8E, 0x0F, 0x90, 0xA6, 0x09, 0xB0, 0xC4, 0x02, 0xD0, 0xE4, 0xF0})
        psg_write(b);
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < frames; ++i)
        mixer_update();
    const std::chrono::duration<double, std::micro> took = std::chrono::steady_clock::now() - start;
    std::printf("mix-us-per-frame %.2f\n", took.count() / std::max(frames, 1));
    mixer_shutdown();
    return 0;
}
