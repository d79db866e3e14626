#!/bin/sh
# save_psg.sh HEADLESS ROMS SCRIPTS
# A music log ended with ESC, named in the Save PSG dialog and saved with
# Enter, then one thrown away with the dialog's close box, and one still in
# the dialog when the run ends, kept under the name typed, in tarven-headless
# over chip_show in a scratch folder.
. "$(dirname "$(realpath "$0")")/fixture_runs.sh"

run save_psg_enter chip_show.sms 90 dialog_save_psg save_psg_enter
[ -s "$scratch/save_psg_enter/chip_show.MUS" ] || fail "Enter did not name the recording chip_show.MUS"
[ ! -e "$scratch/save_psg_enter/music.\$\$\$" ] || fail "Enter left music.\$\$\$ behind"
head -c 9 "$scratch/save_psg_enter/chip_show.MUS" | grep -q SMSMUSIC || fail "chip_show.MUS is no SMSMUSIC file"

run save_psg_close chip_show.sms 90 dialog_save_psg save_psg_close
[ ! -e "$scratch/save_psg_close/music.\$\$\$" ] || fail "the close box kept music.\$\$\$"
ls "$scratch/save_psg_close" | grep -qi '\.psg$\|\.mus$' && fail "the close box saved the recording"
run save_psg_quit chip_show.sms 90 dialog_save_psg 2>"$scratch/quit.err"
[ -s "$scratch/save_psg_quit/chip_show.MUS" ] || fail "the recording unnamed at exit was not kept as chip_show.MUS"
[ ! -e "$scratch/save_psg_quit/music.\$\$\$" ] || fail "the recording unnamed at exit stayed in music.\$\$\$"
grep -q "kept as .*/save_psg_quit/chip_show.MUS" "$scratch/quit.err" || fail "nothing said where the recording went"
echo "save_psg: saved with Enter, discarded with the close box, kept at exit"
