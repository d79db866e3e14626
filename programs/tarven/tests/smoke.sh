#!/bin/bash
# smoke.sh TARVEN ROM
# Starts TARVEN on ROM with no display, lets it play for two seconds,
# interrupts it and checks that it quit the orderly way: exit status 255 and
# the settings written, with no crash or sanitizer report. Run it through
# run_in_scratch.sh, so that what it writes lands in a scratch directory.
set -eu
program=$1
rom=$2

# Job control, or the shell would start the program with SIGINT ignored
# (bash allows it without a terminal, unlike a plain POSIX sh).
set -m
SDL_VIDEODRIVER=dummy "$program" "$rom" &
pid=$!
# SIGINT reaches the program as a quit only once SDL has installed its
# handler: wait for it (signal 2 in the caught-signal mask) rather than guess.
until grep -q '^SigCgt:.*[2367abef]$' "/proc/$pid/status" 2>/dev/null; do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
done
sleep 2
kill -INT "$pid" 2>/dev/null || true
status=0
wait "$pid" || status=$?

if [ "$status" -ne 255 ]; then
    echo "tarven ended with status $status, not the orderly exit's 255" >&2
    exit 1
fi
if [ ! -f tarven.cfg ]; then
    echo "tarven.cfg was not written at exit" >&2
    exit 1
fi
echo "tarven quit in order"
