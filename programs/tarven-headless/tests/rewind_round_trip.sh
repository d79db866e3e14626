#!/bin/sh
# rewind_round_trip.sh HEADLESS INPUT FRAME [ARGUMENTS...] ROM
# Plays ROM with the events of INPUT (none after FRAME) to FRAME + 300,
# holds F9 there for 300 frames and lets go: the machine is then exactly
# the one of FRAME, at the machine-crc32 --hash reports, and played on for
# 300 frames it ends in the same machine and picture as a run that never
# stepped back. While music is recorded F9 does nothing. Run it through
# run_in_scratch.sh, which names the ROM last.
set -eu
program=$1
input=$2
at=$3
shift 3
for rom; do :; done
pressed=$((at + 300))
released=$((pressed + 300))
{
    cat "$input"
    echo "$pressed key F9 down"
    echo "$released key F9 up"
} >rewind.txt

# hashes FRAMES [ARGUMENTS...]: the machine and picture CRCs after FRAMES,
# from power-on with the cartridge RAM a run before left behind removed.
hashes() {
    frames=$1
    shift
    rm -f "${rom%.*}.SAV"
    "$program" --frames "$frames" --hash "$@" | grep crc32 | tr '\n' ' '
}
machine_crc() {
    echo "$1" | cut -d' ' -f1-2
}
same() {
    echo "$1:"
    echo "  $2"
    echo "  $3"
    [ "$2" = "$3" ] || {
        echo "they differ" >&2
        exit 1
    }
}

played=$(hashes "$at" --input "$input" "$@")
stepped_back=$(hashes "$released" --input rewind.txt "$@")
same "frame $at, and $((released - pressed)) frames stepped back from frame $pressed" \
    "$(machine_crc "$played")" "$(machine_crc "$stepped_back")"

played_on=$(hashes $((at + 300)) --input "$input" "$@")
stepped_back_on=$(hashes $((released + 300)) --input rewind.txt "$@")
same "300 frames played on from either" "$played_on" "$stepped_back_on"

# The picture shows "Logging PSG" meanwhile.
straight=$(hashes "$released" --input "$input" "$@")
recording=$(hashes "$released" --input rewind.txt --psg-log music.psg "$@")
same "F9 held while recording music, and never pressed" "$(machine_crc "$straight")" "$(machine_crc "$recording")"
echo "rewind round trip: exact"
