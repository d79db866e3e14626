#!/bin/sh
# run_in_scratch.sh PROGRAM ROM [ARGUMENTS...]
# Runs PROGRAM on ROM from a fresh scratch directory that holds a link to the
# ROM, so that the files derived from the ROM's name (cartridge RAM, save
# states) land in the scratch directory and never beside the shared ROM. The
# per-user folders (saves, settings, log) lie in it too: no file of the
# user's plays a part or is touched.
set -eu
program=$1
rom=$2
shift 2
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
ln -s "$(realpath "$rom")" "$scratch/$(basename "$rom")"
cd "$scratch"
export XDG_DATA_HOME="$scratch/.local/share" XDG_CONFIG_HOME="$scratch/.config" XDG_STATE_HOME="$scratch/.local/state"
"$program" "$@" "$(basename "$rom")"
