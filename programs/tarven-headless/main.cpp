// tarven-headless: runs a game for a number of frames without a window, for
// automated runs, tests and benchmarks. It shares the whole machine with
// tarven; only the host layer differs.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "host/draw.h"
#include "host/file.h"
#include "host/headless/headless.h"
#include "host/input.h"
#include "host/log.h"
#include "machine/interface_hooks.h"
#include "machine/machine.h"
#include "machine/rewind.h"
#include "machine/savestate.h"
#include "machine/scheduler.h"
#include "sound/mixer.h"
#include "sound/psg.h"
#include "sound/psg_log.h"
#include "ui/config.h"
#include "ui/gui.h"
#include "ui/rom_list.h"
#include "ui/session.h"
#include "vdp/vdp.h"

namespace {

struct StateAction {
    std::string file;
    int frame;
    bool load;
};

struct Options {
    int frames = 60;
    bool frames_given = false;
    int depth = 32;
    bool video = true;
    bool hash = false;
    bool bench = false;
    std::string input;
    std::string screenshot;
    std::string wav;
    std::string psg_log;
    std::string vgm;
    bool sound = true;
    std::vector<StateAction> states;
    std::string rom;
    int32_t mapper = MAPPER_AUTO;
};

Options options;

constexpr const char* USAGE = "usage: tarven-headless [options] [ROM]\n"
                              "Without a ROM the menus run, as tarven starts without one.\n"
                              "  --frames N             run N frames (default 60)\n"
                              "  --rate 50|60           frame rate (PAL or NTSC)\n"
                              "  --region usa|japan     console region\n"
                              "  --vdp CONSOLE          the console and its chip: auto (by the file name),\n"
                              "                         mastersystem, mastersystem2 or gamegear\n"
                              "  --mapper NAME          the cartridge's board: sega, codemasters, korean, none\n"
                              "                         or auto (by what the image says, the default)\n"
                              "  --bios FILE            start the Master System in this BIOS image\n"
                              "  --player1 DEVICE       player 1's controller: keyboard (the default),\n"
                              "                         joystick1, joystick2, paddle (the mouse), paddle1,\n"
                              "                         paddle2 (joystick 1's or 2's stick), lightgun (aimed\n"
                              "                         by the mouse) or none\n"
                              "  --player2 DEVICE       player 2's controller (default none)\n"
                              "  --bpp 15|16|32         pixel format of the back buffer (default 32)\n"
                              "  --no-video             draw nothing (measures the machine alone)\n"
                              "  --input FILE           scripted input, one event a line, or a session\n"
                              "                         recorded in tarven, checked at every frame\n"
                              "  --save-state FILE@N    save the machine to FILE at the end of frame N\n"
                              "  --load-state FILE@N    load the machine from FILE at the end of frame N\n"
                              "  --screenshot FILE.png  write the last frame's picture\n"
                              "  --wav FILE.wav         write the sound, exactly one frame of it per frame\n"
                              "  --psg-log FILE         record the PSG writes into an SMSMUSIC file\n"
                              "  --vgm FILE             record them into a VGM file (.vgz: compressed)\n"
                              "  --gg-speaker           the Game Gear's speaker: all channels, no stereo\n"
                              "  --no-sound             turn the sound switch off (no mixing at all)\n"
                              "  --no-rewind            record no frames to rewind through (F9)\n"
                              "  --no-sprite-limit      draw every sprite, not only eight a line\n"
                              "  --hash                 print machine-crc32 and picture-crc32\n"
                              "  --bench                print fps and speed\n"
                              "  --help                 print this and end\n";

[[noreturn]] void usage(const char* problem)
{
    std::fprintf(stderr, "tarven-headless: %s\n%s", problem, USAGE);
    std::exit(2);
}

int parse_count(const char* text, const char* what)
{
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (*text == '\0' || *end != '\0' || value < 1 || value > 100000000)
        usage((std::string("bad ") + what + ": " + text).c_str());
    return static_cast<int>(value);
}

StateAction parse_state_action(const std::string& argument, bool load)
{
    const size_t at = argument.rfind('@');
    if (at == std::string::npos || at == 0)
        usage(("expected FILE@FRAME, got " + argument).c_str());
    return {argument.substr(0, at), parse_count(argument.c_str() + at + 1, "frame"), load};
}

void parse_options(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&]() -> const char* {
            if (i + 1 >= argc)
                usage((arg + " needs a value").c_str());
            return argv[++i];
        };
        if (arg == "--frames") {
            options.frames = parse_count(value(), "frame count");
            options.frames_given = true;
        } else if (arg == "--rate") {
            const std::string rate = value();
            if (rate != "50" && rate != "60")
                usage("the rate is 50 or 60");
            settings.frame_rate = std::stoi(rate);
        } else if (arg == "--region") {
            const std::string region = value();
            if (region != "usa" && region != "japan")
                usage("the region is usa or japan");
            settings.usa = region == "usa";
        } else if (arg == "--mapper") {
            if (!SMS_MapperFromName(value(), options.mapper))
                usage("the mapper is sega, codemasters, korean, none or auto");
        } else if (arg == "--bios") {
            settings.bios = value();
        } else if (arg == "--vdp") {
            const std::string word = value();
            const auto* found = std::find(std::begin(CONSOLE_WORDS), std::end(CONSOLE_WORDS), word);
            if (found == std::end(CONSOLE_WORDS))
                usage("the console is auto, mastersystem, mastersystem2 or gamegear");
            settings.console = static_cast<int32_t>(found - std::begin(CONSOLE_WORDS));
        } else if (arg == "--bpp") {
            const std::string depth = value();
            if (depth != "15" && depth != "16" && depth != "32")
                usage("the depth is 15, 16 or 32");
            options.depth = std::stoi(depth);
        } else if (arg == "--no-video") {
            options.video = false;
        } else if (arg == "--input") {
            options.input = value();
        } else if (arg == "--save-state" || arg == "--load-state") {
            options.states.push_back(parse_state_action(value(), arg == "--load-state"));
        } else if (arg == "--screenshot") {
            options.screenshot = value();
        } else if (arg == "--wav") {
            options.wav = value();
            if (options.wav.size() < 5 || options.wav.compare(options.wav.size() - 4, 4, ".wav") != 0)
                usage("the sound file's name ends in .wav");
        } else if (arg == "--psg-log") {
            options.psg_log = value();
        } else if (arg == "--vgm") {
            options.vgm = value();
        } else if (arg == "--gg-speaker") {
            settings.gg_speaker = true;
        } else if (arg == "--no-sound") {
            options.sound = false;
        } else if (arg == "--no-rewind") {
            rewind_recording = false;
        } else if (arg == "--no-sprite-limit") {
            settings.sprite_limit = false;
        } else if (arg == "--player1" || arg == "--player2") {
            const int32_t device = config_device_by_word(value());
            if (device < 0)
                usage(("unknown device for " + arg + ": " + argv[i]).c_str());
            (arg == "--player1" ? settings.player1 : settings.player2) = device;
        } else if (arg == "--hash") {
            options.hash = true;
        } else if (arg == "--bench") {
            options.bench = true;
        } else if (arg == "--help") {
            std::fputs(USAGE, stdout);
            std::exit(0);
        } else if (arg.size() > 1 && arg[0] == '-') {
            usage(("unknown option " + arg).c_str());
        } else if (options.rom.empty()) {
            options.rom = arg;
        } else {
            usage("more than one ROM named");
        }
    }
    // Without a ROM the menus run; only a running game has music and states.
    if (options.rom.empty() && !(options.psg_log.empty() && options.vgm.empty()))
        usage("a recording needs a ROM");
    if (!options.psg_log.empty() && !options.vgm.empty())
        usage("one recording at a time: --psg-log or --vgm");
    if (options.rom.empty() && !options.states.empty())
        usage("state actions need a ROM");
    // An action the run never reaches would pass unnoticed.
    for (const StateAction& action : options.states)
        if (action.frame > options.frames)
            usage((std::string(action.load ? "--load-state" : "--save-state") + " at frame "
                + std::to_string(action.frame) + ", beyond --frames " + std::to_string(options.frames))
                      .c_str());
}

// A recorded session in the script plays on the ROM: its rate takes the
// place of --rate, and without --frames the run lasts to its last frame.
void load_input_script()
{
    std::string text;
    if (!read_text_file(options.input, text))
        fatal_exit("cannot read input script %s", options.input.c_str());
    std::vector<InputEvent> events;
    Session session;
    std::string error;
    if (!input_script_parse(text, options.input, events, session, error))
        fatal_exit("%s", error.c_str());
    input_script_set(std::move(events));
    if (!session.any_line)
        return;
    if (options.rom.empty())
        usage("a recorded session needs its ROM");
    if (session.rate != 0)
        settings.frame_rate = session.rate;
    if (!options.frames_given && session.frames > 0)
        options.frames = session.frames;
    session_play(std::move(session), options.input, true);
}

void on_frame(int frame)
{
    for (const StateAction& action : options.states) {
        if (action.frame != frame)
            continue;
        message.clear();
        const bool done = action.load ? SMS_LoadStateFrom(action.file.c_str()) : SMS_SaveStateTo(action.file.c_str());
        if (!done) {
            // A refused state says why in the popup message; a file that
            // cannot be opened or written says nothing there.
            const std::string why = !message.empty()
                ? message
                : action.file + (action.load ? " could not be loaded" : " could not be saved");
            fatal_exit("%s", why.c_str());
        }
    }
    if (frame >= options.frames)
        quit_run = true;
}

void finish_psg_log()
{
    psg_log_stop();
    // A recording started with Alt+P has no name here: it stays in
    // music.$$$, whole, to be named by hand.
    const std::string& name = options.vgm.empty() ? options.psg_log : options.vgm;
    if (name.empty())
        return;
    if (!psg_log_save(name))
        fatal_exit("cannot write %s", name.c_str());
}

// Without --wav the sound is mixed into memory, as tarven mixes it for the
// device, so that benchmarks count the mixer's work.
void start_sound()
{
    settings.sound = options.sound;
    mixer_register_output(!options.sound ? "none" : options.wav.empty() ? "memory" : options.wav.c_str());
    mixer_init(2, settings.frame_rate);
    psg_set_frame_rate(settings.frame_rate);
    if (options.sound && !options.wav.empty() && !mixer_output_is_file())
        fatal_exit("cannot write %s", options.wav.c_str());
    psg_create();
    psg_set_sound(settings.sound);
    psg_set_gg_speaker(settings.gg_speaker);
    exit_hook_add(mixer_shutdown, "Mikmod SMS Sound Player");
}

}  // namespace

int main(int argc, char** argv)
{
    // Settings come from the command line alone: a run never depends on, or
    // overwrites, the user's tarven.cfg.
    config_path = nullptr;
    parse_options(argc, argv);

    log_reset();
    if (!options.input.empty())
        load_input_script();
    exit_hook_add(SMS_FreeMachine, "Machine (Save RAM)");

    start_sound();
    headless_video_start(options.depth);
    video_active = options.video ? 1 : 0;
    vid_fill_mode = 1;
    SMS_SetupCPU();
    gui_install_hooks();
    file_drop_handler = gui_open_file;
    rom_list_build();
    gui_visible = options.rom.empty();
    if (!gui_visible) {
        SMS_LoadROM(options.rom.c_str());
        SMS_ChooseMapper(options.mapper);
        SMS_InitMachine();
    }
    headless_frame_hook = on_frame;
    interface_hooks.take_picture = screenshot_key;
    if (!options.psg_log.empty() || !options.vgm.empty()) {
        // From the machine's very first write, so the log replays the run.
        psg_log_start(options.vgm.empty() ? PsgLogFormat::SMSMUSIC : PsgLogFormat::VGM);
        if (!psg_logging)
            fatal_exit("cannot record the PSG: %s cannot be created", PSG_LOG_TEMPORARY);
    }

    const auto start = std::chrono::steady_clock::now();
    // As in tarven, a run ends early when a menu loads or frees a ROM, and
    // goes on with the machine (or the menus) that left.
    for (;;) {
        SMS_Run();
        if (headless_frame() >= options.frames)
            break;
        quit_run = false;
    }
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    if (psg_logging)
        finish_psg_log();

    if (options.hash) {
        std::printf("machine-crc32 %08x\n", SMS_MachineCRC());
        std::printf("picture-crc32 %08x\n", picture_crc32());
        std::printf("picture-colours %d\n", picture_colour_count());
    }
    if (!options.screenshot.empty() && !picture_write_png(options.screenshot.c_str()))
        fatal_exit("cannot write %s", options.screenshot.c_str());
    if (options.bench) {
        const double frames_per_second = options.frames / elapsed.count();
        std::printf("fps %.1f\n", frames_per_second);
        std::printf("speed %.2f\n", frames_per_second / settings.frame_rate);
        std::printf("rewind-frames %d\n", SMS_RewindFrames());
        std::printf("rewind-bytes %zu\n", SMS_RewindBytes());
    }
    std::fflush(stdout);
    exit_hooks_run();
    return 0;
}
