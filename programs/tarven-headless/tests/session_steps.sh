# Steps the session tests share, sourced with program, rom and session set.

# menu_entry FRAME Y: the Misc menu opened at FRAME, its entry at row Y chosen.
menu_entry() {
    printf '%s\n' "$1 key ESC down" "$(($1 + 1)) key ESC up" "$(($1 + 2)) mouse 140 5" "$(($1 + 3)) button down" \
        "$(($1 + 4)) button up" "$(($1 + 5)) mouse 140 $2" "$(($1 + 6)) button down" "$(($1 + 7)) button up"
}

# Misc, Record input..., Reset: the recording starts from power-on at frame 15.
record_from_power_on() {
    menu_entry 2 54
    printf '%s\n' "12 mouse 86 94" "13 button down" "14 button up"
}

# Replays the session with --input, which must end on its last line's CRC
# (kept in last), then plays it dropped on the window at frame 5 (play.txt),
# which must log nothing.
replay_both_ways() {
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
}
