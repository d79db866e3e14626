#!/bin/sh
# expect_failure.sh STATUS REGEX PROGRAM [ARGUMENTS...]
# Runs PROGRAM, passes its output through, and fails unless it exits with
# exactly STATUS and its standard output or error matches the extended
# regular expression REGEX: a refusal that must say why.
set -u
expected=$1
regex=$2
shift 2
output=$(mktemp)
trap 'rm -f "$output"' EXIT
"$@" >"$output" 2>&1
status=$?
cat "$output"
if [ "$status" -ne "$expected" ]; then
    echo "expect_failure: exit status $status, not $expected" >&2
    exit 1
fi
if ! grep -Eq -- "$regex" "$output"; then
    echo "expect_failure: no line matches: $regex" >&2
    exit 1
fi
