#!/bin/bash
# smoke.sh TARVEN ROM
# Starts TARVEN on ROM with no display, lets it play for two seconds,
# interrupts it and checks that it quit the orderly way: exit status 0 and
# the settings written, with no crash or sanitizer report. With no
# tarven.cfg in the current folder, the settings go to the per-user folder
# and the log to the per-user state folder, nothing to the current folder. Run it through
# run_in_scratch.sh, so that what it writes lands in a scratch directory.
set -eu
program=$1
rom=$2

. "$(dirname "$0")/play_then_interrupt.sh"
play_then_interrupt "$program" "$rom"

if [ "$status" -ne 0 ]; then
    echo "tarven ended with status $status, not the orderly exit's 0" >&2
    exit 1
fi
if [ ! -f "$XDG_CONFIG_HOME/tarven/tarven.cfg" ] || [ ! -d "$XDG_STATE_HOME/tarven" ]; then
    echo "tarven.cfg was not written to \$XDG_CONFIG_HOME/tarven at exit" >&2
    exit 1
fi
if [ -e tarven.cfg ] || [ -e tarven.log ]; then
    echo "tarven wrote tarven.cfg or tarven.log to the current folder" >&2
    exit 1
fi
echo "tarven quit in order"
