#!/bin/sh
# state_determinism.sh HEADLESS SAVE_FRAME FRAMES [ARGUMENTS...] ROM
# A run that saves its state at SAVE_FRAME and one that loads that state at
# the same frame must end in the same machine and picture: the state holds all
# that matters. Run it through run_in_scratch.sh, which names the ROM last.
set -eu
program=$1
at=$2
frames=$3
shift 3
saved=$("$program" --save-state "state@$at" --frames "$frames" --hash "$@")
loaded=$("$program" --load-state "state@$at" --frames "$frames" --hash "$@")
echo "saving run:  $saved"
echo "loading run: $loaded"
[ "$(echo "$saved" | grep crc32)" = "$(echo "$loaded" | grep crc32)" ] || {
    echo "the machine or its picture differs after loading the state" >&2
    exit 1
}
