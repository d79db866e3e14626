#!/bin/sh
# save_psg.sh HEADLESS ROMS SCRIPTS
# A music log ended with ESC, named in the Save PSG dialog and saved with
# Enter, then one thrown away with the dialog's close box, in tarven-headless
# over chip_show in a scratch folder.
set -u
headless=$1
roms=$2
scripts=$3
here=$(dirname "$(realpath "$0")")
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
fail() {
    echo "save_psg: $*" >&2
    exit 1
}
run() {
    rm -rf "$scratch/$1"
    mkdir "$scratch/$1"
    cat "$scripts/dialog_save_psg.txt" "$scripts/$1.txt" >"$scratch/$1.txt"
    (cd "$scratch/$1" && "$here/in_fixture.sh" "$roms" "$headless" chip_show.sms --frames 90 \
        --input "$scratch/$1.txt") || fail "$1: tarven-headless failed"
}

run save_psg_enter
[ -s "$scratch/save_psg_enter/chip_show.MUS" ] || fail "Enter did not name the recording chip_show.MUS"
[ ! -e "$scratch/save_psg_enter/music.\$\$\$" ] || fail "Enter left music.\$\$\$ behind"
head -c 9 "$scratch/save_psg_enter/chip_show.MUS" | grep -q SMSMUSIC || fail "chip_show.MUS is no SMSMUSIC file"

run save_psg_close
[ ! -e "$scratch/save_psg_close/music.\$\$\$" ] || fail "the close box kept music.\$\$\$"
ls "$scratch/save_psg_close" | grep -qi '\.psg$\|\.mus$' && fail "the close box saved the recording"
echo "save_psg: saved with Enter, discarded with the close box"
