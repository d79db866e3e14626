// The archive reader: any bytes, taken as a .zip or .7z (the reader tells
// the formats apart by their content), give a game that passes the
// cartridge checks or a reason, without a fault; a game given boots and runs.
#include <string>
#include <vector>

#include "fuzz/fuzz_machine.h"

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz_start_machine();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<uint8_t> rom;
    std::string game;
    if (!SMS_CheckROMImage({data, size}, rom, "fuzz.zip", &game).empty())
        return 0;
    fuzz_write_file("fuzz.zip", data, size);
    fuzz_boot("fuzz.zip");
    fuzz_run_frames(1);
    return 0;
}
