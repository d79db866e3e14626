#!/bin/sh
# golden_picture.sh NAME GOLDEN.png CRC SCRATCH PICTURE-DIFF PROGRAM [ARGUMENTS...]
# A golden-picture check. Runs PROGRAM ARGUMENTS --hash --screenshot NAME.png
# in the directory SCRATCH (emptied first) and passes when the program exits
# with status 0, prints "picture-crc32 CRC", and the golden picture GOLDEN.png
# kept in the repository has that CRC too.
# On a mismatch the new picture (NAME.png) and a difference image
# (NAME.diff.png: changed pixels red) are left in SCRATCH to look at; to
# accept the new picture, copy NAME.png over GOLDEN.png and update CRC.
set -u
name=$1
golden=$2
crc=$3
scratch=$4
picture_diff=$5
shift 5

rm -rf "$scratch"
mkdir -p "$scratch"
cd "$scratch" || exit 1
"$@" --hash --screenshot "$name.png" >output.txt 2>&1
status=$?
cat output.txt
if [ "$status" -ne 0 ]; then
    echo "golden_picture: $1 exited with status $status" >&2
    exit 1
fi
got=$(sed -n 's/^picture-crc32 //p' output.txt)
failed=0
if [ "$got" != "$crc" ]; then
    echo "golden_picture: picture-crc32 $got, expected $crc" >&2
    failed=1
fi
if [ ! -f "$golden" ]; then
    echo "golden_picture: no golden picture $golden" >&2
    failed=1
else
    kept=$("$picture_diff" --crc "$golden" | sed -n 's/^picture-crc32 //p')
    if [ "$kept" != "$crc" ]; then
        echo "golden_picture: $golden has picture-crc32 $kept, not $crc" >&2
        failed=1
    fi
    "$picture_diff" "$golden" "$name.png" "$name.diff.png"
fi
if [ "$failed" -ne 0 ]; then
    echo "golden_picture: new picture and difference image in $scratch" >&2
    exit 1
fi
