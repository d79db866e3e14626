#!/bin/sh
# round_trip.sh HEADLESS SONIVO WAV_MEASURE ROM
# Records a run of a game into an SMSMUSIC file and into a WAV file at once,
# plays the music file with sonivo into another WAV file, and compares the
# two: the same length within one frame, and frame by frame the same
# silences and the same dominant pitch within 1 %. A frame where two tones
# are about as loud may name the other one: one frame in a hundred may.
set -eu
headless=$1
sonivo=$2
measure=$3
rom=$4
frame=735

"$headless" --frames 900 --no-video --psg-log run.psg --wav run.wav "$rom"
TARVEN_AUDIO_OUT=played.wav "$sonivo" run.psg

recorded=$("$measure" run.wav | awk '$1 == "samples" { print $2 }')
played=$("$measure" played.wav | awk '$1 == "samples" { print $2 }')
echo "recorded $recorded samples, played $played"
awk -v a="$recorded" -v b="$played" -v f=$frame 'BEGIN { d = a - b; if (d < 0) d = -d; exit !(a > 0 && d <= f) }'

"$measure" run.wav frames $frame >run.frames
"$measure" played.wav frames $frame >played.frames
paste run.frames played.frames | awk '
    { heard_run = $2 > 0.001; heard_played = $5 > 0.001 }
    heard_run { heard++ }
    heard_run != heard_played { print "frame " $1 ": heard in one file only"; silent++ }
    heard_run && heard_played && ($3 - $6 > $3 * 0.01 || $6 - $3 > $3 * 0.01) {
        print "frame " $1 ": " $3 " Hz recorded, " $6 " Hz played"; bad++
    }
    END {
        print NR " frames compared, " heard " with sound, " bad + 0 " different"
        exit !(heard > 100 && silent == 0 && bad <= heard / 100)
    }'
