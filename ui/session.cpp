#include "ui/session.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "host/file.h"
#include "host/log.h"
#include "machine/savestate.h"
#include "machine/scheduler.h"
#include "machine/settings.h"

namespace {

// The words of a session line's held inputs, bit 0 first.
const char* const PAD_WORDS[] = {"up", "down", "left", "right", "button1", "button2", "start"};
const char* const CONSOLE_WORDS[] = {"pause", "reset"};
const char* const GROUP_NAMES[] = {"pad1", "pad2", "console", "player1", "player2", "paddle1", "paddle2", "aim"};
// By PortDevice.
const char* const DEVICE_WORDS[] = {"pad", "paddle", "lightgun"};
constexpr const char* CHECK_NAME = "machine-crc32";
constexpr const char* STATE_SUFFIX = ".state";
// As many frames as tarven-headless --frames runs at most.
constexpr unsigned long SESSION_FRAMES_MAX = 100000000;

struct Words {
    const char* const* words;
    int count;
};

Words group_words(SessionGroup group)
{
    if (group == SessionGroup::console)
        return {CONSOLE_WORDS, 2};
    return {PAD_WORDS, 7};
}

// The part of the controls a group's lines set, as a change at `frame`.
SessionChange group_change(const Controls& controls, SessionGroup group, int frame)
{
    switch (group) {
    case SessionGroup::pad1:
    case SessionGroup::pad2:
        return {frame, group, controls.pads[static_cast<int>(group) - static_cast<int>(SessionGroup::pad1)]};
    case SessionGroup::console:
        return {frame, group, controls.console};
    case SessionGroup::player1:
    case SessionGroup::player2:
        return {frame, group,
            static_cast<uint8_t>(controls.devices[static_cast<int>(group) - static_cast<int>(SessionGroup::player1)])};
    case SessionGroup::paddle1:
    case SessionGroup::paddle2:
        return {frame, group, controls.paddles[static_cast<int>(group) - static_cast<int>(SessionGroup::paddle1)]};
    case SessionGroup::aim:
        break;
    }
    return {frame, group, 0, controls.aim_x, controls.aim_y};
}

void apply_change(Controls& controls, const SessionChange& change)
{
    const int group = static_cast<int>(change.group);
    switch (change.group) {
    case SessionGroup::pad1:
    case SessionGroup::pad2:
        controls.pads[group - static_cast<int>(SessionGroup::pad1)] = change.bits;
        break;
    case SessionGroup::console:
        controls.console = change.bits;
        break;
    case SessionGroup::player1:
    case SessionGroup::player2:
        controls.devices[group - static_cast<int>(SessionGroup::player1)] = static_cast<PortDevice>(change.bits);
        break;
    case SessionGroup::paddle1:
    case SessionGroup::paddle2:
        controls.paddles[group - static_cast<int>(SessionGroup::paddle1)] = change.bits;
        break;
    case SessionGroup::aim:
        controls.aim_x = change.aim_x;
        controls.aim_y = change.aim_y;
        break;
    }
}

bool parse_number(const std::string& word, int base, unsigned long high, unsigned long& value)
{
    if (word.empty() || word.size() > 10 || !std::isxdigit(static_cast<unsigned char>(word[0])))
        return false;
    char* end = nullptr;
    errno = 0;
    value = std::strtoul(word.c_str(), &end, base);
    return errno == 0 && *end == '\0' && value <= high;
}

// What the rest of a pad or console line names: "none" or held inputs.
bool parse_held(std::istringstream& words, SessionGroup group, uint8_t& bits)
{
    const Words names = group_words(group);
    std::string word;
    bool none = false;
    bits = 0;
    int count = 0;
    for (; words >> word; ++count) {
        if (word == "none") {
            none = true;
            continue;
        }
        const auto* found = std::find(names.words, names.words + names.count, word);
        if (found == names.words + names.count)
            return false;
        bits |= static_cast<uint8_t>(1u << (found - names.words));
    }
    return none ? count == 1 : count > 0;
}

// A light gun's aim: a picture coordinate, which may lie off the picture.
bool parse_coordinate(const std::string& word, int16_t& value)
{
    const bool negative = word.starts_with('-');
    unsigned long magnitude = 0;
    if (!parse_number(word.substr(negative ? 1 : 0), 10, negative ? -INT16_MIN : INT16_MAX, magnitude))
        return false;
    value = static_cast<int16_t>(negative ? -static_cast<long>(magnitude) : static_cast<long>(magnitude));
    return true;
}

// The rest of a change's line: "none" or held inputs for a pad or the
// console, a device for a port, a position for a knob, x and y for the aim.
bool parse_change(std::istringstream& words, SessionChange& change)
{
    std::string word, y, extra;
    switch (change.group) {
    case SessionGroup::pad1:
    case SessionGroup::pad2:
    case SessionGroup::console:
        return parse_held(words, change.group, change.bits);
    case SessionGroup::player1:
    case SessionGroup::player2: {
        words >> word >> extra;
        const auto* found = std::find(std::begin(DEVICE_WORDS), std::end(DEVICE_WORDS), word);
        change.bits = static_cast<uint8_t>(found - std::begin(DEVICE_WORDS));
        return found != std::end(DEVICE_WORDS) && extra.empty();
    }
    case SessionGroup::paddle1:
    case SessionGroup::paddle2: {
        unsigned long position = 0;
        words >> word >> extra;
        if (!parse_number(word, 10, UINT8_MAX, position) || !extra.empty())
            return false;
        change.bits = static_cast<uint8_t>(position);
        return true;
    }
    case SessionGroup::aim:
        break;
    }
    words >> word >> y >> extra;
    return parse_coordinate(word, change.aim_x) && parse_coordinate(y, change.aim_y) && extra.empty();
}

enum class LineVerdict { session, other, malformed };

LineVerdict parse_line(const std::string& line, Session& session)
{
    std::istringstream words(line);
    std::string first, kind, extra;
    words >> first;
    if (first == "start") {
        std::getline(words >> std::ws, session.start_state);
        session.start_state.erase(session.start_state.find_last_not_of(" \t\r") + 1);
        return session.start_state.empty() ? LineVerdict::malformed : LineVerdict::session;
    }
    if (first == "rate") {
        std::string rate;
        words >> rate >> extra;
        if ((rate != "50" && rate != "60") || !extra.empty())
            return LineVerdict::malformed;
        session.rate = std::stoi(rate);
        return LineVerdict::session;
    }
    words >> kind;
    const auto* group = std::find(std::begin(GROUP_NAMES), std::end(GROUP_NAMES), kind);
    if (group == std::end(GROUP_NAMES) && kind != CHECK_NAME)
        return LineVerdict::other;
    unsigned long frame = 0;
    if (!parse_number(first, 10, SESSION_FRAMES_MAX, frame) || frame < 1)
        return LineVerdict::malformed;
    session.frames = std::max(session.frames, static_cast<int>(frame));
    if (kind == CHECK_NAME) {
        std::string crc;
        unsigned long value = 0;
        words >> crc >> extra;
        if (!parse_number(crc, 16, UINT32_MAX, value) || !extra.empty())
            return LineVerdict::malformed;
        session.checks.push_back({static_cast<int>(frame), static_cast<uint32_t>(value)});
        return LineVerdict::session;
    }
    SessionChange change {static_cast<int>(frame), static_cast<SessionGroup>(group - std::begin(GROUP_NAMES)), 0};
    if (!parse_change(words, change))
        return LineVerdict::malformed;
    session.changes.push_back(change);
    return LineVerdict::session;
}

// A change's line after its frame and group.
std::string change_text(const SessionChange& change)
{
    switch (change.group) {
    case SessionGroup::pad1:
    case SessionGroup::pad2:
    case SessionGroup::console:
        break;
    case SessionGroup::player1:
    case SessionGroup::player2:
        return std::string(" ") + DEVICE_WORDS[change.bits];
    case SessionGroup::paddle1:
    case SessionGroup::paddle2:
    case SessionGroup::aim:
        char numbers[20];
        if (change.group == SessionGroup::aim)
            std::snprintf(numbers, sizeof numbers, " %d %d", change.aim_x, change.aim_y);
        else
            std::snprintf(numbers, sizeof numbers, " %d", change.bits);
        return numbers;
    }
    if (change.bits == 0)
        return " none";
    const Words names = group_words(change.group);
    std::string text;
    for (int i = 0; i < names.count; ++i)
        if (change.bits & (1u << i))
            text += std::string(" ") + names.words[i];
    return text;
}

std::string file_name_of(const std::string& path)
{
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A name relative to the script is found in the script's folder.
std::string beside(const std::string& script, const std::string& name)
{
    const size_t slash = script.find_last_of('/');
    if (name.starts_with('/') || slash == std::string::npos)
        return name;
    return script.substr(0, slash + 1) + name;
}

// The script's name for a new recording: the game's, or the first of
// name-2.input, name-3.input, ... that neither it nor its state takes, so
// that no recording replaces another.
std::string unused_script_path()
{
    const std::string first = SMS_SavePathForWriting(machine.input_file);
    const std::string stem = first.substr(0, first.size() - std::string(".input").size());
    std::string path = first;
    for (int n = 2; file_exists(path) || file_exists(path + STATE_SUFFIX); ++n)
        path = stem + "-" + std::to_string(n) + ".input";
    return path;
}

struct Recorder {
    bool pending = false;  // starts at the next frame's end
    // A pause held since before the start, which the machine has taken
    // already: recorded as released until it is, which the machine, its
    // latch cleared at the start of a replay, takes alike.
    bool pause_taken = false;
    bool active = false;
    std::string script;
    std::string rom_name;
    std::vector<uint8_t> start;
    Session session;
    Controls last;
    uint32_t generation = 0;
};

struct Player {
    bool active = false;
    bool strict = false;
    std::string script;
    Session session;
    size_t next_change = 0;
    size_t next_check = 0;
    Controls held;
    int frame = 0;
    uint32_t generation = 0;
};

Recorder recorder;
Player player;

std::string script_text(const Recorder& r)
{
    const Session& s = r.session;
    std::string text = "# tarven input session: " + std::to_string(s.frames) + " frames of " + r.rom_name
        + "\n# Replay: tarven-headless --input " + file_name_of(r.script) + " " + r.rom_name + "\n# Each " + CHECK_NAME
        + " line is the machine's CRC at the end of its frame, which the replay checks.\nstart "
        + file_name_of(r.script) + STATE_SUFFIX + "\nrate " + std::to_string(s.rate) + "\n";
    size_t change = 0;
    for (const SessionCheck& check : s.checks) {
        for (; change < s.changes.size() && s.changes[change].frame <= check.frame; ++change) {
            const SessionChange& c = s.changes[change];
            text += std::to_string(c.frame) + " " + GROUP_NAMES[static_cast<int>(c.group)] + change_text(c) + "\n";
        }
        char crc[40];
        std::snprintf(crc, sizeof crc, "%d %s %08x\n", check.frame, CHECK_NAME, check.crc);
        text += crc;
    }
    return text;
}

bool write_text(const std::string& path, const void* data, size_t size)
{
    return write_user_file(path, [&](FILE* file) { return std::fwrite(data, 1, size, file) == size; });
}

// The state first: a script is never left naming a state that is missing.
void finish_recording(const std::string& why)
{
    Recorder& r = recorder;
    const bool recorded = r.active && r.session.frames > 0;
    r.pending = false;
    r.active = false;
    if (!recorded)
        return;
    const std::string text = script_text(r);
    const std::string state = r.script + STATE_SUFFIX;
    if (!write_text(state, r.start.data(), r.start.size()) || !write_text(r.script, text.data(), text.size()))
        return;
    show_message((why.empty() ? "Input" : why + ": input") + " recorded in " + r.script + " ("
        + std::to_string(r.session.frames) + " frames)");
}

void record_frame(const Controls& held)
{
    Recorder& r = recorder;
    if (r.pending) {
        r.pending = false;
        if (!SMS_SaveStateToMemory(r.start)) {
            show_message("The recording could not start: the game's state could not be taken");
            return;
        }
        r.active = true;
        r.generation = machine_generation;
        r.session = Session {};
        r.session.rate = settings.frame_rate;
        r.last = Controls {};
        r.pause_taken = machine.pause_latch;
    } else if (r.generation != machine_generation || r.session.rate != settings.frame_rate) {
        // A state loaded, a rewind, a hard reset or another game: the session
        // recorded so far is kept, and ends there.
        finish_recording("Machine replaced");
        return;
    }
    const int frame = ++r.session.frames;
    r.pause_taken = r.pause_taken && (held.console & CONSOLE_PAUSE);
    Controls recorded = held;
    if (r.pause_taken)
        recorded.console &= static_cast<uint8_t>(~CONSOLE_PAUSE);
    for (size_t i = 0; i < std::size(GROUP_NAMES); ++i) {
        const auto group = static_cast<SessionGroup>(i);
        const SessionChange now = group_change(recorded, group, frame);
        const SessionChange before = group_change(r.last, group, frame);
        if (now.bits != before.bits || now.aim_x != before.aim_x || now.aim_y != before.aim_y)
            r.session.changes.push_back(now);
    }
    r.last = recorded;
    r.session.checks.push_back({frame, SMS_MachineCRC()});
}

void stop_playing(const std::string& why)
{
    player.active = false;
    if (player.strict)
        fatal_exit("%s", why.c_str());
    show_message(why);
    log_write("%s", why.c_str());
}

void play_frame(Controls& held)
{
    Player& p = player;
    const Session& s = p.session;
    if (p.frame == 0) {
        if (!s.start_state.empty() && !SMS_LoadStateFrom(beside(p.script, s.start_state).c_str())) {
            stop_playing(p.script + ": cannot load its start state " + beside(p.script, s.start_state));
            return;
        }
        p.generation = machine_generation;
        machine.pause_latch = false;
    } else if (p.generation != machine_generation) {
        stop_playing(p.script + " stopped at frame " + std::to_string(p.frame) + ": the machine was replaced");
        return;
    }
    const int frame = ++p.frame;
    for (; p.next_change < s.changes.size() && s.changes[p.next_change].frame <= frame; ++p.next_change)
        apply_change(p.held, s.changes[p.next_change]);
    held = p.held;
    for (; p.next_check < s.checks.size() && s.checks[p.next_check].frame <= frame; ++p.next_check) {
        const uint32_t crc = SMS_MachineCRC();
        const SessionCheck& check = s.checks[p.next_check];
        if (check.frame == frame && check.crc != crc) {
            char why[200];
            std::snprintf(why, sizeof why, ": frame %d is unlike the recording (%s %08x, recorded %08x)", frame,
                CHECK_NAME, crc, check.crc);
            stop_playing(p.script + why);
            return;
        }
    }
    if (frame >= s.frames) {
        p.active = false;
        if (!p.strict)
            show_message(p.script + " played: " + std::to_string(frame) + " frames as recorded");
    }
}

// A '#' after a blank starts a comment to the end of the line, but for the
// lines whose last word is a path that may hold one (start, drop).
std::string without_comment(const std::string& line)
{
    std::istringstream words(line);
    std::string first, kind;
    words >> first >> kind;
    if (first == "start" || kind == "drop")
        return line;
    const size_t comment = line.find_first_of('#');
    if (comment == std::string::npos || comment == 0 || !std::isspace(static_cast<unsigned char>(line[comment - 1])))
        return line;
    return line.substr(0, comment);
}

}  // namespace

bool session_parse(const std::string& text, const std::string& name, Session& session, const ScriptLineReader& other,
    std::string& error)
{
    std::istringstream lines(text);
    std::string line;
    for (int number = 1; std::getline(lines, line); ++number) {
        const size_t first = line.find_first_not_of(" \t\r");
        if (first == std::string::npos || line[first] == '#')
            continue;
        const std::string event = without_comment(line);
        const LineVerdict verdict = parse_line(event, session);
        session.any_line = session.any_line || verdict == LineVerdict::session;
        if (verdict == LineVerdict::session || (verdict == LineVerdict::other && other && other(event)))
            continue;
        error = name + ":" + std::to_string(number)
            + (verdict == LineVerdict::malformed || other ? ": malformed input event: "
                                                          : ": not a line of a recorded session: ")
            + line;
        return false;
    }
    const auto by_frame = [](const auto& a, const auto& b) { return a.frame < b.frame; };
    std::stable_sort(session.changes.begin(), session.changes.end(), by_frame);
    std::stable_sort(session.checks.begin(), session.checks.end(), by_frame);
    return true;
}

void session_play(Session session, const std::string& script, bool strict)
{
    finish_recording("");
    player = Player {};
    player.active = session.frames > 0 || !session.start_state.empty();
    player.strict = strict;
    player.script = script;
    player.session = std::move(session);
}

bool session_play_file(const std::string& path)
{
    std::string text;
    std::string error;
    Session session;
    if (!read_text_file(path, text))
        error = path + ": cannot be read";
    else if (!machine.rom_loaded)
        error = "Open the game first, then play " + file_name_of(path);
    else if (session_parse(text, path, session, nullptr, error) && !session.any_line)
        error = path + ": no recorded session in it";
    else if (error.empty() && session.rate != 0 && session.rate != settings.frame_rate)
        error = path + " was recorded at " + std::to_string(session.rate) + " frames a second: choose "
            + (session.rate == 50 ? "PAL" : "NTSC") + " in the CPU menu first";
    if (!error.empty()) {
        show_message(error);
        return false;
    }
    session_play(std::move(session), path, false);
    return true;
}

void session_record(bool power_on)
{
    if (!machine.rom_loaded)
        return;
    player.active = false;
    finish_recording("");
    if (power_on) {
        SMS_FreeMachine();
        SMS_InitMachine();
        // A fresh run times its first line as a start from the command line does.
        quit_run = true;
    }
    recorder = Recorder {};
    recorder.pending = true;
    recorder.script = unused_script_path();
    recorder.rom_name = machine.rom_name;
    show_message("Recording input: Misc, Stop recording ends it");
}

void session_stop()
{
    finish_recording("");
    if (player.active) {
        player.active = false;
        show_message(player.script + " stopped at frame " + std::to_string(player.frame));
    }
}

bool session_recording()
{
    return recorder.pending || recorder.active;
}

bool session_playing()
{
    return player.active;
}

void session_controls(Controls& held)
{
    if (session_recording())
        record_frame(held);
    else if (player.active)
        play_frame(held);
}
