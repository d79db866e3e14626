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

. "$(dirname "$0")/session_steps.sh"
{
    record_from_power_on
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

replay_both_ways
echo "$device session: ${last%% *} frames, every one as recorded"
