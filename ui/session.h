// Play sessions as scripts: the controls of every frame, recorded from a
// start state into a tarven-headless input script that replays them
// exactly, with the machine's CRC at every frame for the replay to check.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "machine/machine.h"

// What a session line holds from its frame on: one pad's HELD_ bits, the
// console's CONSOLE_ bits, what a port has plugged in, a paddle's knob or
// the light gun's aim. Frames count from 1, the first frame played.
enum class SessionGroup : uint8_t { pad1, pad2, console, player1, player2, paddle1, paddle2, aim };
struct SessionChange {
    int frame;
    SessionGroup group;
    uint8_t bits;  // HELD_ or CONSOLE_ bits, a PortDevice or a knob's position
    int16_t aim_x = 0;
    int16_t aim_y = 0;
};
struct SessionCheck {
    int frame;
    uint32_t crc;  // SMS_MachineCRC at that frame's end
};

struct Session {
    std::string start_state;  // the state the session starts from, beside the script
    int rate = 0;  // 50 or 60; 0 where the script does not say
    std::vector<SessionChange> changes;  // by frame
    std::vector<SessionCheck> checks;  // by frame
    int frames = 0;  // the last frame a line names
    bool any_line = false;  // the script has a session line at all
};

// Takes a script line that is no session line; false refuses it.
using ScriptLineReader = std::function<bool(const std::string& line)>;
// Reads a script's session lines into `session`, handing every other line
// but blanks and comments to `other` (without one they are refused). On a
// refused line returns false with `error` naming the line.
bool session_parse(const std::string& text, const std::string& name, Session& session, const ScriptLineReader& other,
    std::string& error);

// Plays `session`, read from `script`, from the next frame on: the first
// frame loads its start state, every frame takes the controls from it
// instead of the devices and checks the machine's CRC. A failure (a start
// state that cannot be loaded, a frame unlike the recording) ends the
// program when `strict` (tarven-headless), else it stops the playback with a
// message.
void session_play(Session session, const std::string& script, bool strict);
// Reads the script at `path` and plays it on the running game; a script
// that cannot be played says why in the message popup. False then.
bool session_play_file(const std::string& path);
// Starts recording at the next frame's end, from the running game's current
// state or from power-on (a reset first).
void session_record(bool power_on);
// Writes a recording (the script and its start state, beside the game) and
// ends it, or ends a playback.
void session_stop();
bool session_recording();
bool session_playing();
// The controls hook: records them, or replaces them with those played.
void session_controls(Controls& held);
