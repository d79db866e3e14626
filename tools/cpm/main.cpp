// cpm-run FILE.com: runs a CP/M-80 program on the Z80 core and prints what
// it prints.
#include <cstdint>
#include <cstdio>

#include "tools/cpm/cpm.h"

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: cpm-run FILE.com\n");
        return 2;
    }
    if (!cpm_load(argv[1], stdout)) {
        std::fprintf(stderr, "cpm-run: cannot load %s\n", argv[1]);
        return 2;
    }
    cpm_run(UINT64_MAX, 1 << 20);
    std::fflush(stdout);
    return 0;
}
