#!/bin/sh
# fuzz.sh FUZZER SEED_DIR... [SHARED SEED_DIR...]
# Runs one libFuzzer target for TARVEN_FUZZ_SECONDS seconds (default 5) from
# a scratch corpus seeded with the SEED_DIRs (and, when TARVEN_FUZZ_SHARED
# is 1, the shared games after SHARED, read in place), then prints how many
# inputs it ran. Fails on any crash, leak, sanitizer report or hang (an
# input that takes over 10 seconds).
set -eu
fuzzer=$1
shift
seconds=${TARVEN_FUZZ_SECONDS:-5}
seeds=""
shared=0
for dir in "$@"; do
    if [ "$dir" = SHARED ]; then
        shared=1
    elif [ "$shared" -eq 0 ] || [ "${TARVEN_FUZZ_SHARED:-0}" = 1 ]; then
        [ -d "$dir" ] && seeds="$seeds $dir"
    fi
done
corpus=$(mktemp -d)
log=$(mktemp)
trap 'rm -rf "$corpus" "$log"' EXIT
# Crash reproducers go to the scratch corpus folder too, not the source tree.
status=0
# shellcheck disable=SC2086 # the seed folders are separate arguments
"$fuzzer" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$corpus/" "$corpus" $seeds >"$log" 2>&1 || status=$?
runs=$(sed -n 's/^Done \([0-9]*\) runs in \([0-9]*\) second.*/\1 inputs in \2 s/p' "$log")
if [ "$status" -ne 0 ] || [ -z "$runs" ]; then
    cat "$log"
    echo "$(basename "$fuzzer"): FAILED (status $status)" >&2
    exit 1
fi
echo "$(basename "$fuzzer"): $runs, no crash, leak or hang"
