#!/bin/bash
# sound.sh TARVEN WAV_MEASURE ROM
# Runs TARVEN with no display on our PSG test program, its sound going to a
# WAV file (TARVEN_AUDIO_OUT), interrupts it after two seconds and checks
# that the timer mixed one frame of sound per tick and that the orderly exit
# completed the file: a 440 Hz tone for the program's first second.
set -eu
program=$1
measure=$2
rom=$3

. "$(dirname "$0")/play_then_interrupt.sh"
play_then_interrupt env TARVEN_AUDIO_OUT=sound.wav "$program" "$rom"

"$measure" sound.wav
samples=$("$measure" sound.wav | awk '$1 == "samples" { print $2 }')
# Two seconds of ticks, give or take start-up and a slow machine.
[ "$samples" -ge 44100 ] || { echo "only $samples samples mixed" >&2; exit 1; }
[ $((samples % 735)) -eq 0 ] || { echo "$samples samples: not whole frames" >&2; exit 1; }
"$measure" sound.wav segment 3675 36750 | tee tone.txt
awk '$1 == "peak-hz" { exit !($2 > 433.6 && $2 < 442.4) }' tone.txt
