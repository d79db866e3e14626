#!/bin/sh
# psg_sound.sh HEADLESS WAV_MEASURE ROM
# Runs our PSG test program (roms/psg_tone.asm) with the sound written to a
# WAV file and measures what came out, 50 frames in the middle of each
# 60-frame step: a 440 Hz tone at volume 255, then 64, then silence, then
# Game Gear stereo moving a tone to the left and the noise to the right, then
# a tone too high to hear and the 438 Hz tone back again.
set -eu
headless=$1
measure=$2
rom=$3
"$headless" --frames 420 --wav sound.wav "$rom"

frame=735
# segment STEP: the figures of frames 5-55 of that 60-frame step (0-based)
segment() {
    "$measure" sound.wav segment $(( ($1 * 60 + 5) * frame )) $(( ($1 * 60 + 55) * frame ))
}
. "$(dirname "$0")/sound_checks.sh"

samples=$("$measure" sound.wav | value samples)
check "420 frames of sound" "$samples == 420 * $frame"

loud=$(segment 0)
printf '%s\n' "$loud"
peak=$(printf '%s\n' "$loud" | value peak-hz)
loud_rms=$(printf '%s\n' "$loud" | value rms-left)
check "a 440 Hz tone within 1 %" "$peak > 440.38 * 0.99 && $peak < 440.38 * 1.01"
# A voice at full volume swings through 15/16 of a quarter of the range on
# each side, so that four of them fill it; a band-limited square wave of that
# swing (its fundamental as strong as a sine's of the whole swing) has an RMS
# of about 0.785 of it.
check "volume 255 at 15/16 of a quarter of the range" "$loud_rms > 0.173 && $loud_rms < 0.193"

quiet=$(segment 1)
printf '%s\n' "$quiet"
quiet_rms=$(printf '%s\n' "$quiet" | value rms-left)
check "volume 64 a quarter of volume 255, within 5 %" \
    "$quiet_rms / $loud_rms > 64 / 255 * 0.95 && $quiet_rms / $loud_rms < 64 / 255 * 1.05"
check "the quiet tone at 440 Hz" "$(printf '%s\n' "$quiet" | value peak-hz) > 436"

silence=$(segment 2)
check "silence is silence" \
    "$(printf '%s\n' "$silence" | value rms-left) == 0 && $(printf '%s\n' "$silence" | value rms-right) == 0"

left=$(segment 3)
printf '%s\n' "$left"
# A channel on one side only is as loud there as a centred one.
check "stereo byte F0: tone 1 on the left only, as loud as centred" \
    "$(printf '%s\n' "$left" | value rms-left) / $loud_rms > 0.98 && $(printf '%s\n' "$left" | value rms-left) / $loud_rms < 1.02 && $(printf '%s\n' "$left" | value rms-right) == 0"
right=$(segment 4)
printf '%s\n' "$right"
check "stereo byte 0F: the noise on the right only" \
    "$(printf '%s\n' "$right" | value rms-right) > 0.17 && $(printf '%s\n' "$right" | value rms-left) == 0"
check "a tone above 15000 Hz is silent" "$(segment 5 | value rms-left) == 0"
again=$(segment 6)
printf '%s\n' "$again"
check "the voice sounds again after it" \
    "$(printf '%s\n' "$again" | value peak-hz) > 436 && $(printf '%s\n' "$again" | value rms-left) > 0.173"
exit $status
