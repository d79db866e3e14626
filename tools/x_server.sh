# Sourced (by bash) by the tests that run programs in an X server of their
# own. The sourcing script sets TIMEOUT and defines fail.
#   until_true COMMAND...       polls COMMAND until it succeeds, at most
#                               TIMEOUT s
#   pids                        processes ended at exit, last started first
#   x_server_start WIDTH HEIGHT starts Xvfb on a free display number and
#                               exports DISPLAY

until_true() {
    local deadline=$((SECONDS + TIMEOUT))
    until "$@" >/dev/null 2>&1; do
        [ "$SECONDS" -lt "$deadline" ] || return 1
        sleep 0.2
    done
}

pids=()
cleanup() {
    local i
    # Last started first: a program before the X server it draws on.
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
        kill "${pids[i]}" 2>/dev/null || true
    done
    wait 2>/dev/null || true
}
trap cleanup EXIT

# Xvfb picks a free display number itself and writes it to the descriptor.
# -noreset: by default the server resets whenever its last client leaves
# (the probes below are such clients), cutting off whoever connects meanwhile.
x_server_start() {
    exec 3>display.txt
    Xvfb -displayfd 3 -noreset -screen 0 "$1x$2x24" -nolisten tcp >xvfb.log 2>&1 &
    pids+=($!)
    exec 3>&-
    until_true grep -q '[0-9]' display.txt || fail "Xvfb did not start: $(cat xvfb.log)"
    export DISPLAY=":$(head -n 1 display.txt)"
    unset WAYLAND_DISPLAY SDL_VIDEODRIVER
    until_true xdotool getmouselocation || fail "the X server on $DISPLAY does not answer"
}
