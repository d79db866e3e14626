# fixture_runs.sh: sourced by the shell tests of this folder, which are run
# as NAME.sh HEADLESS ROMS SCRIPTS. Sets headless, roms, scripts, here and a
# scratch folder removed at exit, and gives fail MESSAGE and
# run NAME ROM FRAMES SCRIPT...: tarven-headless on ROM (chip_show.sms, or a
# path) in $scratch/NAME laid out by in_fixture.sh, driven by the SCRIPTs
# (scripts/SCRIPT.txt) together; its --hash lines go to $scratch/NAME.hash.
set -u
headless=$1
roms=$2
scripts=$3
here=$(dirname "$(realpath "$0")")
test_name=$(basename "$0" .sh)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
fail() {
    echo "$test_name: $*" >&2
    exit 1
}
run() {
    name=$1 rom=$2 frames=$3
    shift 3
    rm -rf "${scratch:?}/$name"
    mkdir "$scratch/$name"
    for script in "$@"; do cat "$scripts/$script.txt"; done >"$scratch/$name.txt"
    (cd "$scratch/$name" && "$here/in_fixture.sh" "$roms" "$headless" "$rom" --frames "$frames" --hash \
        --input "$scratch/$name.txt" >"$scratch/$name.hash") || fail "$name: tarven-headless failed"
}
