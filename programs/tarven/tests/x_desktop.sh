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
#               window's height, with black bars beside it; a slot popup
#               shows inside that screen, which stays where it was.
#   nodisplay   with no display at all tarven ends at once with a message,
#               the one line on the terminal but for the one about sound.
#   closebox    under openbox, the window manager's Close (what its close
#               box does) quits the orderly way.
#   badrom      a text file named x.sms, chosen in the ROM file selector
#               (Alt+L, a double click) while the demo plays, is refused
#               with the reason in the log; the demo plays on.
#   record      Misc, Record input..., Reset records the demo from power-on
#               while X (button 2) is held; Misc, Stop recording writes the
#               script, which $TARVEN_HEADLESS replays to the same machine
#               CRC at every frame.
#   fatalbox    a missing game's message box ends at SIGTERM and at Ctrl+C
#               (SIGINT) with status 255, the message on standard error
#               and in the log.
# Every quit must end with status 0, tarven.cfg written and an empty log
# (but for badrom's refusal); the refusal without a display with status 255.
# A tarven.cfg in the current folder (window mode) keeps the settings and
# the log there; otherwise they go to the per-user folders, and F8's
# screenshot (gamegear mode) to the pictures folder of user-dirs.dirs.
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
REFUSAL="x.sms is not a Master System or Game Gear game: its size is not a whole number of 16 KB banks"

fail() {
    echo "x_desktop ($mode): $*" >&2
    exit 1
}

for tool in Xvfb xdotool import convert; do
    command -v "$tool" >/dev/null || fail "$tool is missing: ./dev installs it"
done

. "$(dirname "$0")/../../../tools/x_server.sh"

# Where the settings and the log go: the current folder when a tarven.cfg
# is there at start, else the per-user folders.
settings=$XDG_CONFIG_HOME/tarven/tarven.cfg
log=$XDG_STATE_HOME/tarven/tarven.log
if [ "$mode" = window ]; then
    : >tarven.cfg
    settings=tarven.cfg
    log=tarven.log
fi
mkdir -p "$XDG_CONFIG_HOME" .pictures
echo "XDG_PICTURES_DIR=\"$PWD/.pictures\"" >"$XDG_CONFIG_HOME/user-dirs.dirs"

check_exit() {
    local status=$1
    [ "$status" -eq 0 ] || fail "tarven ended with status $status, not the orderly exit's 0"
    [ -s "$settings" ] || fail "$settings was not written at exit"
    [ "$mode" = window ] || [ ! -e tarven.cfg ] || fail "tarven.cfg was written to the current folder"
    [ "$mode" != badrom ] || sed -i "/^$REFUSAL\$/d" "$log"
    if [ -s "$log" ]; then
        cat "$log" >&2
        fail "the log is not empty"
    fi
}

if [ "$mode" = nodisplay ]; then
    status=0
    env -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER "$program" "$rom" 2>stderr.txt || status=$?
    cat stderr.txt
    grep -q "No display could be opened" stderr.txt || fail "no message about the missing display"
    # The display and sound libraries' own probing stays off the terminal.
    [ "$(grep -cv "No sound device could be opened" stderr.txt)" -eq 1 ] || fail "more than the one line"
    [ "$status" -eq 255 ] || fail "tarven ended with status $status, not 255"
    echo "tarven refused to play without a display"
    exit 0
fi

x_server_start $SCREEN_WIDTH $SCREEN_HEIGHT

if [ "$mode" = fatalbox ]; then
    # The box is the one window beside the root window; xdotool cannot
    # match the UTF-8 title SDL gives it.
    box_shown() {
        [ "$(xdotool search --onlyvisible --maxdepth 1 --class '' | wc -l)" -ge 2 ]
    }
    # Job control, or the shell would start tarven with SIGINT ignored.
    set -m
    for signal in TERM INT; do
        "$program" missing.sms 2>stderr.txt &
        tarven=$!
        pids+=("$tarven")
        # The log line comes once the game's window is gone, just before the box.
        until_true grep -q "^Exiting: missing.sms could not be opened" "$log" || fail "the log does not say why"
        until_true box_shown || fail "no message box"
        kill -$signal "$tarven"
        for _ in $(seq $((TIMEOUT * 5))); do
            kill -0 "$tarven" 2>/dev/null || break
            sleep 0.2
        done
        kill -0 "$tarven" 2>/dev/null && fail "SIG$signal did not end the message box"
        status=0
        wait "$tarven" || status=$?
        [ "$status" -eq 255 ] || fail "SIG$signal ended the box with status $status, not 255"
        grep -q "missing.sms could not be opened: No such file or directory" stderr.txt ||
            fail "standard error does not name missing.sms: $(cat stderr.txt)"
        rm "$log"
    done
    echo "tarven ended its message box at SIGTERM and SIGINT with status 255"
    exit 0
fi

if [ "$mode" = fullscreen ] || [ "$mode" = closebox ]; then
    openbox >openbox.log 2>&1 &
    pids+=($!)
    until_true xdotool get_desktop || fail "openbox did not start"
fi

# The selector lists the folder as it was at start.
[ "$mode" != badrom ] || echo "not a cartridge" >x.sms
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

# popup_shown: a screenshot holds the pop-ups' green (30, 255, 30), near
# enough for a 16-bit display's rounding, which no Game Gear colour is.
popup_shown() {
    import -window "$window" shot.png 2>/dev/null || return 1
    convert shot.png -format %c histogram:info:- | grep -Eq '\(([12][0-9]|3[0-4]),25[0-5],([12][0-9]|3[0-4])\)'
}

press() {
    if [ "$mode" = fullscreen ] || [ "$mode" = closebox ]; then
        timeout 5 xdotool windowactivate --sync "$window" || true
    else
        timeout 5 xdotool windowfocus --sync "$window" || true
    fi
    xdotool "$@"
}

# A key held for a few frames, as the game and the menus read keys once a
# frame.
hold_key() {
    press keydown "$1"
    sleep 0.2
    xdotool keyup "$1"
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
    # Key 1 chooses a save-state slot, whose popup shows its boxes in green
    # inside the Game Gear's screen, which neither moves nor zooms for it.
    hold_key 1
    until_true popup_shown || fail "the slot popup does not show on the Game Gear"
    bars_ok 43 || fail "the Game Gear screen moved for the slot popup"
    hold_key F8
    until_true test -s .pictures/tarven-demo-gg-001.png || fail "F8 wrote no screenshot to the pictures folder"
else
    picture 512 384 "$SKY"
fi
if [ "$mode" = window ]; then
    hold_key x
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
elif [ "$mode" = record ]; then
    # click X Y: a click held for a few frames at (X, Y) of the 256 x 192
    # picture, twice as far in the window.
    click() {
        press mousemove --window "$window" $(($1 * 2)) $(($2 * 2))
        sleep 0.2
        xdotool mousedown 1
        sleep 0.1
        xdotool mouseup 1
        sleep 0.2
    }
    # The Misc menu's title, its fifth entry, and the dialog's Reset button.
    hold_key Escape
    click 140 5
    click 140 54
    click 86 94
    hold_key x
    picture 512 384 "$SKY_AFTER_BUTTON2"
    hold_key Escape
    click 140 5
    click 140 54
    until_true [ -s tarven-demo.input ] || fail "Stop recording wrote no tarven-demo.input"
    grep -q "^[0-9]* pad1 button2$" tarven-demo.input || fail "the recording does not hold button 2"
    "$TARVEN_HEADLESS" --input tarven-demo.input --hash "$rom" >replay.txt || fail "the replay differs"
    [ "$(grep machine-crc32 replay.txt)" = "$(tail -n 1 tarven-demo.input | cut -d ' ' -f 2-)" ] \
        || fail "the replay ends on another machine CRC"
    echo "replayed $(tail -n 1 tarven-demo.input | cut -d ' ' -f 1) frames to the same machine CRCs"
elif [ "$mode" = badrom ]; then
    # Held for a few frames: the game's loop looks at Alt+L between lines.
    press keydown Alt_L
    xdotool keydown l
    sleep 0.2
    xdotool keyup l
    xdotool keyup Alt_L
    # The list: (..), tarven-demo.sms, x.sms. Row 2 lies at (60, 52) in the
    # picture, twice as far in the window.
    press mousemove --window "$window" 120 104
    # Each click held for a few frames, as a hand holds it.
    for _ in 1 2; do
        sleep 0.2
        xdotool mousedown 1
        sleep 0.1
        xdotool mouseup 1
    done
    until_true grep -qx "$REFUSAL" "$log" || fail "no refusal of x.sms in the log"
    kill -0 "$tarven" 2>/dev/null || fail "tarven ended at the bad file"
    # ESC hides the menus: the demo plays on behind them.
    hold_key Escape
    picture 512 384 "$SKY"
fi

if [ "$mode" = closebox ]; then
    # openbox's Close, as its close box does it: the window manager asks
    # the window to close (WM_DELETE_WINDOW); Alt+F4 is openbox's own key
    # for it and never reaches tarven.
    press key alt+F4
else
    alt_key x
fi
status=0
for tick in $(seq $((TIMEOUT * 5))); do
    kill -0 "$tarven" 2>/dev/null || break
    # On a busy machine openbox may not have given the window the focus
    # in time, and its Close went to no window: asked again every 5 s (a
    # second request while tarven quits changes nothing).
    [ "$mode" != closebox ] || [ $((tick % 25)) -ne 0 ] || press key alt+F4 || true
    sleep 0.2
done
kill -0 "$tarven" 2>/dev/null && fail "the quit did not end tarven"
wait "$tarven" || status=$?
check_exit "$status"
echo "tarven played the demo in X and quit in order ($mode)"
