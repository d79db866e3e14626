// The ROM loader, and the machine running what it loaded: any file of a
// cartridge's size loads and runs a few frames without a fault. Other sizes
// end the program by design, through SMS_ROMSizeError's message: their
// inputs are padded to whole pages instead.
#include <vector>

#include "fuzz/fuzz_machine.h"

namespace {

constexpr size_t PAGE = ROM_PAGE_SIZE;
constexpr int FRAMES = 3;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz_start_machine();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<uint8_t> rom(data, data + size);
    if (SMS_ROMSizeError(static_cast<long long>(rom.size())))
        rom.resize((rom.size() / PAGE + 1) * PAGE, 0xFF);
    if (SMS_ROMSizeError(static_cast<long long>(rom.size())))
        return -1;  // beyond the largest cartridge: not worth keeping
    fuzz_write_file("fuzz.sms", rom.data(), rom.size());
    fuzz_boot("fuzz.sms");
    fuzz_run_frames(FRAMES);
    return 0;
}
