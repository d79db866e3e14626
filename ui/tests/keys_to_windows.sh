#!/bin/sh
# keys_to_windows.sh HEADLESS ROMS SCRIPTS
# Keys typed into a window reach neither the game nor the hot keys, nor a
# window beneath it: tarven-headless runs in scratch folders laid out by
# in_fixture.sh, over chip_show and over the demo.
. "$(dirname "$(realpath "$0")")/fixture_runs.sh"

machine_of() {
    grep machine-crc32 "$scratch/$1.hash"
}

run bind_f5 chip_show.sms 30 keys_bind_f5
[ ! -e "$scratch/bind_f5/chip_show.ST0" ] || fail "F5 bound in Config Keyboard also saved a state"

run enter_over_selector chip_show.sms 30 keys_enter_over_selector
[ -s "$scratch/enter_over_selector/chip_show.PSG" ] \
    || fail "Enter in Save PSG above the selector did not name the recording (the selector took it too?)"

demo=$roms/tarven-demo.sms
run selector_still "$demo" 40 keys_demo_selector
run selector_typed "$demo" 40 keys_demo_selector keys_demo_selector_typed
[ "$(machine_of selector_still)" = "$(machine_of selector_typed)" ] \
    || fail "keys moving in the selector also steered the game"

run save_psg_still "$demo" 40 keys_demo_save_psg
run save_psg_typed "$demo" 40 keys_demo_save_psg keys_demo_save_psg_typed
[ "$(machine_of save_psg_still)" = "$(machine_of save_psg_typed)" ] \
    || fail "X typed into Save PSG also pressed the game's button 2"
echo "keys_to_windows: keys typed into windows stay there"
