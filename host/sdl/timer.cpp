// The frame timer: a thread that ticks at exactly the frame rate. Deadlines
// are whole multiples of the period from the start of a steady clock, so a
// rate of 60 gives 60 ticks a second, not the 62.5 of a rounded 16 ms period.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "host/input.h"
#include "host/log.h"
#include "host/sdl/sdl_host.h"
#include "host/sdl/sdl_internal.h"
#include "sound/mixer.h"

namespace {

std::thread timer_thread;
std::mutex timer_mutex;
std::condition_variable timer_wake;
bool timer_stopping = false;  // guarded by timer_mutex

void timer_run(int rate)
{
    using Clock = std::chrono::steady_clock;
    auto start = Clock::now();
    int64_t ticks = 0;
    std::unique_lock lock(timer_mutex);
    for (;;) {
        const auto deadline = start + std::chrono::nanoseconds((ticks + 1) * 1'000'000'000 / rate);
        if (timer_wake.wait_until(lock, deadline, [] { return timer_stopping; }))
            return;
        ++ticks;
        timer_tick();
        // After a suspend or a long stall, start afresh rather than catch up
        // with a burst of ticks.
        if (Clock::now() - deadline > std::chrono::seconds(1)) {
            start = Clock::now();
            ticks = 0;
        }
    }
}

}  // namespace

void timer_tick()
{
    frame_ticks.fetch_add(1, std::memory_order_relaxed);
    frame_ticks.notify_all();  // the main loop may be waiting for the tick
    tick_count.fetch_add(1, std::memory_order_relaxed);
    key_clock.fetch_add(1, std::memory_order_relaxed);
    key_repeat_tick();
    mixer_update();
}

void timer_stop()
{
    {
        std::lock_guard lock(timer_mutex);
        timer_stopping = true;
    }
    timer_wake.notify_all();
    if (timer_thread.joinable())
        timer_thread.join();
    std::lock_guard lock(timer_mutex);
    timer_stopping = false;
}

void timer_set_rate(int rate)
{
    timer_stop();
    mixer_set_frame_rate(rate);
    timer_thread = std::thread(timer_run, rate);
}

void timer_start(int rate)
{
    key_clock.store(0, std::memory_order_relaxed);
    frame_ticks.store(0, std::memory_order_relaxed);
    timer_set_rate(rate);
    exit_hook_add(timer_stop, "Timer subsystem");
    // Xlib ends the process itself when the display goes away; a thread
    // still running then would abort it instead.
    std::atexit(timer_stop);
}
