#!/bin/sh
# fuzz_long.sh [SECONDS]
# Builds the fuzz targets in build/fuzz (clang) and runs each for SECONDS
# (default 600), seeded also with the shared games in ../shared.
set -eu
cd "$(dirname "$0")/.."
cmake -S . -B build/fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DTARVEN_FUZZ=ON
cmake --build build/fuzz -j "$(nproc 2>/dev/null || echo 2)" --target fuzz
cd build/fuzz
TARVEN_FUZZ_SECONDS=${1:-600} TARVEN_FUZZ_SHARED=1 ctest -L fuzz -V
