// The host layer of tarven-headless: a memory back buffer instead of a
// window, scripted input instead of devices, and one simulated timer tick per
// frame so that frames run back to back.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The picture's colours, CRC and PNG files, which --hash and --screenshot give.
#include "host/picture/picture.h"

constexpr int HEADLESS_WIDTH = 256;
constexpr int HEADLESS_HEIGHT = 192;

// Makes screen_image a memory buffer of the given depth (15, 16 or 32), 256
// pixels wide and as high as the picture (192 lines until a taller mode
// comes), and starts drawing into it.
void headless_video_start(int depth);

struct InputEvent {
    enum Kind { KEY, MOUSE, BUTTON, WHEEL, JOYSTICK_BUTTON, DROP };
    int frame;  // delivered at this frame's input poll; frames count from 1
    Kind kind;
    // KEY: scan code; MOUSE: x; BUTTON: 1 down, 0 up; WHEEL: delta;
    // JOYSTICK_BUTTON: joystick (0 or 1) x 12 + button (0-11).
    int a;
    int b;  // KEY, JOYSTICK_BUTTON: 1 down, 0 up; MOUSE: y
    std::string path = {};  // DROP: the file dropped on the window
};

struct Session;
// Parses an input script: its events, and a recorded session's lines into
// `session`; on a malformed line returns false with `error` naming the line.
bool input_script_parse(const std::string& text, const std::string& name, std::vector<InputEvent>& events,
    Session& session, std::string& error);
// Events that input_poll delivers, frame by frame.
void input_script_set(std::vector<InputEvent> events);

// Frames polled so far.
int headless_frame();
// Called at each frame's input poll, before the frame's scripted events.
extern void (*headless_frame_hook)(int frame);
// Called at each frame's input poll after the frame hook, to set the input
// the frame ends with: the input script installs it.
extern void (*headless_input_hook)(int frame);
