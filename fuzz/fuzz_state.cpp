// The save-state reader: any file is loaded or refused with a message, and
// the machine it leaves runs on without a fault.
#include <vector>

#include "fuzz/fuzz_machine.h"
#include "machine/savestate.h"

namespace {

constexpr int FRAMES = 2;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz_start_machine();
    // Four pages of NOPs with a loop at the end of the last: states taken
    // from any program find something mapped wherever they point.
    std::vector<uint8_t> rom(4 * ROM_PAGE_SIZE, 0x00);
    rom[rom.size() - 2] = 0x18;  // JR $
    rom[rom.size() - 1] = 0xFE;
    fuzz_write_file("fuzz.sms", rom.data(), rom.size());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz_boot("fuzz.sms");
    fuzz_write_file("fuzz.ST0", data, size);
    if (SMS_LoadStateFrom("fuzz.ST0"))
        fuzz_run_frames(FRAMES);
    return 0;
}
