#include "host/log.h"

#include <fcntl.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr size_t HOOK_NAME_SIZE = 50;
constexpr size_t MESSAGE_SIZE = 256;

struct ExitHook {
    char name[HOOK_NAME_SIZE];
    ExitHookCallback callback;
};

// Oldest first; they run from the back.
std::vector<ExitHook> exit_hooks;

std::string log_path = "tarven.log";

FatalMessageHandler fatal_message_handler = nullptr;

// The status the process ends with once the message is seen.
volatile sig_atomic_t exit_status = 0;

// Failures noted while the exit hooks run, one a line.
bool exiting = false;
std::string exit_failures;

// Everything is saved by then: the signal ends the process as the closed
// box would have.
void end_at_signal(int)
{
    _exit(exit_status);
}

// A box waits for a click; a script or a session that ends the program
// with Ctrl+C or SIGTERM must not hang on it.
void show_message_ending_at_signals(const char* message, int status)
{
    exit_status = status;
    struct sigaction action { };
    action.sa_handler = end_at_signal;
    sigemptyset(&action.sa_mask);
    // A signal ignored from the start (nohup, a background job) stays so.
    for (int signal_number : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction old { };
        if (sigaction(signal_number, nullptr, &old) == 0 && old.sa_handler != SIG_IGN)
            sigaction(signal_number, &action, nullptr);
    }
    fatal_message_handler(message);
}

}  // namespace

void log_set_path(const std::string& path)
{
    log_path = path;
}

void log_reset()
{
    std::remove(log_path.c_str());
    exit_hooks.clear();
}

void log_write(const char* format, ...)
{
    // Opened, written and closed per line so that every line survives a crash.
    FILE* file = std::fopen(log_path.c_str(), "a");
    if (!file)
        return;
    char line[MESSAGE_SIZE];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    std::fprintf(file, "%s\n", line);
    std::fflush(file);
    std::fclose(file);
}

void exit_hook_add(ExitHookCallback callback, const char* name)
{
    ExitHook hook {};
    std::strncpy(hook.name, name, HOOK_NAME_SIZE - 1);
    hook.callback = callback;
    exit_hooks.push_back(hook);
}

void exit_hooks_run()
{
    for (auto hook = exit_hooks.rbegin(); hook != exit_hooks.rend(); ++hook)
        hook->callback();
}

void exit_note_failure(const char* text)
{
    if (!exiting)
        return;
    if (!exit_failures.empty())
        exit_failures += '\n';
    exit_failures += text;
}

void run_without_library_noise(const std::function<void()>& work)
{
    std::fflush(stderr);
    const int saved = dup(STDERR_FILENO);
    const int nowhere = open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (saved >= 0 && nowhere >= 0)
        dup2(nowhere, STDERR_FILENO);
    if (nowhere >= 0)
        close(nowhere);
    work();
    if (saved >= 0) {
        dup2(saved, STDERR_FILENO);
        close(saved);
    }
}

void fatal_set_message_handler(FatalMessageHandler handler)
{
    fatal_message_handler = handler;
}

void fatal_exit(const char* format, ...)
{
    char message[MESSAGE_SIZE];
    va_list args;
    va_start(args, format);
    std::vsnprintf(message, sizeof message, format, args);
    va_end(args);

    exiting = true;
    exit_hooks_run();
    exiting = false;
    // A quit the user asked for is no failure: launchers and scripts read
    // 255 as a crash.
    const int status = message[0] == '\0' ? 0 : 255;
    // Saves that failed just now (settings, cartridge RAM) would otherwise
    // be told only on standard error and in the log.
    if (message[0] == '\0' && !exit_failures.empty() && fatal_message_handler)
        show_message_ending_at_signals(exit_failures.c_str(), status);
    if (message[0] != '\0') {
        std::fprintf(stderr, "tarven: %s\n", message);
        // Logged before the box, so that the line is there however the box ends.
        log_write("Exiting: %s", message);
        if (fatal_message_handler)
            show_message_ending_at_signals(message, status);
    }
    std::exit(status);
}
