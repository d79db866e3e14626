// The music-file reader: any file is read, skipped as not music, or refused
// as damaged with a reason.
#include <string>

#include "sound/music_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    MusicFile music;
    std::string error;
    if (music_file_parse(data, size, music, error) == MusicFileStatus::DAMAGED && error.empty())
        __builtin_trap();  // a damaged file always says why
    return 0;
}
