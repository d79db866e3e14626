#include "host/file.h"

#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "host/log.h"

namespace {

FileFailureHandler failure_handler = nullptr;

// Links are resolved one step at a time, so that a link to a file not made
// yet still leads to where the file belongs; the bound breaks loops.
constexpr int MAX_LINK_STEPS = 40;

std::string resolve_links(std::string path)
{
    for (int step = 0; step < MAX_LINK_STEPS; ++step) {
        struct stat link_status;
        if (lstat(path.c_str(), &link_status) != 0 || !S_ISLNK(link_status.st_mode))
            return path;
        char target[PATH_MAX];
        const ssize_t length = readlink(path.c_str(), target, sizeof target - 1);
        if (length < 0)
            return path;
        target[length] = '\0';
        const size_t slash = path.find_last_of('/');
        if (target[0] == '/' || slash == std::string::npos)
            path = target;
        else
            path = path.substr(0, slash + 1) + target;
    }
    return path;
}

// File systems without a disk cache to flush (some FUSE and network file
// systems, special mounts) answer fsync with "not supported": the data is
// then as safe as it gets.
bool sync_file(FILE* file)
{
    if (fsync(fileno(file)) == 0)
        return true;
    return errno == EINVAL || errno == ENOTSUP || errno == EOPNOTSUPP;
}

// Runs `write` on `file`, flushes and syncs it, and closes it; errno tells
// the first failure.
bool fill_and_close(FILE* file, const std::function<bool(FILE*)>& write, bool truncate_after)
{
    errno = 0;
    bool ok = write(file);
    if (ok && errno == 0 && std::ferror(file))
        errno = EIO;
    ok = ok && std::fflush(file) == 0 && !std::ferror(file);
    if (ok && truncate_after) {
        const long end = std::ftell(file);
        ok = end >= 0 && ftruncate(fileno(file), end) == 0;
    }
    ok = ok && sync_file(file);
    const int saved_errno = errno;
    ok = std::fclose(file) == 0 && ok;
    if (saved_errno != 0)
        errno = saved_errno;
    return ok;
}

// Writes over the file itself: no truncation before the new data is in, so
// a file of the same size (cartridge RAM always is) never shrinks to
// nothing on the way.
bool write_in_place(const std::string& target, const std::function<bool(FILE*)>& write)
{
    const int descriptor = open(target.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
    if (descriptor < 0)
        return false;
    FILE* file = fdopen(descriptor, "wb");
    if (!file) {
        close(descriptor);
        return false;
    }
    return fill_and_close(file, write, true);
}

// Errors that say "no new file can be made here", where a plain overwrite
// of the existing one still works.
bool cannot_create_here(int error)
{
    return error == ENAMETOOLONG || error == EACCES || error == EPERM;
}

const char* describe(int error)
{
    return error != 0 ? std::strerror(error) : "the data could not be written";
}

void report_failure(const std::string& path, const char* reason)
{
    const std::string text = "Could not save " + path + ": " + reason;
    std::fprintf(stderr, "tarven: %s\n", text.c_str());
    log_write("%s", text.c_str());
    exit_note_failure(text.c_str());
    if (failure_handler)
        failure_handler(text);
}

// Why the existing file at `target`, as `status` describes it, may not be
// replaced; null when it may. Root may write anything: the mode bits say
// what the user meant.
const char* refusal(const std::string& target, const struct stat& status)
{
    if (!S_ISREG(status.st_mode))
        return "not a regular file";
    if ((status.st_mode & 0222) == 0 || access(target.c_str(), W_OK) != 0)
        return "the file is read-only";
    return nullptr;
}

// Whether the file at `target` (already resolved from `path`) may be
// replaced; reports why not. `exists` and `status` describe it after.
bool may_replace(const std::string& path, const std::string& target, bool& exists, struct stat& status)
{
    exists = stat(target.c_str(), &status) == 0;
    const char* reason = exists ? refusal(target, status) : nullptr;
    if (reason)
        report_failure(path, reason);
    return !reason;
}

bool copy_stream(FILE* from, FILE* to)
{
    char chunk[65536];
    for (size_t got; (got = std::fread(chunk, 1, sizeof chunk, from)) > 0;)
        if (std::fwrite(chunk, 1, got, to) != got)
            return false;
    return !std::ferror(from);
}

}  // namespace

void file_set_failure_handler(FileFailureHandler handler)
{
    failure_handler = handler;
}

bool write_user_file(const std::string& path, const std::function<bool(FILE*)>& write)
{
    const std::string target = resolve_links(path);
    struct stat status;
    bool exists = false;
    if (!may_replace(path, target, exists, status))
        return false;

    const std::string temp = target + ".tmp";
    const int descriptor = open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (descriptor < 0) {
        const int error = errno;
        if (cannot_create_here(error) && write_in_place(target, write))
            return true;
        report_failure(path, describe(cannot_create_here(error) ? errno : error));
        return false;
    }
    // The new file keeps the permissions the user gave the old one.
    if (exists)
        fchmod(descriptor, status.st_mode & 07777);
    FILE* file = fdopen(descriptor, "wb");
    if (!file) {
        const int error = errno;
        close(descriptor);
        unlink(temp.c_str());
        report_failure(path, describe(error));
        return false;
    }
    if (fill_and_close(file, write, false) && std::rename(temp.c_str(), target.c_str()) == 0)
        return true;
    const int error = errno;
    unlink(temp.c_str());
    report_failure(path, describe(error));
    return false;
}

bool move_user_file(const std::string& from, const std::string& path)
{
    const std::string target = resolve_links(path);
    struct stat status;
    bool exists = false;
    if (!may_replace(path, target, exists, status))
        return false;
    if (std::rename(from.c_str(), target.c_str()) == 0)
        return true;
    if (errno != EXDEV) {
        report_failure(path, describe(errno));
        return false;
    }
    FILE* source = open_regular_file(from.c_str());
    if (!source) {
        report_failure(path, describe(errno));
        return false;
    }
    const bool copied = write_user_file(path, [source](FILE* file) { return copy_stream(source, file); });
    std::fclose(source);
    if (copied)
        std::remove(from.c_str());
    return copied;
}

bool user_file_writable(const std::string& path)
{
    const std::string target = resolve_links(path);
    struct stat status;
    if (stat(target.c_str(), &status) == 0)
        return !refusal(target, status);
    const size_t slash = target.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : target.substr(0, slash);
    return stat(folder.c_str(), &status) == 0 && S_ISDIR(status.st_mode) && (status.st_mode & 0222) != 0
        && access(folder.c_str(), W_OK | X_OK) == 0;
}

std::string user_folder(const char* variable, const char* fallback)
{
    // Relative values are invalid by the XDG rules and are ignored.
    const char* value = std::getenv(variable);
    if (value && value[0] == '/')
        return std::string(value) + "/tarven";
    const char* home = std::getenv("HOME");
    if (home && home[0] == '/')
        return std::string(home) + "/" + fallback + "/tarven";
    return {};
}

std::string user_save_folder()
{
    const std::string data = user_folder("XDG_DATA_HOME", ".local/share");
    return data.empty() ? data : data + "/saves";
}

std::string user_pictures_folder()
{
    const char* home_variable = std::getenv("HOME");
    const std::string home = home_variable && home_variable[0] == '/' ? home_variable : "";
    const char* config = std::getenv("XDG_CONFIG_HOME");
    const std::string dirs = (config && config[0] == '/' ? std::string(config) : home + "/.config") + "/user-dirs.dirs";
    // Lines such as XDG_PICTURES_DIR="$HOME/Pictures": quoted, an absolute
    // path or one relative to $HOME.
    constexpr const char* KEY = "XDG_PICTURES_DIR=\"";
    std::string folder;
    if (FILE* file = open_regular_file(dirs.c_str())) {
        char line[1024];
        while (std::fgets(line, sizeof line, file)) {
            std::string text = line;
            if (text.compare(0, std::strlen(KEY), KEY) != 0)
                continue;
            text = text.substr(std::strlen(KEY), text.find('"', std::strlen(KEY)) - std::strlen(KEY));
            if (text.compare(0, 6, "$HOME/") == 0 && !home.empty())
                folder = home + text.substr(5);
            else if (text[0] == '/')
                folder = text;
        }
        std::fclose(file);
    }
    return folder.empty() ? home : folder;
}

bool make_folders(const std::string& folder)
{
    for (size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
        const std::string part = folder.substr(0, slash);
        if (mkdir(part.c_str(), 0777) != 0 && errno != EEXIST)
            return false;
        if (slash == std::string::npos)
            break;
    }
    struct stat status;
    return stat(folder.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

FILE* open_regular_file(const char* path)
{
    // O_NONBLOCK: opening a FIFO for reading would otherwise wait for a writer.
    const int descriptor = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (descriptor < 0)
        return nullptr;
    struct stat status;
    if (fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode)) {
        close(descriptor);
        errno = EINVAL;
        return nullptr;
    }
    // Reads of a regular file never block; the flag only mattered for open.
    fcntl(descriptor, F_SETFL, fcntl(descriptor, F_GETFL) & ~O_NONBLOCK);
    FILE* file = fdopen(descriptor, "rb");
    if (!file)
        close(descriptor);
    return file;
}

bool read_text_file(const std::string& path, std::string& text)
{
    FILE* file = open_regular_file(path.c_str());
    if (!file)
        return false;
    text.clear();
    char chunk[4096];
    for (size_t got; (got = std::fread(chunk, 1, sizeof chunk, file)) > 0;)
        text.append(chunk, got);
    std::fclose(file);
    return true;
}

bool file_has_extension(const std::string& path, const char* extension)
{
    const size_t dot = path.find_last_of('.');
    return dot != std::string::npos && path.find('/', dot) == std::string::npos
        && strcasecmp(path.c_str() + dot, extension) == 0;
}

bool file_exists(const std::string& path)
{
    struct stat status { };
    return lstat(path.c_str(), &status) == 0;
}
