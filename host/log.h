// The log file, the shutdown hooks and the one way out of the program.
#pragma once

#include <cstdarg>
#include <functional>
#include <string>

using ExitHookCallback = void (*)();

// Where the log goes: "tarven.log" in the current folder unless a program
// names another place before log_reset.
void log_set_path(const std::string& path);
// Deletes the log and empties the hook list; called once at start-up.
void log_reset();
// Appends one printf-formatted line to the log, flushed and closed at once.
void log_write(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Registers a hook; hooks run newest first. Names are cut to 49 characters.
void exit_hook_add(ExitHookCallback callback, const char* name);
void exit_hooks_run();
// Runs the hooks, shows a non-empty message to the user, logs
// "Exiting: %s" and ends the process with status 255. An empty message is
// the ordinary quit, with status 0.
[[noreturn]] void fatal_exit(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Notes a failure to save, or a save the player did not ask for (a music
// recording kept under a name of its own); one noted while the hooks run at
// the end is shown as a fatal message is, also at an ordinary quit, as the
// window is about to go and the popup with it.
void exit_note_failure(const char* text);

// Runs `work` with standard error sent nowhere: the system's sound and
// display libraries print their probing there (a missing ALSA card, an
// unset XDG_RUNTIME_DIR), which says nothing to a player. What matters is
// told in one line of our own.
void run_without_library_noise(const std::function<void()>& work);

// A non-empty fatal message always goes to standard error; a desktop
// program installs this to show it in a message box as well.
using FatalMessageHandler = void (*)(const char* message);
void fatal_set_message_handler(FatalMessageHandler handler);
