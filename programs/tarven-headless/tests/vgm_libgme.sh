#!/bin/sh
# vgm_libgme.sh HEADLESS WAV_MEASURE VGM_RENDER PYTHON ROM
# Records our PSG rules program (roms/psg_measure.asm) into a compressed VGM
# file and its sound into a WAV file in one run, has Debian's libgme render
# the samples the VGM file's header counts, and compares the two: the
# header's count exactly the frames played, the pitch of every
# 60-frame step of the pitch table within 2 cents, and each change of pitch
# at the same frame; and the Game Gear stereo bytes 00Fh and 0F0h of steps
# 25 and 26 putting every channel on one side.
set -eu
headless=$1
measure=$2
render=$3
python=$4
rom=$5
frames=1700
frame=735
"$headless" --frames $frames --vgm run.vgz --wav ours.wav "$rom"
samples=$("$python" -c 'import gzip, struct, sys
print(struct.unpack("<I", gzip.open(sys.argv[1]).read()[0x18:0x1C])[0])' run.vgz)
"$render" run.vgz theirs.wav "$samples"
. "$(dirname "$0")/sound_checks.sh"

check "the VGM file's waits add up to the frames played" \
    "$samples == $frames * $frame && $("$measure" ours.wav | value samples) == $frames * $frame"
for step in 0 1 2 3 4 5 6 7 8 9 10 11 12; do
    first=$(((step * 60 + 5) * frame))
    end=$(((step * 60 + 55) * frame))
    ours=$("$measure" ours.wav segment $first $end | value peak-hz)
    theirs=$("$measure" theirs.wav segment $first $end | value peak-hz)
    echo "step $step: ours $ours Hz, libgme $theirs Hz"
    check "step $step: libgme's pitch within 2 cents of ours" \
        "$theirs / $ours < 1.00116 && $theirs / $ours > 0.99884"
done
# The frames of the pitch table whose pitch differs from the frame before
# by more than a whole tone: where the notes change, frame by frame.
changes() {
    "$measure" "$1" frames $frame |
        awk 'NR > 1 && NR <= 900 && ($3 > last * 1.1 || $3 < last / 1.1) { printf "%d ", $1 } { last = $3 }'
}
ours=$(changes ours.wav)
theirs=$(changes theirs.wav)
echo "changes of pitch, ours: $ours"
echo "changes of pitch, libgme: $theirs"
if [ "$ours" = "$theirs" ] && [ -n "$ours" ]; then echo "ok: the notes change at the same frames"; else
    echo "FAILED: the notes change at other frames"
    status=1
fi
right=$("$measure" theirs.wav segment $(((25 * 60 + 5) * frame)) $(((25 * 60 + 55) * frame)))
left=$("$measure" theirs.wav segment $(((26 * 60 + 5) * frame)) $(((26 * 60 + 55) * frame)))
check "stereo byte 0Fh: libgme plays everything on the right" \
    "$(echo "$right" | value rms-left) < $(echo "$right" | value rms-right) / 100"
check "stereo byte F0h: libgme plays everything on the left" \
    "$(echo "$left" | value rms-right) < $(echo "$left" | value rms-left) / 100"
[ $status -eq 0 ] && echo "libgme plays our VGM file as we do"
exit $status
