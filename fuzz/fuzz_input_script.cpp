// The input-script reader of tarven-headless: any text is parsed into
// events or refused with a message naming the line.
#include <string>
#include <vector>

#include "host/headless/headless.h"
#include "ui/session.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<InputEvent> events;
    Session session;
    std::string error;
    if (!input_script_parse(std::string(reinterpret_cast<const char*>(data), size), "fuzz.txt", events, session, error)
        && error.empty())
        __builtin_trap();  // a refusal always says why
    return 0;
}
