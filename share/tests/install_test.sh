#!/bin/bash
# install_test.sh BUILD SCRATCH EXPECTED HEADLESS DEMO WAV_MEASURE PLAY_THEN_INTERRUPT
# Installs the build tree BUILD with cmake --install into SCRATCH/prefix and
# checks the installation with the tools the desktop itself uses:
#   - it holds exactly the files listed in EXPECTED (comments and blank lines
#     aside), so a file forgotten or installed by mistake is noticed;
#   - desktop-file-validate passes the desktop entry and appstreamcli (offline,
#     strict) the AppStream metadata;
#   - man renders each manual page without a single warning;
#   - each icon is a PNG of the size its folder names;
#   - the installed tarven-headless runs the installed demo to the same
#     picture as the build tree's HEADLESS on DEMO;
#   - the desktop entry's command, with the installed programs first on the
#     PATH, plays the file it is given: the demo's tune is heard in the WAV
#     file its sound goes to (the menus alone are silent).
set -eu
build=$1
scratch=$2
expected=$3
headless=$4
demo=$5
wav_measure=$6
. "$7"

fail() {
    echo "install test: $*" >&2
    exit 1
}

rm -rf "$scratch"
mkdir -p "$scratch/run"
prefix=$scratch/prefix
cmake --install "$build" --prefix "$prefix" >"$scratch/install.log" || {
    cat "$scratch/install.log"
    fail "cmake --install failed"
}

grep -v -e '^#' -e '^$' "$expected" | sort >"$scratch/expected.txt"
(cd "$prefix" && find . -type f -o -type l) | sed 's|^\./||' | sort >"$scratch/installed.txt"
diff -u "$scratch/expected.txt" "$scratch/installed.txt" ||
    fail "the installed files differ from $expected (- missing, + not listed)"

desktop_file=$prefix/share/applications/tarven.desktop
desktop-file-validate "$desktop_file" || fail "desktop-file-validate refused tarven.desktop"
for metainfo in "$prefix"/share/metainfo/*.metainfo.xml; do
    appstreamcli validate --no-net --strict "$metainfo" || fail "appstreamcli refused $metainfo"
done

for page in "$prefix"/share/man/man*/*; do
    warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null) || fail "man cannot show $page"
    [ -z "$warnings" ] || fail "man warns about $page: $warnings"
done

for icon in "$prefix"/share/icons/hicolor/*/apps/tarven.png; do
    size=$(basename "$(dirname "$(dirname "$icon")")")
    found=$(identify -format '%m %wx%h' "$icon") || fail "$icon is no picture"
    [ "$found" = "PNG $size" ] || fail "$icon is $found, not PNG $size"
done

# RetroArch finds the installed core and its information file through it.
for file in lib/libretro/tarven_libretro.so share/libretro/info/tarven_libretro.info; do
    grep -q "^libretro_[a-z_]* = \"$prefix/$(dirname "$file")\"\$" "$prefix/share/tarven/retroarch.cfg" ||
        fail "share/tarven/retroarch.cfg does not lead RetroArch to $file"
done

installed_demo=$prefix/share/tarven/tarven-demo.sms
picture_crc() {
    "$@" --frames 300 --hash | awk '$1 == "picture-crc32" { print $2 }'
}
built=$(cd "$scratch/run" && picture_crc "$headless" "$demo")
installed=$(cd "$scratch/run" && picture_crc "$prefix/bin/tarven-headless" "$installed_demo")
[ -n "$built" ] || fail "the build tree's tarven-headless printed no picture CRC"
[ "$installed" = "$built" ] ||
    fail "the installed tarven-headless drew $installed on the installed demo, the build tree's $built"

exec_line=$(sed -n 's/^Exec=//p' "$desktop_file")
[ "${exec_line% %f}" != "$exec_line" ] || fail "Exec=$exec_line does not end with the file (%f)"
command=${exec_line% %f}
cd "$scratch/run"
play_then_interrupt env PATH="$prefix/bin:$PATH" TARVEN_AUDIO_OUT=sound.wav $command "$installed_demo"
rms=$("$wav_measure" sound.wav segment 0 44100 | awk '$1 == "rms-left" { print $2 }')
awk -v rms="$rms" 'BEGIN { exit !(rms > 0.01) }' || fail "Exec=$exec_line did not play the demo (sound level $rms)"

echo "installation checked"
