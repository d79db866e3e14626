// Games kept in archives (.zip, .7z): an archive that holds exactly one
// .sms or .gg image opens as that image would.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

// Whether `path` names an archive, by its extension in any case.
bool SMS_IsArchive(const std::string& path);
// Takes the one game of the archive file at `path` into `game`, whole (any
// header kept), and its name inside the archive into `name`. Gives the
// reason the archive is refused (damaged, no game, several, a game too
// large to be a cartridge) in words that follow the archive's name ("x.zip
// holds no ..."), empty when `game` holds the image.
std::string SMS_ReadArchive(const char* path, std::vector<uint8_t>& game, std::string& name);
// The same for an archive already in memory.
std::string SMS_ReadArchiveImage(std::span<const uint8_t> archive, std::vector<uint8_t>& game, std::string& name);
