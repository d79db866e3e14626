#include "host/log.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr const char* LOG_FILE = "tarven.log";
constexpr size_t HOOK_NAME_SIZE = 50;
constexpr size_t MESSAGE_SIZE = 256;

struct ExitHook {
    char name[HOOK_NAME_SIZE];
    ExitHookCallback callback;
    ExitHook* next;  // the next older hook
};

ExitHook* hooks_newest = nullptr;

void message_to_stderr(const char* message)
{
    std::fprintf(stderr, "tarven: %s\n", message);
}

FatalMessageHandler fatal_message_handler = message_to_stderr;

}  // namespace

void log_reset()
{
    std::remove(LOG_FILE);
    hooks_newest = nullptr;
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
    // Hooks live until the process ends, so their records are never freed.
    auto* hook = new ExitHook{};
    std::strncpy(hook->name, name, HOOK_NAME_SIZE - 1);
    hook->callback = callback;
    hook->next = hooks_newest;
    hooks_newest = hook;
}

void exit_hooks_run()
{
    for (ExitHook* hook = hooks_newest; hook; hook = hook->next)
        hook->callback();
}

void fatal_set_message_handler(FatalMessageHandler handler)
{
    fatal_message_handler = handler ? handler : message_to_stderr;
}

void fatal_exit(const char* format, ...)
{
    char message[MESSAGE_SIZE];
    va_list args;
    va_start(args, format);
    std::vsnprintf(message, sizeof message, format, args);
    va_end(args);

    exit_hooks_run();
    if (message[0] != '\0') {
        fatal_message_handler(message);
        log_write("Exiting: %s", message);
    }
    std::exit(-1);
}
