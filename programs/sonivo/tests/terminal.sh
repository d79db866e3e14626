#!/bin/sh
# terminal.sh HEADLESS SONIVO ROM
# sonivo in a real terminal (a detached tmux session): the banner and the
# "Playing" lines, keys read at once and not echoed (space skips a file,
# Escape quits, l loops), and files that cannot be played skipped with a
# message each. The music comes from runs of our PSG test program: long.psg
# (420 frames, about 7 s) and short.psg (60 frames, about 1 s).
set -eu
headless=$1
sonivo=$2
rom=$3
export TERM=${TERM:-xterm}
export TARVEN_AUDIO_OUT=none
# A server of its own for each session, so that one shutting down never
# meets the next starting.
base="sonivo-test-$$"
sessions=0
socket=$base-0
trap 'for n in $(seq 0 $sessions); do tmux -L "$base-$n" kill-server 2>/dev/null || true; done' EXIT

"$headless" --frames 420 --no-video --psg-log long.psg "$rom" >/dev/null
"$headless" --frames 60 --no-video --psg-log short.psg "$rom" >/dev/null
head -c 40 long.psg >truncated.psg
echo "just some text" >notmusic.psg
# The deflate data's first bytes spoiled: the stream does not decompress.
{ head -c 34 long.psg; printf 'XXXXXXXX'; tail -c +43 long.psg; } >damaged.psg
mkdir songs
cp short.psg songs/one.psg
cp short.psg songs/two.psg

status=0
fail() {
    echo "FAILED: $1"
    echo "--- screen:"
    tmux -L "$socket" capture-pane -p -t test 2>/dev/null || true
    status=1
}

# start COMMAND: runs COMMAND in a fresh session that shows its exit status.
start() {
    tmux -L "$socket" kill-server 2>/dev/null || true
    sessions=$((sessions + 1))
    socket=$base-$sessions
    tmux -L "$socket" new-session -d -s test -x 150 -y 40 "$1; echo EXIT=\$?; sleep 60"
}
screen() { tmux -L "$socket" capture-pane -p -t test; }
key() { tmux -L "$socket" send-keys -t test "$@"; }
# wait_for REGEX SECONDS: true once the screen matches within the time.
wait_for() {
    tries=$(($2 * 10))
    while [ "$tries" -gt 0 ]; do
        screen | grep -Eq -- "$1" && return 0
        sleep 0.1
        tries=$((tries - 1))
    done
    return 1
}

# Banner, then space leaves the long file for the next; keys are not echoed.
start "$sonivo long.psg short.psg"
wait_for "Playing long.psg\.\.\." 10 || fail "banner and first file"
screen | grep -q "^sonivo" || fail "the banner names sonivo"
sleep 0.5
key z space
wait_for "Playing short.psg\.\.\." 3 || fail "space skips to the next file"
wait_for "EXIT=0" 5 || fail "the short file ends and the program with it"
screen | grep -q z && fail "a key typed is echoed"

# Escape ends the program at once; the remaining files are not played.
start "$sonivo long.psg short.psg"
wait_for "Playing long.psg" 10 || fail "start before Escape"
sleep 0.5
key Escape
wait_for "EXIT=0" 3 || fail "Escape quits at once"
screen | grep -q "Playing short.psg" && fail "Escape skips the remaining files"

# l makes a file repeat until the key is pressed again.
start "$sonivo short.psg"
wait_for "Playing short.psg" 10 || fail "start before l"
key l
sleep 3
screen | grep -q "EXIT=" && fail "l loops the file"
key l
wait_for "EXIT=0" 3 || fail "l again lets the file end"

# Wildcards in order; damaged files, files that are no music and missing
# files skipped with one line each.
start "$sonivo 'songs/*.psg' truncated.psg notmusic.psg damaged.psg missing.psg short.psg"
wait_for "EXIT=1" 15 || fail "all files done, with a failure status"
for line in "Playing songs/one.psg\.\.\." "Playing songs/two.psg\.\.\." "truncated.psg: .*skipped" \
    "damaged.psg: .*skipped" "notmusic.psg: not a music file, skipped" "missing.psg: no such file" \
    "Playing short.psg\.\.\."; do
    screen | grep -Eq -- "$line" || fail "screen shows: $line"
done
[ "$(screen | grep -c skipped)" -eq 3 ] || fail "one line for each file that cannot be played"

# One frame per tick of 1/60 s at most: 60 frames take no less than 0.98 s.
begin=$(date +%s%N)
"$sonivo" short.psg </dev/null >/dev/null 2>&1
elapsed_ms=$((($(date +%s%N) - begin) / 1000000))
echo "60 frames played in $elapsed_ms ms"
[ "$elapsed_ms" -ge 980 ] || fail "frames paced at 60 a second"

[ "$status" -eq 0 ] && echo "all terminal checks passed"
exit $status
