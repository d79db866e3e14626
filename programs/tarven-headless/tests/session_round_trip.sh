#!/bin/sh
# session_round_trip.sh HEADLESS ROM
# Records a session of the game through the menus, from power-on (Misc,
# Record input..., Reset), while button 1 and Right are pressed; replays it
# with --input, checked at every frame and ending on the last frame's CRC;
# plays it again in the menus (dropped on the window); then, with one
# frame's CRC changed, both the replay and the play say which frame went
# another way. Run it through run_in_scratch.sh, which names the ROM last.
set -eu
program=$1
rom=$2
session="${rom%.*}.input"

. "$(dirname "$0")/session_steps.sh"
{
    record_from_power_on
    printf '%s\n' "300 key Z down" "310 key Z up" "600 key Z down" "610 key Z up" "700 key RIGHT down" "760 key RIGHT up"
    menu_entry 800 54
} >record.txt
"$program" --frames 820 --input record.txt "$rom"
[ -s "$session" ] || {
    echo "no $session recorded" >&2
    exit 1
}
grep -q "pad1 button1" "$session" && grep -q "pad1 right" "$session"

replay_both_ways

sed -i 's/^500 machine-crc32 .*/500 machine-crc32 12345678/' "$session"
status=0
"$program" --input "$session" "$rom" 2>refusal.txt || status=$?
[ "$status" -eq 255 ] && grep -q "frame 500 is unlike the recording" refusal.txt || {
    echo "a changed CRC ended the replay with status $status: $(cat refusal.txt)" >&2
    exit 1
}
"$program" --frames $((${last%% *} + 10)) --input play.txt "$rom"
grep -q "frame 500 is unlike the recording" tarven.log
echo "session round trip: ${last%% *} frames, every one as recorded"
