# Sourced by the tests of tarven on SDL's dummy video driver.
# play_then_interrupt COMMAND...: starts COMMAND (tarven and its arguments,
# with any environment given through env), lets it play for two seconds,
# interrupts it as Ctrl+C would (or with the signal named by $SIGNAL, e.g.
# TERM) and leaves its exit status in $status.

play_then_interrupt() {
    # Job control, or the shell would start the program with SIGINT ignored
    # (bash allows it without a terminal, unlike a plain POSIX sh).
    set -m
    SDL_VIDEODRIVER=dummy "$@" &
    local pid=$!
    # SIGINT reaches the program as a quit only once SDL has installed its
    # handler: wait for it (signal 2 in the caught-signal mask) rather than guess.
    until grep -q '^SigCgt:.*[2367abef]$' "/proc/$pid/status" 2>/dev/null; do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    sleep 2
    kill -"${SIGNAL:-INT}" "$pid" 2>/dev/null || true
    status=0
    wait "$pid" || status=$?
}
