#!/bin/sh
# in_fixture.sh ROMS PROGRAM [ARGUMENTS...]
# Lays out a small folder of games in the current directory, as a user's
# might look, then runs PROGRAM. ROMS is the folder of our own programs; only
# chip_show.sms and chip_show_gg.gg are real games, the other names are empty files.
set -eu
roms=$1
shift
ln -s "$roms/chip_show.sms" chip_show.sms
touch Alpha.gg beta.SMS notes.txt "Zeta, a game whose name is longer than the list is wide.sms"
mkdir games
ln -s "$roms/chip_show.sms" "games/CHIP SHOW.SMS"
ln -s "$roms/chip_show_gg.gg" games/chip_show_gg.gg
exec "$@"
