#include "host/file.h"

#include <unistd.h>

bool write_file_atomically(const std::string& path, const std::function<bool(FILE*)>& write)
{
    // Beside the target, so the rename stays within one file system.
    const std::string temp = path + ".tmp";
    FILE* file = std::fopen(temp.c_str(), "wb");
    if (!file)
        return false;
    bool ok = write(file);
    ok = std::fflush(file) == 0 && !std::ferror(file) && ok;
    ok = fsync(fileno(file)) == 0 && ok;
    ok = std::fclose(file) == 0 && ok;
    if (ok && std::rename(temp.c_str(), path.c_str()) == 0)
        return true;
    std::remove(temp.c_str());
    return false;
}
