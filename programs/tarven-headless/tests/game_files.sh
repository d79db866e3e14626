#!/bin/bash
# game_files.sh HEADLESS GAME MODE
# Where a game's files come from and go to, in tarven-headless over GAME (a
# real game, linked into a scratch folder), by MODE:
#   bad_rom     files that are no cartridge, dropped on the window or chosen
#               in the ROM file selector while a game runs, are refused with
#               the reason in the log; the game runs on untouched and the run
#               ends normally.
#   browse      browsing into another folder with the selector moves no
#               file: a state saved after it lies beside the ROM, the log
#               stays in the folder the program started in.
#   read_only   with the ROM's folder read-only (no write bit, which counts
#               for root too), a state goes to $XDG_DATA_HOME/tarven/saves
#               below the ROM folder's whole path,
#               the log says so, and F7 reads it back from there.
#   log_psg     Log PSG... chosen without a game records nothing.
set -u
headless=$1
game=$2
mode=$3

scratch=$(mktemp -d)
trap 'chmod -R u+w "$scratch"; rm -rf "$scratch"' EXIT
cd "$scratch"
export XDG_DATA_HOME="$scratch/data"

fail() {
    echo "game_files ($mode): $*" >&2
    [ -f tarven.log ] && sed 's/^/tarven.log: /' tarven.log >&2
    exit 1
}

# script FILE LINES...: an input script, one event an argument.
script() {
    local file=$1
    shift
    printf '%s\n' "$@" >"$file"
}

# machine_crc ARGUMENTS...: runs the game and prints its machine-crc32; the
# run must end normally.
machine_crc() {
    local output
    output=$("$headless" --hash "$@" 2>&1) || fail "tarven-headless $* ended with status $?: $output"
    echo "$output" | sed -n 's/^machine-crc32 //p'
}

# Alt+L opens the selector; a pointer at list row R, clicked twice, opens
# that row (the second click on the chosen row activates it).
open_row() {
    local frame=$1 row=$2
    local y=$((20 + 12 + 8 * row + 4))
    script_lines+=("$frame key ALT down" "$frame key L down" "$((frame + 1)) key L up" "$((frame + 1)) key ALT up"
        "$((frame + 2)) mouse 60 $y" "$((frame + 3)) button down" "$((frame + 4)) button up"
        "$((frame + 5)) button down" "$((frame + 6)) button up")
}

ln -s "$game" game.sms
case "$mode" in
bad_rom)
    echo "not a cartridge" >x.sms
    : >empty.sms
    echo "notes" >notes.txt
    plain=$(machine_crc game.sms --frames 200)
    script drops.txt "40 drop x.sms" "50 drop empty.sms" "60 drop notes.txt" "70 drop missing.gg"
    [ "$(machine_crc game.sms --frames 200 --input drops.txt)" = "$plain" ] ||
        fail "the dropped files changed the running game"
    grep -q "^x.sms is not a Master System or Game Gear game: its size is not a whole number of 16 KB banks$" tarven.log || fail "no reason for x.sms"
    grep -q "^empty.sms is empty: there is no game in it$" tarven.log ||
        fail "no reason for empty.sms"
    grep -q "^notes.txt is not a .sms, .gg, .sg or .sc file, nor a .zip or .7z of one$" tarven.log || fail "no reason for notes.txt"
    grep -q "^missing.gg could not be opened: No such file or directory$" tarven.log || fail "no reason for missing.gg"
    # The list: (..), empty.sms, game.sms, x.sms.
    script_lines=()
    open_row 30 1
    open_row 60 3
    script selector.txt "${script_lines[@]}"
    [ "$(machine_crc game.sms --frames 200 --input selector.txt)" = "$plain" ] ||
        fail "the files chosen in the selector changed the running game"
    grep -q "^x.sms is not a Master System or Game Gear game: its size is not a whole number of 16 KB banks$" tarven.log ||
        fail "no reason for x.sms chosen in the selector"
    # A cartridge dropped on the window takes over, its files beside it.
    mkdir more
    ln -s "$game" more/second.sms
    script good.txt "40 drop more/second.sms" "50 key F5 down" "51 key F5 up"
    [ "$(machine_crc game.sms --frames 200 --input good.txt)" != "$plain" ] || fail "the dropped game did not start"
    [ -s more/second.ST0 ] || fail "the dropped game's state is not beside it"
    [ ! -s tarven.log ] || fail "the dropped game was refused"
    ;;
browse)
    mkdir other
    # The list: (..), game.sms, (other).
    script_lines=()
    open_row 30 2
    # ESC hides the menus, whose selector would take F5.
    script_lines+=("55 key ESC down" "56 key ESC up" "60 key F5 down" "61 key F5 up" "70 drop other/nothing.sms")
    script browse.txt "${script_lines[@]}"
    machine_crc game.sms --frames 100 --input browse.txt >/dev/null
    [ -s game.ST0 ] || fail "the state was not saved beside the ROM"
    [ -z "$(ls -A other)" ] || fail "files went to the folder browsed into: $(ls -A other)"
    grep -q "nothing.sms could not be opened" tarven.log || fail "the log is not where the program started"
    ;;
read_only)
    mkdir roms
    mv game.sms roms/
    chmod 555 roms
    script save.txt "30 key F5 down" "31 key F5 up"
    machine_crc roms/game.sms --frames 40 --input save.txt >/dev/null
    [ ! -e roms/game.ST0 ] || fail "the state was written into the read-only folder"
    saved=$XDG_DATA_HOME/tarven/saves$(pwd -P)/roms/game.ST0
    [ -s "$saved" ] || fail "the state is not in the per-user save folder"
    grep -qF "The ROM's folder is read-only: saving to $saved" tarven.log ||
        fail "the log does not say where the state went"
    # F7 at frame 60 goes back to the state of frame 30.
    script load.txt "60 key F7 down" "61 key F7 up"
    [ "$(machine_crc roms/game.sms --frames 100 --input load.txt)" != \
        "$(machine_crc roms/game.sms --frames 100)" ] || fail "F7 did not read the state from the per-user save folder"
    ;;
log_psg)
    # Misc, Log PSG..., without a game.
    script log.txt "2 mouse 132 4" "3 button down" "4 button up" "5 mouse 149 34" "6 button down" "7 button up"
    "$headless" --frames 20 --input log.txt || fail "tarven-headless ended with status $?"
    [ ! -e 'music.$$$' ] || fail "Log PSG... recorded without a game"
    ;;
*)
    fail "unknown mode"
    ;;
esac
echo "game_files: $mode ok"
