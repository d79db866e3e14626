#include "host/log.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr const char* LOG_FILE = "tarven.log";
constexpr size_t HOOK_NAME_SIZE = 50;
constexpr size_t MESSAGE_SIZE = 256;

struct ExitHook {
    char name[HOOK_NAME_SIZE];
    ExitHookCallback callback;
};

// Oldest first; they run from the back.
std::vector<ExitHook> exit_hooks;

FatalMessageHandler fatal_message_handler = nullptr;

// Failures noted while the exit hooks run, one a line.
bool exiting = false;
std::string exit_failures;

}  // namespace

void log_reset()
{
    std::remove(LOG_FILE);
    exit_hooks.clear();
}

void log_write(const char* format, ...)
{
    // Opened, written and closed per line so that every line survives a crash.
    FILE* file = std::fopen(LOG_FILE, "a");
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
    // Saves that failed just now (settings, cartridge RAM) would otherwise
    // be told only on standard error and in the log.
    if (message[0] == '\0' && !exit_failures.empty() && fatal_message_handler)
        fatal_message_handler(exit_failures.c_str());
    if (message[0] != '\0') {
        std::fprintf(stderr, "tarven: %s\n", message);
        if (fatal_message_handler)
            fatal_message_handler(message);
        log_write("Exiting: %s", message);
    }
    // A quit the user asked for is no failure: launchers and scripts read
    // 255 as a crash.
    std::exit(message[0] == '\0' ? 0 : -1);
}
