#include "player/player.h"

#include <glob.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "player/terminal.h"
#include "sound/mixer.h"
#include "sound/music_file.h"
#include "sound/psg.h"
#include "sound/vgm_file.h"

namespace {

constexpr int KEY_ESCAPE = 27;
constexpr int KEY_LOOP = 'l';
constexpr int KEY_SKIP = ' ';
constexpr int NTSC_FRAME_RATE = 60;
constexpr int PAL_FRAME_RATE = 50;
constexpr const char* USAGE
    = "usage: sonivo [--pal] [--] FILE-OR-PATTERN...  (--pal: recorded at 50 frames a second)\n";

// One tick a recorded frame, at exactly the recording's frame rate.
int frame_rate = NTSC_FRAME_RATE;
std::chrono::nanoseconds tick_length {1'000'000'000 / NTSC_FRAME_RATE};
std::atomic<int> ticks {0};
// A twentieth of a second at 60 frames a second.
constexpr int TICKS_KEPT = 3;
std::atomic<bool> timer_stopping {false};
std::thread timer_thread;
bool quit = false;
bool loop = false;

void timer_run()
{
    auto next = std::chrono::steady_clock::now();
    while (!timer_stopping.load(std::memory_order_relaxed)) {
        next += tick_length;
        std::this_thread::sleep_until(next);
        ticks.fetch_add(1, std::memory_order_relaxed);
    }
}

// Reads the keys typed so far; true when the current file must be left.
bool keys_say_leave()
{
    for (int key; (key = terminal_key()) >= 0;) {
        if (key == KEY_ESCAPE) {
            quit = true;
            return true;
        }
        if (key == KEY_LOOP)
            loop = !loop;
        else if (key == KEY_SKIP)
            return true;
    }
    return false;
}

// Ends the frame: mixes it, then waits for the next tick. Up to TICKS_KEPT
// ticks that passed while the frame ran are kept, so that the player waking
// up late on a busy machine does not slow the tempo; more are dropped, so a
// frame that was really late never hurries the next ones. A file output is
// not heard as it goes, so it need not wait.
void end_frame()
{
    mixer_update();
    if (mixer_output_is_file()) {
        ticks.store(0, std::memory_order_relaxed);
        return;
    }
    while (ticks.load(std::memory_order_relaxed) == 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    int now = ticks.load(std::memory_order_relaxed);
    while (!ticks.compare_exchange_weak(now, std::min(now - 1, TICKS_KEPT), std::memory_order_relaxed)) { }
}

// Plays one file (again and again while the loop key is on); false when it
// could not be played.
bool play_file(const char* name)
{
    std::printf("Playing %s...\n", name);
    std::fflush(stdout);
    for (;;) {
        std::ifstream file(name, std::ios::binary);
        if (!file) {
            std::fprintf(stderr, "sonivo: %s: cannot be opened, skipped\n", name);
            return false;
        }
        const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        MusicFile music;
        std::string error;
        MusicFileStatus status = music_file_parse(bytes.data(), bytes.size(), music, error);
        const bool vgm = status == MusicFileStatus::NOT_MUSIC;
        if (vgm)
            status = vgm_file_parse(bytes.data(), bytes.size(), MIXER_RATE / frame_rate, music, error);
        if (status != MusicFileStatus::OK) {
            std::fprintf(stderr, "sonivo: %s: %s, skipped\n", name,
                status == MusicFileStatus::DAMAGED ? error.c_str() : "not a music file");
            return false;
        }

        // A VGM file starts from a chip at reset, at the clock it names.
        psg_reset();
        if (music.clock_hz)
            psg_set_clock(music.clock_hz);
        else
            psg_set_frame_rate(frame_rate);
        if (!vgm) {
            psg = music.start;
            psg_refresh();
        }
        ticks.store(0, std::memory_order_relaxed);
        auto stereo = music.stereo.begin();
        for (size_t at = 0; at <= music.stream.size(); ++at) {
            if (keys_say_leave())
                return true;
            for (; stereo != music.stereo.end() && stereo->first == at; ++stereo)
                gg_stereo_write(stereo->second);
            if (at == music.stream.size())
                break;
            if (music.stream[at] == MUSIC_FRAME_END)
                end_frame();
            else
                psg_write(music.stream[at]);
        }
        psg_silence();
        if (!loop)
            return true;
    }
}

// Plays the file an argument names, or else every match of it as a pattern,
// so that names with brackets play as they are; false when any could not be
// played or nothing matched.
bool play_argument(const char* pattern)
{
    struct stat found;
    if (stat(pattern, &found) == 0)
        return play_file(pattern);
    glob_t matches;
    if (glob(pattern, 0, nullptr, &matches) != 0) {
        std::fprintf(stderr, "sonivo: %s: no such file\n", pattern);
        return false;
    }
    bool all_played = true;
    for (size_t i = 0; i < matches.gl_pathc && !quit; ++i)
        all_played = play_file(matches.gl_pathv[i]) && all_played;
    globfree(&matches);
    return all_played;
}

}  // namespace

int sonivo_main(int argc, char** argv)
{
    int first = 1;
    if (argc > 1 && !std::strcmp(argv[1], "--help")) {
        std::fputs(USAGE, stdout);
        return 0;
    }
    if (argc > 1 && !std::strcmp(argv[1], "--pal")) {
        frame_rate = PAL_FRAME_RATE;
        ++first;
    }
    // "--" ends the options, for a file whose name starts with a dash.
    if (first < argc && !std::strcmp(argv[first], "--")) {
        ++first;
    } else if (first < argc && argv[first][0] == '-' && argv[first][1] != '\0') {
        std::fprintf(stderr, "sonivo: unknown option %s\n%s", argv[first], USAGE);
        return 2;
    }
    tick_length = std::chrono::nanoseconds(1'000'000'000 / frame_rate);
    mixer_register_output(std::getenv("TARVEN_AUDIO_OUT"));
    mixer_init(1, frame_rate);
    psg_create();
    timer_thread = std::thread(timer_run);
    terminal_open();

    std::printf("sonivo: plays the SMSMUSIC and VGM files recorded by tarven (Escape quits, l loops, space skips)\n"
                "Copyright (C) the tarven authors; free software without any warranty.\n");
    if (first == argc)
        std::fputs(USAGE, stdout);
    std::fflush(stdout);
    bool all_played = true;
    for (int i = first; i < argc && !quit; ++i)
        all_played = play_argument(argv[i]) && all_played;

    terminal_close();
    timer_stopping.store(true, std::memory_order_relaxed);
    timer_thread.join();
    mixer_shutdown();
    return all_played ? 0 : 1;
}
