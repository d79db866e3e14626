#!/bin/bash
# x_desktop.sh TARVEN window|fullscreen|gamegear|nodisplay DEMO
# tarven on the demo in a real X server (Xvfb, started here on a free display
# number), driven with real key presses by xdotool and looked at through
# ImageMagick screenshots of its window:
#   window      the window shows the demo at 512 x 384; X (button 2) changes
#               its palette; widened, the window keeps the picture's shape
#               with black bars; Alt+X quits the orderly way.
#   fullscreen  under openbox, Alt+Enter fills the screen with the picture
#               and switches back; each picture is checked; Alt+X quits.
#   gamegear    the Game Gear demo's 160 x 144 screen alone fills the
#               window's height, with black bars beside it.
#   nodisplay   with no display at all tarven ends at once with a message.
# Every run must end with status 255, tarven.cfg written and an empty log.
# Run it through run_in_scratch.sh, so that what it writes lands in a
# scratch directory.
set -eu
program=$1
mode=$2
rom=$3

TIMEOUT=30  # seconds any awaited change may take, even in a sanitizer build
SCREEN_WIDTH=1024
SCREEN_HEIGHT=768
# The demo's most common colour (its sky) in its first and second palettes.
SKY="0 85 170"
SKY_AFTER_BUTTON2="85 0 85"
SKY_GAME_GEAR="0 73 182"

fail() {
    echo "x_desktop ($mode): $*" >&2
    exit 1
}

for tool in Xvfb xdotool import convert; do
    command -v "$tool" >/dev/null || fail "$tool is missing: ./dev installs it"
done

. "$(dirname "$0")/../../../tools/x_server.sh"

check_exit() {
    local status=$1
    [ "$status" -eq 255 ] || fail "tarven ended with status $status, not the orderly exit's 255"
    [ -f tarven.cfg ] || fail "tarven.cfg was not written at exit"
    if [ -s tarven.log ]; then
        cat tarven.log >&2
        fail "the log is not empty"
    fi
}

if [ "$mode" = nodisplay ]; then
    status=0
    env -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER "$program" "$rom" 2>stderr.txt || status=$?
    cat stderr.txt
    grep -q "No display could be opened" stderr.txt || fail "no message about the missing display"
    [ "$status" -eq 255 ] || fail "tarven ended with status $status, not 255"
    echo "tarven refused to play without a display"
    exit 0
fi

x_server_start $SCREEN_WIDTH $SCREEN_HEIGHT

if [ "$mode" = fullscreen ]; then
    openbox >openbox.log 2>&1 &
    pids+=($!)
    until_true xdotool get_desktop || fail "openbox did not start"
fi

"$program" "$rom" &
tarven=$!
pids+=("$tarven")
title="tarven - $(basename "$rom")"
until_true xdotool search --onlyvisible --name "^$title\$" || fail "no window titled \"$title\""
window=$(xdotool search --onlyvisible --name "^$title\$" | head -n 1)

# near R G B R2 G2 B2: the colours differ by at most 4 in each channel (a
# 16-bit display rounds them).
near() {
    local a=($1) b=($2) i d
    for i in 0 1 2; do
        d=$((a[i] - b[i]))
        [ "${d#-}" -le 4 ] || return 1
    done
}

# picture WIDTH HEIGHT "R G B": the window's content has that size, the
# demo's many colours and the sky as its most common one. The first frames
# may come late, so the check is repeated until it holds.
picture_ok() {
    import -window "$window" shot.png 2>/dev/null || return 1
    [ "$(identify -format '%wx%h' shot.png)" = "$1x$2" ] || return 1
    convert shot.png -format %c histogram:info:- | sort -rn >colours.txt
    [ "$(wc -l <colours.txt)" -ge 8 ] || return 1
    local top
    top=$(head -n 1 colours.txt | sed -n 's/.*(\([0-9]*\),\([0-9]*\),\([0-9]*\)).*/\1 \2 \3/p')
    near "$top" "$3"
}
picture() {
    until_true picture_ok "$@" || fail "the window does not show the demo at $1 x $2 with colour ($3)
$(identify shot.png 2>&1; head -n 3 colours.txt 2>/dev/null)"
}

# Keys go to the window with the input focus: a window manager gives it on
# request, without one the focus is set directly.
# black_at X Y: the screenshot's pixel at (X, Y) is black.
black_at() {
    convert shot.png -format "%[pixel:p{$1,$2}]" info: | grep -Eqx 'black|s?rgb\(0,0,0\)'
}

# bars_ok WIDTH: a screenshot is black up to WIDTH pixels from either side
# and has picture just inside (past the 16 pixels of the demo's blank left
# column on the left).
bars_ok() {
    import -window "$window" shot.png 2>/dev/null || return 1
    local width middle
    width=$(identify -format %w shot.png)
    middle=$(($(identify -format %h shot.png) / 2))
    for x in 0 $(($1 - 1)) $((width - $1)) $((width - 1)); do
        black_at "$x" "$middle" || return 1
    done
    for x in $(($1 + 16)) $((width - $1 - 1)); do
        ! black_at "$x" "$middle" || return 1
    done
}

press() {
    if [ "$mode" = fullscreen ]; then
        timeout 5 xdotool windowactivate --sync "$window" || true
    else
        timeout 5 xdotool windowfocus --sync "$window" || true
    fi
    xdotool "$@"
}

# A real Alt combination: Alt held while the key is tapped.
alt_key() {
    press keydown Alt_L
    sleep 0.2
    xdotool key "$1"
    sleep 0.2
    xdotool keyup Alt_L
}

if [ "$mode" = gamegear ]; then
    # 384 / 144 = 8 / 3: 426 pixels wide in the middle of 512.
    picture 512 384 "$SKY_GAME_GEAR"
    until_true bars_ok 43 || fail "no black bars 43 pixels wide beside the Game Gear screen"
else
    picture 512 384 "$SKY"
fi
if [ "$mode" = window ]; then
    # Held for a few frames, as the game reads the pad once a frame.
    press keydown x
    sleep 0.2
    xdotool keyup x
    picture 512 384 "$SKY_AFTER_BUTTON2"
    # Made wider, the window shows the picture at its height with its shape
    # kept: 512 x 384 in the middle, black bars of 94 pixels either side.
    xdotool windowsize "$window" 700 384
    picture 700 384 "$SKY_AFTER_BUTTON2"
    until_true bars_ok 94 || fail "no black bars 94 pixels wide beside the picture"
elif [ "$mode" = fullscreen ]; then
    alt_key Return
    picture $SCREEN_WIDTH $SCREEN_HEIGHT "$SKY"
    alt_key Return
    picture 512 384 "$SKY"
fi

alt_key x
status=0
for _ in $(seq $((TIMEOUT * 5))); do
    kill -0 "$tarven" 2>/dev/null || break
    sleep 0.2
done
kill -0 "$tarven" 2>/dev/null && fail "Alt+X did not end tarven"
wait "$tarven" || status=$?
check_exit "$status"
echo "tarven played the demo in X and quit in order ($mode)"
