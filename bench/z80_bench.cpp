// Measures the Z80 core on the ZEXDOC workload: emulated T-states per
// second, also as a multiple of the Master System's 3,579,545 Hz clock.
//
// usage: z80_bench [zexdoc.com [gigacycles]]
// Runs the first `gigacycles` billion T-states of zexdoc (default 20, or the
// whole program if it ends sooner) twice: in long slices, which shows the
// instruction loop alone, and in 228-cycle slices, the machine's scanline
// budget, which adds the cost of entering and leaving Z80_Execute.
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "tools/cpm/cpm.h"

namespace {

constexpr double MASTER_SYSTEM_HZ = 3579545.0;

bool measure(const char* path, uint64_t cycles, int32_t slice)
{
    if (!cpm_load(path, nullptr)) {
        std::fprintf(stderr, "z80_bench: cannot load %s\n", path);
        return false;
    }
    const auto start = std::chrono::steady_clock::now();
    const bool finished = cpm_run(cycles, slice);
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    const double rate = double(cpm.cycles) / elapsed.count();
    std::printf("slice %7d: %.3g T-states%s in %.2f s: %.1f million T-states/s = %.1f x real time\n", int(slice),
        double(cpm.cycles), finished ? " (whole program)" : "", elapsed.count(), rate / 1e6, rate / MASTER_SYSTEM_HZ);
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    const char* path = argc > 1 ? argv[1] : TARVEN_ZEXDOC;
    const double giga = argc > 2 ? std::atof(argv[2]) : 20.0;
    if (!(giga > 0)) {
        std::fprintf(stderr, "usage: z80_bench [zexdoc.com [gigacycles]]\n");
        return 2;
    }
    const uint64_t cycles = uint64_t(giga * 1e9);
    std::printf("zexdoc: %s, first %.3g T-states\n", path, double(cycles));
    if (!measure(path, cycles, 1 << 20))
        return 1;
    if (!measure(path, cycles, 228))
        return 1;
    return 0;
}
