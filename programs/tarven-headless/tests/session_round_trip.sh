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

# menu_entry FRAME Y: the Misc menu opened at FRAME, its entry at row Y chosen.
menu_entry() {
    printf '%s\n' "$1 key ESC down" "$(($1 + 1)) key ESC up" "$(($1 + 2)) mouse 140 5" "$(($1 + 3)) button down" \
        "$(($1 + 4)) button up" "$(($1 + 5)) mouse 140 $2" "$(($1 + 6)) button down" "$(($1 + 7)) button up"
}
{
    menu_entry 2 54
    printf '%s\n' "12 mouse 86 94" "13 button down" "14 button up"
    printf '%s\n' "300 key Z down" "310 key Z up" "600 key Z down" "610 key Z up" "700 key RIGHT down" "760 key RIGHT up"
    menu_entry 800 54
} >record.txt
"$program" --frames 820 --input record.txt "$rom"
[ -s "$session" ] || {
    echo "no $session recorded" >&2
    exit 1
}
grep -q "pad1 button1" "$session" && grep -q "pad1 right" "$session"

last=$(tail -n 1 "$session")
"$program" --input "$session" --hash "$rom" >replay.txt
grep -qx "machine-crc32 ${last#* machine-crc32 }" replay.txt || {
    echo "the replay ends on $(grep machine-crc32 replay.txt), not on $last" >&2
    exit 1
}

# Dropped on the window at frame 5, it plays from frame 6 to its end.
echo "5 drop $session" >play.txt
"$program" --frames $((${last%% *} + 10)) --input play.txt "$rom"
[ ! -s tarven.log ] || {
    cat tarven.log >&2
    exit 1
}

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
