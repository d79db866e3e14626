// The settings reader: any tarven.cfg is read into settings without a
// fault, and what was read is written back.
#include "fuzz/fuzz_machine.h"

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz_enter_scratch_folder();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz_write_file("tarven.cfg", data, size);
    config_path = "tarven.cfg";
    settings = Settings {};
    config_read();
    config_write();
    return 0;
}
