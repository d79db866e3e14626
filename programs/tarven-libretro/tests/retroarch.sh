#!/bin/bash
# retroarch.sh MODE CORE INFO_CFG HEADLESS PICTURE_DIFF WAV_MEASURE ROM
# The core in Debian's RetroArch, on an X server of its own (Xvfb), checked
# against tarven-headless running the same ROM:
#   picture   the screenshot RetroArch takes of frame 120 is headless's
#             picture of frame 120 (the Game Gear's 160 x 144 screen cut
#             from it): video, timing and loading together.
#   runahead  the same with run-ahead of one frame and rewind on, which
#             save and load a state at every frame.
#   input     X typed into RetroArch's window (RetroPad A, button 2) turns
#             the demo's sky the colour headless shows with button 2 held.
#   sound     the sound RetroArch records (FLAC in Matroska) has headless's
#             length within a frame and its pitches frame by frame.
#   states    F2 saves a state, an SMSSTATE stream inside RetroArch's file;
#             a RetroArch started on that state shows the picture headless
#             shows after loading it.
# Every mode starts RetroArch as the README says, with INFO_CFG (the build
# tree's retroarch.cfg) appended, which leads it to the core's information file:
# without that, no states. For the demo, which has no cartridge RAM, no
# .srm file may be left.
# RetroArch's configuration, saves and states stay in the scratch directory
# it runs in (run_in_scratch.sh).
set -eu
mode=$1
core=$2
info_cfg=$3
headless=$4
picture_diff=$5
wav_measure=$6
rom=$7

TIMEOUT=60  # seconds a RetroArch run or an awaited change may take
FRAMES=120

fail() {
    echo "retroarch ($mode): $*" >&2
    [ ! -f retroarch.log ] || tail -n 20 retroarch.log >&2
    exit 1
}

for tool in retroarch Xvfb xdotool convert ffmpeg; do
    command -v "$tool" >/dev/null || fail "$tool is missing: ./dev installs it"
done

. "$(dirname "$0")/../../../tools/x_server.sh"

# Everything RetroArch reads and writes lives here; it never sees the user's.
export HOME="$PWD/home" XDG_CONFIG_HOME="$PWD/home/.config" XDG_RUNTIME_DIR="$PWD/home/run"
mkdir -p "$XDG_CONFIG_HOME" "$XDG_RUNTIME_DIR" states saves
chmod 700 "$XDG_RUNTIME_DIR"
# Raw screenshots are the core's own frame, pixel for pixel; the keyboard is
# read from X, where xdotool types. No cache is written beside the
# information file, which every test reads.
cat >retroarch.cfg <<EOF
video_driver = "gl"
video_vsync = "false"
video_gpu_screenshot = "false"
audio_driver = "null"
input_driver = "x"
menu_driver = "null"
core_info_cache_enable = "false"
savestate_directory = "$PWD/states"
savefile_directory = "$PWD/saves"
savestate_file_compression = "false"
savestate_thumbnail_enable = "false"
savestate_auto_load = "true"
history_list_enable = "false"
quit_press_twice = "false"
config_save_on_exit = "false"
EOF
if [ "$mode" = runahead ]; then
    cat >>retroarch.cfg <<EOF
run_ahead_enabled = "true"
run_ahead_frames = "1"
run_ahead_secondary_instance = "false"
rewind_enable = "true"
EOF
fi

x_server_start 1024 768

# A core built with the sanitizers runs in RetroArch with their runtime
# preloaded (RETROARCH_PRELOAD); RetroArch's own allocations left at exit are
# not the core's to report.
retroarch=(retroarch)
[ -z "${RETROARCH_PRELOAD:-}" ] || retroarch=(env LD_PRELOAD="$RETROARCH_PRELOAD" ASAN_OPTIONS=detect_leaks=0 retroarch)

# retroarch FRAMES [ARGUMENTS...]: runs the core on the ROM for FRAMES frames
# and keeps the last one in retroarch.png.
retroarch_run() {
    local frames=$1
    shift
    timeout "$TIMEOUT" "${retroarch[@]}" -v --config="$PWD/retroarch.cfg" --appendconfig="$info_cfg" -L "$core" "$rom" --max-frames="$frames" \
        --max-frames-ss --max-frames-ss-path="$PWD/retroarch.png" "$@" >retroarch.log 2>&1 ||
        fail "RetroArch failed or took longer than $TIMEOUT s"
    [ -f retroarch.png ] || fail "RetroArch took no screenshot"
}

# RetroArch on the ROM until stopped, its window holding the keyboard focus;
# it takes commands on a port of this display's own.
command_port=$((55400 + ${DISPLAY#:}))
cat >>retroarch.cfg <<EOF
network_cmd_enable = "true"
network_cmd_port = "$command_port"
screenshot_directory = "$PWD/shots"
EOF
mkdir -p shots
retroarch_start() {
    timeout "$TIMEOUT" "${retroarch[@]}" -v --config="$PWD/retroarch.cfg" --appendconfig="$info_cfg" -L "$core" "$rom" \
        >retroarch.log 2>&1 &
    retroarch_pid=$!
    pids+=("$retroarch_pid")
    until_true xdotool search --onlyvisible --name '^RetroArch' || fail "no RetroArch window"
    local window
    window=$(xdotool search --onlyvisible --name '^RetroArch' | head -n 1)
    timeout 5 xdotool windowfocus --sync "$window" || true
}
retroarch_command() {
    echo -n "$1" >"/dev/udp/127.0.0.1/$command_port"
}
retroarch_stop() {
    retroarch_command QUIT
    wait "$retroarch_pid" || fail "RetroArch did not quit in order"
}

# The headless picture as RetroArch shows it: the Game Gear's screen alone.
headless_picture() {
    "$headless" --screenshot headless.png "$@" "$rom" >/dev/null
    case "$rom" in
    *.gg | *.GG) convert headless.png -crop 160x144+48+24 +repage PNG24:headless.png ;;
    esac
}

same_picture() {
    "$picture_diff" headless.png retroarch.png difference.png >diff.txt || fail "$1: $(cat diff.txt)"
    echo "$1: $("$picture_diff" --crc retroarch.png)"
}

most_common_colour() {
    convert "$1" -format %c histogram:info:- | sort -rn | head -n 1 | sed -n 's/.*(\([0-9]*,[0-9]*,[0-9]*\)).*/\1/p'
}

case "$mode" in
picture)
    retroarch_run $FRAMES
    headless_picture --frames $FRAMES
    same_picture "frame $FRAMES as tarven-headless draws it"
    case "$rom" in
    *tarven-demo*) [ -z "$(ls saves)" ] || fail "RetroArch kept save RAM of a game without any: $(ls saves)" ;;
    esac
    ;;
runahead)
    # Each frame shown is the one after: the frame is run, the state saved,
    # the next frame run and shown, and the state loaded again.
    retroarch_run $FRAMES
    headless_picture --frames $((FRAMES + 1))
    same_picture "frame $((FRAMES + 1)) as tarven-headless draws it"
    ;;
input)
    # Held from the window's first frames, with the screenshot taken on
    # command a second later; the demo changes its palette on the press.
    retroarch_start
    xdotool keydown x
    sleep 1
    retroarch_command SCREENSHOT
    until_true compgen -G "shots/*.png" || fail "RetroArch took no screenshot on command"
    xdotool keyup x
    retroarch_stop
    printf '1 key 45 down\n' >button2.txt
    "$headless" --frames $FRAMES --input button2.txt --screenshot pressed.png "$rom" >/dev/null
    "$headless" --frames $FRAMES --screenshot idle.png "$rom" >/dev/null
    expected=$(most_common_colour pressed.png)
    [ "$expected" != "$(most_common_colour idle.png)" ] || fail "button 2 changes nothing in tarven-headless"
    seen=$(most_common_colour shots/*.png)
    echo "sky with button 2: tarven-headless ($expected), RetroArch ($seen)"
    [ "$seen" = "$expected" ] || fail "the key did not act as button 2 does in tarven-headless"
    ;;
sound)
    cat >record.cfg <<EOF
vcodec = ffv1
pix_fmt = bgr0
acodec = flac
format = matroska
sample_rate = 44100
EOF
    frames=420
    retroarch_run $frames -r "$PWD/recording.mkv" --recordconfig="$PWD/record.cfg"
    ffmpeg -loglevel error -y -i recording.mkv -vn -acodec pcm_s16le retroarch.wav || fail "cannot read the recording"
    "$headless" --frames $frames --wav headless.wav "$rom" >/dev/null
    samples() { "$wav_measure" "$1" | awk '$1 == "samples" { print $2 }'; }
    ours=$(samples headless.wav)
    theirs=$(samples retroarch.wav)
    echo "samples: tarven-headless $ours, RetroArch $theirs"
    [ $((ours - theirs)) -le 735 ] && [ $((theirs - ours)) -le 735 ] || fail "the lengths differ by more than a frame"
    "$wav_measure" headless.wav frames 735 >headless.txt
    "$wav_measure" retroarch.wav frames 735 >retroarch.txt
    # Frames agree when both are silent or their dominant pitches are within
    # 2 %; only noise, whose spectrum has no pitch, may differ.
    agreeing=$(paste headless.txt retroarch.txt | awk '
        { silent = $2 < 0.001 && $5 < 0.001; d = $3 - $6; if (d < 0) d = -d
          if (silent || ($2 >= 0.001 && $5 >= 0.001 && d <= 0.02 * $3)) n++ }
        END { print n + 0 }')
    echo "frames with the same pitch: $agreeing of $frames"
    [ "$agreeing" -ge $((frames * 95 / 100)) ] || fail "the pitches differ in too many frames"
    ;;
states)
    retroarch_start
    state=states/$(basename "${rom%.*}").state
    # RetroArch looks at the keys once a frame: F2 is held across frames,
    # and pressed again until the first frames have run.
    save_state() {
        xdotool keydown F2
        sleep 0.3
        xdotool keyup F2
        sleep 0.2
        test -s "$state"
    }
    until_true save_state || fail "F2 saved no state"
    retroarch_stop
    # RetroArch's file holds the core's bytes in its MEM block, 16 bytes in:
    # an SMSSTATE stream, the short one when the cartridge RAM flag is 0.
    [ "$(head -c 7 "$state")" = RASTATE ] || fail "$state is not a RetroArch state"
    tail -c +17 "$state" | head -c 24732 >game.ST0
    [ "$(head -c 8 game.ST0)" = SMSSTATE ] || fail "the state is no SMSSTATE stream"
    [ "$(od -An -tu1 -j 24690 -N 1 game.ST0 | tr -d ' ')" = 0 ] || fail "the demo's state holds cartridge RAM"
    # Started again, RetroArch runs the first frame from power-on and then
    # loads the state, as headless does at the end of its first frame. 200
    # frames on, the popup headless shows for a loaded state is gone.
    mv "$state" "$state.auto"
    retroarch_run 200
    grep -q 'Auto-loading save state .* succeeded' retroarch.log || fail "RetroArch did not load the state"
    headless_picture --frames 200 --load-state game.ST0@1
    same_picture "the state's picture, loaded by RetroArch and by tarven-headless"
    ;;
*)
    fail "unknown mode"
    ;;
esac
echo "RetroArch ran the core: $mode"
