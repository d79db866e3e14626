#!/bin/sh
# state_determinism.sh PROGRAM ROM SAVE_FRAME FRAMES [ARGUMENTS...]
# A run that saves its state at SAVE_FRAME and one that loads that state at
# the same frame must end in the same machine: the state holds all that matters.
set -eu
program=$1
rom=$2
at=$3
frames=$4
shift 4
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
ln -s "$(realpath "$rom")" "$scratch/$(basename "$rom")"
cd "$scratch"
saved=$("$program" "$@" --save-state "state@$at" --frames "$frames" --hash "$(basename "$rom")")
loaded=$("$program" "$@" --load-state "state@$at" --frames "$frames" --hash "$(basename "$rom")")
echo "saving run:  $saved"
echo "loading run: $loaded"
[ "$(echo "$saved" | grep crc32)" = "$(echo "$loaded" | grep crc32)" ] || {
    echo "the machine or its picture differs after loading the state" >&2
    exit 1
}
