#!/bin/sh
# golden_picture.sh GOLDEN.png CRC SCRATCH PROGRAM [ARGUMENTS...]
# A golden-picture check. Runs PROGRAM ARGUMENTS --hash --screenshot NAME.png
# (NAME being GOLDEN's name without .png) in the folder SCRATCH, emptied
# first, and passes when the program exits with status 0 and prints
# "picture-crc32 CRC". GOLDEN, kept in the repository beside the CRC, shows
# that picture; with the picture-diff tool named by $PICTURE_DIFF the check
# also makes sure GOLDEN has that CRC.
# On a mismatch the new picture (NAME.png) and, with picture-diff, a
# difference image (NAME.diff.png: changed pixels red) are left in SCRATCH to
# look at; to accept the new picture, copy NAME.png over GOLDEN and update
# the CRC.
set -u
golden=$1
crc=$2
scratch=$3
shift 3
name=$(basename "$golden" .png)

rm -rf "$scratch"
mkdir -p "$scratch"
cd "$scratch" || exit 1
# No save of the user's (in the per-user save folder) plays a part.
export XDG_DATA_HOME="$PWD/data"
status=0
# An absolute path, for a COMMAND that runs the program somewhere else
# (tools/run_in_scratch.sh).
"$@" --hash --screenshot "$PWD/$name.png" >output.txt 2>&1 || status=$?
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
elif [ -n "${PICTURE_DIFF:-}" ]; then
    kept=$("$PICTURE_DIFF" --crc "$golden" | sed -n 's/^picture-crc32 //p')
    if [ "$kept" != "$crc" ]; then
        echo "golden_picture: $golden has picture-crc32 $kept, not $crc" >&2
        failed=1
    fi
    [ "$failed" -eq 0 ] || "$PICTURE_DIFF" "$golden" "$name.png" "$name.diff.png"
fi
if [ "$failed" -ne 0 ]; then
    echo "golden_picture: the new picture is in $scratch" >&2
    exit 1
fi
