// A fresh directory for one test, made the current directory for as long as
// it lives and then removed with everything the test wrote into it.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <stdexcept>
#include <string>

class ScratchDirectory {
public:
    ScratchDirectory()
        : previous(std::filesystem::current_path())
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "tarven-test-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            throw std::runtime_error("cannot create a scratch directory");
        dir = pattern;
        std::filesystem::current_path(dir);
    }
    ~ScratchDirectory()
    {
        std::filesystem::current_path(previous);
        std::filesystem::remove_all(dir);
    }
    ScratchDirectory(const ScratchDirectory&) = delete;
    ScratchDirectory& operator=(const ScratchDirectory&) = delete;

    const std::filesystem::path& path() const
    {
        return dir;
    }

private:
    std::filesystem::path previous;
    std::filesystem::path dir;
};
