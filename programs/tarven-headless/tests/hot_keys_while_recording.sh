#!/bin/sh
# hot_keys_while_recording.sh HEADLESS ROM
# While the music is recorded the state keys (F5 save, F7 load), the slot
# keys and Alt+L do nothing: the recording holds the music of one unbroken
# run. A run with those keys pressed during a recording must end in the same
# machine and picture as one without them; without a recording the same
# presses must change both, or the comparison would prove nothing.
# The runs end after the message of the first save has gone (150 ticks) and
# before those of the presses would have. Run it through run_in_scratch.sh,
# which names the ROM last.
set -eu
program=$1
rom=$2

# press FRAME KEY...: each key down at FRAME, up at the next frame.
press() {
    frame=$1
    shift
    for key in "$@"; do echo "$frame key $key down"; done
    for key in "$@"; do echo "$((frame + 1)) key $key up"; done
}
# The state to load is saved before the recording starts at frame 20.
setup() {
    press 10 F5
    [ "$1" = record ] && press 20 ALT P
    true
}
presses() {
    press 40 F7
    press 45 F5
    press 50 3
    press 55 ALT L
}
# run NAME: plays NAME.txt, leaving the final hashes in NAME.hash.
run() {
    "$program" --frames 175 --hash --input "$1.txt" "$rom" >"$1.out" || {
        echo "tarven-headless failed on $1.txt" >&2
        exit 1
    }
    grep crc32 "$1.out" >"$1.hash"
}

setup record >recording.txt
{ setup record; presses; } >recording_pressed.txt
setup play >playing.txt
{ setup play; presses; } >playing_pressed.txt
for name in recording recording_pressed playing playing_pressed; do run $name; done

! cmp -s playing.hash playing_pressed.hash || {
    echo "the keys changed nothing even without a recording" >&2
    exit 1
}
cmp -s recording.hash recording_pressed.hash || {
    echo "a state, slot or selector key acted while the music was recorded" >&2
    exit 1
}
head -c 8 music.\$\$\$ | grep -q SMSMUSIC || {
    echo "Alt+P recorded no music" >&2
    exit 1
}
echo "hot keys wait while the music is recorded"
