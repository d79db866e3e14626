#include "player/terminal.h"

#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>

namespace {

termios saved;
volatile std::sig_atomic_t changed = 0;
bool input_ended = false;

void restore_and_die(int signal)
{
    terminal_close();
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

}  // namespace

void terminal_open()
{
    if (!isatty(STDIN_FILENO) || tcgetattr(STDIN_FILENO, &saved) != 0)
        return;
    termios raw = saved;
    raw.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO));
    raw.c_cc[VMIN] = 0;
    raw.c_cc[VTIME] = 0;
    if (tcsetattr(STDIN_FILENO, TCSANOW, &raw) != 0)
        return;
    changed = 1;
    std::atexit(terminal_close);
    std::signal(SIGINT, restore_and_die);
    std::signal(SIGTERM, restore_and_die);
}

void terminal_close()
{
    if (changed) {
        tcsetattr(STDIN_FILENO, TCSANOW, &saved);
        changed = 0;
    }
}

int terminal_key()
{
    if (input_ended)
        return -1;
    pollfd input = {STDIN_FILENO, POLLIN, 0};
    if (poll(&input, 1, 0) <= 0)
        return -1;
    unsigned char key;
    const ssize_t got = read(STDIN_FILENO, &key, 1);
    if (got == 1)
        return key;
    // A closed pipe or file stays readable for ever; it has no more keys.
    if (got == 0)
        input_ended = true;
    return -1;
}
