#!/bin/sh
# screenshot_key.sh HEADLESS PICTURE_DIFF INPUT FRAME AREA [ARGUMENTS...] ROM
# Opens the menus at FRAME - 20 and presses F8 at FRAME - 10 and at FRAME,
# while the popup of the first screenshot is still shown: each PNG must
# hold exactly the picture --screenshot writes for that frame in a run
# without the keys (no menus, no popup), cut to AREA (an ImageMagick
# geometry such as 160x144+48+24, or "whole"). Run it through
# run_in_scratch.sh, which names the ROM last.
set -eu
program=$1
picture_diff=$2
input=$3
at=$4
area=$5
shift 5
for rom; do :; done
game=${rom%.*}
{
    cat "$input"
    echo "$((at - 20)) key ESC down"
    echo "$((at - 19)) key ESC up"
    echo "$((at - 10)) key F8 down"
    echo "$((at - 9)) key F8 up"
    echo "$at key F8 down"
} >keys.txt
# Each run starts from power-on, whatever cartridge RAM the one before saved.
rm -f "$game.SAV"
"$program" --frames "$at" --input keys.txt "$@"

check() {
    frame=$1
    shot=$2
    shift 2
    rm -f "$game.SAV"
    "$program" --frames "$frame" --input "$input" --screenshot "reference-$frame.png" "$@" >/dev/null
    if [ "$area" != whole ]; then
        convert "reference-$frame.png" -crop "$area" +repage "reference-$frame.png"
    fi
    "$picture_diff" "reference-$frame.png" "$shot" "difference-$frame.png" || {
        echo "$shot is not the picture of frame $frame" >&2
        exit 1
    }
}
check $((at - 10)) "$game-001.png" "$@"
check "$at" "$game-002.png" "$@"
[ ! -e "$game-003.png" ] || {
    echo "one press of F8 wrote more than one screenshot" >&2
    exit 1
}
echo "screenshots: the pictures of frames $((at - 10)) and $at"
