#!/bin/bash
# archives.sh HEADLESS ROMS CMAKE
# Games in archives, made here from our own test programs with CMake's
# archiver: a .zip or .7z holding one game runs as the game itself (the
# board and the console told from the game inside), and saves beside the
# archive under the archive's name. An archive with no game, with two, or
# damaged, ends a run it was named for with the reason, and dropped on a
# running game is refused with the reason while the game runs on untouched.
set -u
headless=$1
roms=$2
cmake=$3

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cd "$scratch"
export XDG_DATA_HOME="$scratch/data"

fail() {
    echo "archives: $*" >&2
    exit 1
}

# hash ARGUMENTS...: the run's machine and picture CRCs; it must end normally.
hash() {
    "$headless" --hash --frames 60 "$@" 2>&1 | grep crc32 || fail "tarven-headless $* failed"
}

# refused ARCHIVE REASON: a run named for ARCHIVE ends with status 255 and REASON.
refused() {
    local output status=0
    output=$("$headless" --frames 5 "$1" 2>&1) || status=$?
    [ "$status" -eq 255 ] || fail "$1 ended with status $status"
    echo "$output" | grep -qF "$2" || fail "$1 gave no reason \"$2\": $output"
}

cp "$roms/sega_mapper.sms" "$roms/codemasters_mapper.sms" "$roms/tarven-demo-gg.gg" "$roms/tms_modes_sg.sg" .
"$cmake" -E tar cf sega.zip --format=zip sega_mapper.sms
"$cmake" -E tar cf codemasters.7z --format=7zip codemasters_mapper.sms
"$cmake" -E tar cf handheld.zip --format=zip tarven-demo-gg.gg
"$cmake" -E tar cf sg1000.zip --format=zip tms_modes_sg.sg
echo "notes" >notes.txt
"$cmake" -E tar cf nogame.zip --format=zip notes.txt
"$cmake" -E tar cf two.7z --format=7zip sega_mapper.sms tarven-demo-gg.gg
head -c "$(($(stat -c %s sega.zip) / 2))" sega.zip >damaged.zip

all_pass="picture-crc32 78109f99"
hash sega.zip | grep -qx "$all_pass" || fail "the Sega mapper's checks fail from sega.zip"
[ "$(stat -c %s sega.SAV)" = 32768 ] || fail "no sega.SAV beside the archive"
[ ! -e sega_mapper.SAV ] || fail "the save is named after the game, not the archive"
hash codemasters.7z | grep -qx "$all_pass" || fail "the Codemasters checks fail from codemasters.7z"
[ "$(hash handheld.zip)" = "$(hash tarven-demo-gg.gg)" ] || fail "handheld.zip runs otherwise than its Game Gear game"
[ "$(hash sg1000.zip)" = "$(hash tms_modes_sg.sg)" ] || fail "sg1000.zip runs otherwise than its SG-1000 game"

refused nogame.zip "nogame.zip holds no .sms, .gg, .sg or .sc game"
refused two.7z "two.7z holds more than one game"
refused damaged.zip "damaged.zip is damaged"
refused missing.zip "missing.zip could not be opened: No such file or directory"

printf '%s\n' "10 drop nogame.zip" "20 drop two.7z" "30 drop damaged.zip" >drops.txt
# The popups show in the picture: the machine is what must not change. The
# log is that of the last run.
plain=$(hash sega_mapper.sms | grep machine)
[ "$(hash sega_mapper.sms --input drops.txt | grep machine)" = "$plain" ] ||
    fail "the dropped archives changed the running game"
for reason in "nogame.zip holds no" "two.7z holds more than one game" "damaged.zip is damaged"; do
    grep -qF "$reason" tarven.log || fail "no \"$reason\" in the log"
done
echo "ok: archives"
