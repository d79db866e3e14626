#!/bin/sh
# state_load_elsewhere.sh HEADLESS SAVE_FRAME LOAD_FRAME AFTER INPUT ROM
# A state loaded into a machine that stands somewhere else (an earlier frame,
# other patterns in its video memory) goes on as the run that saved it: AFTER
# frames past the save and past the load, machine and picture are the same.
# The saving run's input ends before SAVE_FRAME; the loading run has none.
# Run it through run_in_scratch.sh, which names the ROM last.
set -eu
program=$1
save=$2
load=$3
after=$4
input=$5
rom=$6
saved=$("$program" --input "$input" --save-state "state@$save" --frames $((save + after)) --hash "$rom")
loaded=$("$program" --load-state "state@$load" --frames $((load + after)) --hash "$rom")
echo "saving run:  $saved"
echo "loading run: $loaded"
[ "$(echo "$saved" | grep crc32)" = "$(echo "$loaded" | grep crc32)" ] || {
    echo "the machine or its picture differs $after frames after loading the state" >&2
    exit 1
}
