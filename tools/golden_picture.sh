#!/bin/sh
# golden_picture.sh GOLDEN.png CRC OUTDIR HEADLESS ROM [ARGUMENTS...]
# Runs the headless runner HEADLESS on ROM with ARGUMENTS from the scratch
# folder OUTDIR (emptied first) and fails unless it exits with status 0 and
# its last picture has the CRC-32 CRC. The golden picture GOLDEN.png, kept
# beside the CRC, is what that picture looks like; on a mismatch the new
# picture and, with ImageMagick, a difference image are left in OUTDIR.
set -u
golden=$1
crc=$2
outdir=$3
headless=$4
rom=$5
shift 5
rm -rf "$outdir"
mkdir -p "$outdir"
ln -s "$(realpath "$rom")" "$outdir/$(basename "$rom")"
cd "$outdir"
status=0
"$headless" "$@" --hash --screenshot picture.png "$(basename "$rom")" >output.txt 2>&1 || status=$?
cat output.txt
if [ "$status" -ne 0 ]; then
    echo "golden_picture: exit status $status" >&2
    exit 1
fi
if grep -qx "picture-crc32 $crc" output.txt; then
    exit 0
fi
echo "golden_picture: the picture differs from $golden; new picture: $outdir/picture.png" >&2
if command -v compare >/dev/null 2>&1; then
    compare "$golden" picture.png difference.png 2>/dev/null
    echo "golden_picture: difference image: $outdir/difference.png" >&2
fi
exit 1
