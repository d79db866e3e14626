#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <sstream>

#include "host/draw.h"
#include "host/headless/headless.h"
#include "host/input.h"
#include "ui/key_names.h"
#include "ui/session.h"

namespace {

std::vector<InputEvent> script;
size_t next_event = 0;

void deliver(const InputEvent& event)
{
    switch (event.kind) {
    case InputEvent::KEY:
        key_state[event.a].store(event.b ? 0x80 : 0, std::memory_order_relaxed);
        if (event.b)
            last_key.store(static_cast<uint8_t>(event.a), std::memory_order_relaxed);
        break;
    case InputEvent::MOUSE:
        mouse_x = std::clamp(event.a, 0, screen_image.width - 1);
        mouse_y = std::clamp(event.b, 0, screen_image.height - 1);
        break;
    case InputEvent::BUTTON:
        mouse_left = event.a;
        mouse_pressed |= event.a;
        mouse_clicked = 1;
        break;
    case InputEvent::WHEEL:
        mouse_wheel += event.a;
        break;
    case InputEvent::JOYSTICK_BUTTON:
        joysticks[event.a / JOYSTICK_BUTTONS].buttons[event.a % JOYSTICK_BUTTONS]
            = event.b ? 1u << (event.a % JOYSTICK_BUTTONS) : 0;
        break;
    case InputEvent::DROP:
        if (file_drop_handler)
            file_drop_handler(event.path);
        break;
    }
}

void deliver_due_events(int frame)
{
    while (next_event < script.size() && script[next_event].frame <= frame)
        deliver(script[next_event++]);
}

bool parse_int(const std::string& word, long low, long high, int& value)
{
    if (word.empty())
        return false;
    char* end = nullptr;
    errno = 0;
    const long parsed = std::strtol(word.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || parsed < low || parsed > high)
        return false;
    value = static_cast<int>(parsed);
    return true;
}

bool parse_up_down(const std::string& word, int& down)
{
    if (word == "down" || word == "up") {
        down = word == "down";
        return true;
    }
    return false;
}

// A code made only of digits is a scan code; anything else is a key name.
bool parse_key_code(const std::string& word, int& code)
{
    const bool numeric
        = !word.empty() && std::all_of(word.begin(), word.end(), [](unsigned char c) { return std::isdigit(c); });
    if (numeric)
        return parse_int(word, 0, 255, code);
    code = key_code_by_name(word.c_str());
    return code > 0;
}

bool parse_line(const std::string& line, InputEvent& event)
{
    std::istringstream words(line);
    std::string frame, kind, a, b, extra;
    words >> frame >> kind;
    if (kind == "drop") {
        // The rest of the line, spaces and all, is the file's path.
        event.kind = InputEvent::DROP;
        std::getline(words >> std::ws, event.path);
        event.path.erase(event.path.find_last_not_of(" \t\r") + 1);
        return parse_int(frame, 1, INT_MAX, event.frame) && !event.path.empty();
    }
    words >> a >> b >> extra;
    if (!extra.empty() || !parse_int(frame, 1, INT_MAX, event.frame))
        return false;
    if (kind == "key") {
        event.kind = InputEvent::KEY;
        return parse_key_code(a, event.a) && parse_up_down(b, event.b);
    }
    if (kind == "joy1" || kind == "joy2") {
        event.kind = InputEvent::JOYSTICK_BUTTON;
        int button = 0;
        if (!parse_int(a, 0, 11, button))
            return false;
        event.a = (kind == "joy2" ? 12 : 0) + button;
        return parse_up_down(b, event.b);
    }
    if (kind == "mouse") {
        event.kind = InputEvent::MOUSE;
        return parse_int(a, INT_MIN, INT_MAX, event.a) && parse_int(b, INT_MIN, INT_MAX, event.b);
    }
    event.b = 0;
    if (!b.empty())
        return false;
    if (kind == "button") {
        event.kind = InputEvent::BUTTON;
        return parse_up_down(a, event.a);
    }
    if (kind == "wheel") {
        event.kind = InputEvent::WHEEL;
        return parse_int(a, INT_MIN / 2, INT_MAX / 2, event.a);
    }
    return false;
}

}  // namespace

bool input_script_parse(const std::string& text, const std::string& name, std::vector<InputEvent>& events,
    Session& session, std::string& error)
{
    return session_parse(
        text, name, session,
        [&](const std::string& line) {
            InputEvent event {};
            if (!parse_line(line, event))
                return false;
            events.push_back(event);
            return true;
        },
        error);
}

void input_script_set(std::vector<InputEvent> events)
{
    std::stable_sort(
        events.begin(), events.end(), [](const InputEvent& a, const InputEvent& b) { return a.frame < b.frame; });
    script = std::move(events);
    next_event = 0;
    headless_input_hook = deliver_due_events;
}
