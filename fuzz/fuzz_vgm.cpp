// The VGM reader, plain and gzip-compressed: any file is read, skipped as
// not music, or refused as damaged with a reason.
#include <string>

#include "sound/vgm_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    MusicFile music;
    std::string error;
    if (vgm_file_parse(data, size, 735, music, error) == MusicFileStatus::DAMAGED && error.empty())
        __builtin_trap();  // a damaged file always says why
    return 0;
}
