// The one writer of the files users care about (cartridge RAM, save states,
// settings, music logs), and the checks of files read from outside.
#pragma once

#include <cstdio>
#include <functional>
#include <string>

// Replaces `path` with what `write` puts into the stream, as safely as the
// place allows. A symbolic link is followed, so the link stays and its
// target gets the data. The data goes to a temporary file beside the
// target, is flushed to disk and renamed over the old file, so a crash or a
// full disk leaves either the old file or the new one. Where no temporary
// file can be made (a name too long for one, a folder that is not
// writable) the target is rewritten in place, as a plain overwrite would.
// A file the user made read-only, or anything but a regular file, is never
// replaced. Returns false when `write` returns false or any step fails;
// every failure is reported on standard error, in the log and to the
// failure handler.
bool write_user_file(const std::string& path, const std::function<bool(FILE*)>& write);

// Shows a failed save to the user (the programs' message popup).
using FileFailureHandler = void (*)(const std::string& message);
void file_set_failure_handler(FileFailureHandler handler);

// Moves the finished file `from` to `path`, replacing what is there in one
// step, so that the old file is kept until the new one is in place. Across
// file systems the data is copied through write_user_file and `from` is
// removed after. Every failure is reported as write_user_file reports it,
// and leaves `from` where it is.
bool move_user_file(const std::string& from, const std::string& path);

// Whether write_user_file can save `path`: the file it leads to (through
// any links) is writable, or it is missing and its folder is. A folder or
// file without any write permission bit counts as read-only even for root,
// as write_user_file takes a read-only file: the mode bits say what the
// user meant.
bool user_file_writable(const std::string& path);

// The program's per-user folder of one kind: $VARIABLE/tarven, by default
// ~/FALLBACK/tarven (XDG_CONFIG_HOME and .config for the settings,
// XDG_STATE_HOME and .local/state for the log). Empty when neither
// variable names an absolute folder.
std::string user_folder(const char* variable, const char* fallback);
// The per-user folder for saves that cannot lie beside their game:
// $XDG_DATA_HOME/tarven/saves, by default ~/.local/share/tarven/saves.
// Empty when neither variable names an absolute folder.
std::string user_save_folder();
// The user's pictures folder, as the desktop's user-dirs.dirs names it
// (XDG_PICTURES_DIR), else the home folder; empty when neither is known.
std::string user_pictures_folder();
// Makes `folder` and the folders above it that are missing.
bool make_folders(const std::string& folder);

// Opens `path` for reading only if it is a regular file: a FIFO, a device
// or a directory would block a read or make no sense as data. Returns null
// otherwise, with errno EINVAL for something that is not a regular file.
FILE* open_regular_file(const char* path);
// Reads the whole regular file at `path` (an input script) into `text`;
// false when it cannot be opened as one.
bool read_text_file(const std::string& path, std::string& text);
// Whether anything (a file, a folder, a link, even a broken one) lies at
// `path`.
bool file_exists(const std::string& path);
// Whether the file name at the end of `path` ends in `extension` (".sms"),
// in any letter case.
bool file_has_extension(const std::string& path, const char* extension);
