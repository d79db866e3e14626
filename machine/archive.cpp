#include "machine/archive.h"

#include <archive.h>
#include <archive_entry.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "host/file.h"
#include "machine/machine.h"
#include "machine/sg1000.h"

namespace {

// One byte past the largest cartridge file is enough to refuse a larger one.
constexpr size_t MAX_GAME_BYTES = 256 * ROM_PAGE_SIZE + 512;
constexpr size_t READ_CHUNK = 65536;

struct ArchiveFree {
    void operator()(archive* reader) const
    {
        archive_read_free(reader);
    }
};
using ArchiveReader = std::unique_ptr<archive, ArchiveFree>;

// Only the formats players keep games in: anything else is no archive of ours.
ArchiveReader new_reader()
{
    ArchiveReader reader(archive_read_new());
    archive_read_support_format_zip(reader.get());
    archive_read_support_format_7zip(reader.get());
    return reader;
}

bool is_game(archive_entry* entry)
{
    const char* name = archive_entry_pathname(entry);
    return name && archive_entry_filetype(entry) == AE_IFREG
        && (file_has_extension(name, ".sms") || file_has_extension(name, ".gg") || SG_IsCartridge(name));
}

std::string damaged(archive* reader)
{
    const char* why = archive_error_string(reader);
    return std::string("is damaged") + (why ? std::string(": ") + why : std::string());
}

// Walks every entry, so that a second game is found and a damaged archive
// told, before anything of it is used.
std::string read_game(archive* reader, std::vector<uint8_t>& game, std::string& name)
{
    int games = 0;
    game.clear();
    for (;;) {
        archive_entry* entry = nullptr;
        const int status = archive_read_next_header(reader, &entry);
        if (status == ARCHIVE_EOF)
            break;
        if (status != ARCHIVE_OK && status != ARCHIVE_WARN)
            return damaged(reader);
        if (!is_game(entry))
            continue;
        if (++games > 1)
            return "holds more than one game: keep one .sms, .gg, .sg or .sc file in it";
        name = archive_entry_pathname(entry);
        std::vector<uint8_t> chunk(READ_CHUNK);
        la_ssize_t got;
        while ((got = archive_read_data(reader, chunk.data(), chunk.size())) > 0) {
            game.insert(game.end(), chunk.begin(), chunk.begin() + got);
            if (game.size() > MAX_GAME_BYTES)
                return "holds " + name + ", which " + SMS_ROMSizeError(static_cast<long long>(game.size()));
        }
        if (got < 0)
            return damaged(reader);
    }
    if (games == 0)
        return "holds no .sms, .gg, .sg or .sc game";
    return {};
}

}  // namespace

bool SMS_IsArchive(const std::string& path)
{
    return file_has_extension(path, ".zip") || file_has_extension(path, ".7z");
}

std::string SMS_ReadArchive(const char* path, std::vector<uint8_t>& game, std::string& name)
{
    FILE* file = open_regular_file(path);
    if (!file)
        return std::string("could not be opened: ") + std::strerror(errno);
    std::string error;
    {
        const ArchiveReader reader = new_reader();
        error = archive_read_open_fd(reader.get(), fileno(file), READ_CHUNK) != ARCHIVE_OK
            ? damaged(reader.get())
            : read_game(reader.get(), game, name);
    }
    std::fclose(file);
    return error;
}

std::string SMS_ReadArchiveImage(std::span<const uint8_t> archive, std::vector<uint8_t>& game, std::string& name)
{
    const ArchiveReader reader = new_reader();
    if (archive_read_open_memory(reader.get(), archive.data(), archive.size()) != ARCHIVE_OK)
        return damaged(reader.get());
    return read_game(reader.get(), game, name);
}
