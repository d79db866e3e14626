#!/bin/sh
# session_devices.sh HEADLESS DEVICE EVENTS ROM
# Records a session from power-on (Misc, Record input..., Reset) with player
# 1 on DEVICE (paddle or lightgun) moved by the script EVENTS, 20 frames
# later; replays it with player 1 on the keyboard, with --input and dropped
# on the window: the script sets the device, the knob and the aim, and every
# frame comes out as recorded. Run it through run_in_scratch.sh.
set -eu
program=$1
device=$2
events=$3
rom=$4
session="${rom%.*}.input"

# menu_entry FRAME Y: the Misc menu opened at FRAME, its entry at row Y chosen.
menu_entry() {
    printf '%s\n' "$1 key ESC down" "$(($1 + 1)) key ESC up" "$(($1 + 2)) mouse 140 5" "$(($1 + 3)) button down" \
        "$(($1 + 4)) button up" "$(($1 + 5)) mouse 140 $2" "$(($1 + 6)) button down" "$(($1 + 7)) button up"
}
{
    menu_entry 2 54
    printf '%s\n' "12 mouse 86 94" "13 button down" "14 button up"
    grep -v '^#' "$events" | awk '{ $1 += 20; print }'
    echo "99 button up"
    menu_entry 100 54
} >record.txt
"$program" --frames 120 --player1 "$device" --input record.txt "$rom"
grep -q "^1 player1 $device\$" "$session"
case $device in
paddle) grep -q "paddle1 90\$" "$session" ;;
*) grep -q "aim 30 99\$" "$session" ;;
esac

last=$(tail -n 1 "$session")
"$program" --input "$session" --hash "$rom" >replay.txt
grep -qx "machine-crc32 ${last#* machine-crc32 }" replay.txt || {
    echo "the replay ends on $(grep machine-crc32 replay.txt), not on $last" >&2
    exit 1
}
echo "5 drop $session" >play.txt
"$program" --frames $((${last%% *} + 10)) --input play.txt "$rom"
[ ! -s tarven.log ] || {
    cat tarven.log >&2
    exit 1
}
echo "$device session: ${last%% *} frames, every one as recorded"
