#!/bin/sh
# cli.sh HEADLESS SONIVO WAV_MEASURE PYTHON ROM
# sonivo from the command line, without a terminal: usage, one line and
# status 1 for a missing file and for a file that is no music, a name with
# brackets played as it is, every match of a pattern played after a damaged
# one, a recorded data byte 0x7F replayed without a frame break, --pal's
# clock, VGM files (compressed ones too, and a cut one refused), and the
# tempo: one frame every 1/60 s (1/50 s with --pal).
set -eu
headless=$1
sonivo=$2
measure=$3
python=$4
rom=$5
export TARVEN_AUDIO_OUT=none
frame=735
status=0
check() {
    if [ "$2" = yes ]; then
        echo "ok: $1"
    else
        echo "FAILED: $1"
        status=1
    fi
}
holds() { if eval "$1"; then echo yes; else echo no; fi; }
# run ARGS...: sonivo's output, error lines and status in out, err, code
run() {
    set +e
    "$sonivo" "$@" </dev/null >out 2>err
    code=$?
    set -e
}

"$headless" --frames 60 --no-video --psg-log short.psg "$rom" >/dev/null

run --help
check "--help prints a usage line" "$(holds '[ $code -eq 0 ] && grep -q "^usage: sonivo" out')"
run
check "no argument prints the banner and a usage line" \
    "$(holds '[ $code -eq 0 ] && grep -q "^sonivo" out && grep -q "^usage: sonivo" out')"

run missing.psg
check "a missing file: one line on standard error, status 1" \
    "$(holds '[ $code -eq 1 ] && [ $(wc -l <err) -eq 1 ] && grep -q "missing.psg" err')"
echo "just some text" >notmusic.psg
run notmusic.psg
check "a file that is no music: one line on standard error, status 1" \
    "$(holds '[ $code -eq 1 ] && [ $(wc -l <err) -eq 1 ] && grep -q "notmusic.psg: not a music file" err')"

cp short.psg "Game [b1].PSG"
run "Game [b1].PSG"
check "a name with brackets plays as it is" \
    "$(holds '[ $code -eq 0 ] && grep -qF "Playing Game [b1].PSG..." out && [ ! -s err ]')"

mkdir mixed
head -c 40 short.psg >mixed/a.psg
cp short.psg mixed/b.psg
run 'mixed/*.psg'
check "a damaged match does not stop the pattern's other matches" \
    "$(holds '[ $code -eq 1 ] && grep -q "Playing mixed/b.psg" out && [ $(wc -l <err) -eq 1 ]')"

# Our PSG program writes the data byte 0x7F in its step 23: the log keeps it
# as 0x3F, and the replay lasts exactly as many frames as the run.
frames=1500
"$headless" --frames $frames --no-video --psg-log rules.psg --wav run.wav "$rom" >/dev/null
"$python" -c 'import sys, zlib
data = open(sys.argv[1], "rb").read()
stream = zlib.decompress(data[32:])
print("markers", stream.count(0x7F), "data-3F", stream.count(bytes([0x8E, 0x3F])))' rules.psg >log.txt
cat log.txt
check "the log holds one marker a frame and the data byte as 0x3F" \
    "$(holds '[ "$(cat log.txt)" = "markers $frames data-3F 1" ]')"
TARVEN_AUDIO_OUT=played.wav "$sonivo" rules.psg >/dev/null
played=$("$measure" played.wav | awk '$1 == "samples" { print $2 }')
check "the replay lasts $frames frames ($played samples)" "$(holds '[ "$played" -eq $((frames * frame)) ]')"
pitch=$("$measure" played.wav segment $(((23 * 60 + 5) * frame)) $(((23 * 60 + 55) * frame)) | awk '$1 == "peak-hz" { print $2 }')
check "the data byte plays period 3FEh ($pitch Hz)" \
    "$(holds 'awk "BEGIN { exit !($pitch > 109.34 && $pitch < 109.56) }"')"

# --pal: the PAL console's clock, 882 samples a frame.
TARVEN_AUDIO_OUT=pal.wav "$sonivo" --pal rules.psg >/dev/null
played=$("$measure" pal.wav | awk '$1 == "samples" { print $2 }')
pitch=$("$measure" pal.wav segment $(((6 * 60 + 5) * 882)) $(((6 * 60 + 55) * 882)) | awk '$1 == "peak-hz" { print $2 }')
check "--pal: $frames frames of 882 samples, period 254 at the PAL clock's 436.38 Hz ($pitch Hz)" \
    "$(holds '[ "$played" -eq $((frames * 882)) ] && awk "BEGIN { exit !($pitch > 436.2 && $pitch < 436.6) }"')"

# The same run recorded as a compressed VGM file plays as long and as high.
"$headless" --frames $frames --no-video --vgm rules.vgz "$rom" >/dev/null
TARVEN_AUDIO_OUT=vgm.wav "$sonivo" rules.vgz >/dev/null
played=$("$measure" vgm.wav | awk '$1 == "samples" { print $2 }')
pitch=$("$measure" vgm.wav segment $(((23 * 60 + 5) * frame)) $(((23 * 60 + 55) * frame)) | awk '$1 == "peak-hz" { print $2 }')
check "a .vgz file plays $frames frames, the data byte 7Fh as period 3FEh ($pitch Hz)" \
    "$(holds '[ "$played" -eq $((frames * frame)) ] && awk "BEGIN { exit !($pitch > 109.34 && $pitch < 109.56) }"')"
"$python" -c 'import gzip, sys; sys.stdout.buffer.write(gzip.open(sys.argv[1]).read()[:101])' rules.vgz >cut.vgm
run cut.vgm
check "a cut VGM file: one line saying so, status 1" \
    "$(holds '[ $code -eq 1 ] && [ $(wc -l <err) -eq 1 ] && grep -q "cut.vgm: a command cut short" err')"

# Tempo: the time from one "Playing" line to the next, taken as sonivo
# prints them; a file's first frame waits up to a tick, so 1500 frames make
# the measure good to 0.07 %.
# seconds ARGS...: the seconds the first file of ARGS... took
seconds() {
    "$sonivo" "$@" </dev/null 2>/dev/null | "$python" -c 'import sys, time
times = [time.monotonic() for line in sys.stdin if line.startswith("Playing")]
print("%.4f" % (times[1] - times[0]))'
}
took=$(seconds rules.psg short.psg)
rate=$(awk -v t="$took" -v n=$frames 'BEGIN { printf "%.3f", n / t }')
echo "tempo: $frames frames in $took s: $rate frames a second"
# A busy machine can only make the player late, never early: the upper
# bound is the 0.2 % the ear asks for, the lower one leaves room for load.
check "60 frames a second, at most 0.2 % fast" "$(holds 'awk "BEGIN { exit !($rate > 59.1 && $rate < 60.12) }"')"
took=$(seconds --pal short.psg short.psg)
echo "--pal: 60 frames in $took s"
check "--pal: 50 frames a second" "$(holds 'awk "BEGIN { exit !($took > 1.17 && $took < 1.3) }"')"

[ $status -eq 0 ] && echo "all command line checks passed"
exit $status
