#!/bin/sh
# Prints tarven-headless's speed (a multiple of real time) on every homebrew
# game and the median, with rendering at 32 bits per pixel and the sound
# mixed into memory (render), without rendering (no-video), rendering
# with the sound switch off (no-sound), and rendering without recording
# frames to rewind through (no-rewind; the other modes record them, as
# tarven does).
# usage: bench/headless_speed.sh [BUILD_DIR] [FRAMES]
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
# Absolute, as the runs start in scratch directories.
build=$(cd "${1:-$root/build/release}" && pwd)
frames=${2:-3000}
program=$build/programs/tarven-headless/tarven-headless
games=$root/../shared/testroms/homebrew

median() {
    sort -n | awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

for mode in render no-video no-sound no-rewind; do
    flags=""
    [ "$mode" = no-video ] && flags="--no-video"
    [ "$mode" = no-sound ] && flags="--no-sound"
    [ "$mode" = no-rewind ] && flags="--no-rewind"
    speeds=""
    for rom in "$games"/*.sms; do
        speed=$("$root/tools/run_in_scratch.sh" "$program" "$rom" \
            --frames "$frames" --bench $flags | awk '/^speed/ { print $2 }')
        printf '%-8s %-24s %s\n' "$mode" "$(basename "$rom" .sms)" "$speed"
        speeds="$speeds$speed
"
    done
    printf '%-8s median %s\n' "$mode" "$(printf '%s' "$speeds" | median)"
done
