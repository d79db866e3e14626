// The mixer's teardown while another thread keeps updating it, as tarven's
// frame timer does until the program ends. A release build rarely shows a
// fault here; the sanitizer build catches a sample freed under a mix.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "sound/mixer.h"
#include "sound/psg.h"

namespace {

TEST(MixerTeardown, ShutdownWhileAnotherThreadUpdates)
{
    for (int round = 0; round < 5; ++round) {
        mixer_register_output("memory");
        mixer_init(2, 60);
        psg_create();
        psg_set_sound(true);
        for (uint8_t b : {0x8E, 0x0F, 0x90, 0xE4, 0xF0})
            psg_write(b);
        std::atomic<bool> stop {false};
        std::atomic<int> updates {0};
        std::thread timer([&] {
            while (!stop.load()) {
                mixer_update();
                updates.fetch_add(1);
            }
        });
        while (updates.load() < 20)
            std::this_thread::yield();
        mixer_shutdown();
        // Updates and voice changes after the shutdown do nothing.
        const int after = updates.load();
        while (updates.load() < after + 20)
            std::this_thread::yield();
        psg_write(0x91);
        psg_silence();
        stop.store(true);
        timer.join();
    }
}

}  // namespace
