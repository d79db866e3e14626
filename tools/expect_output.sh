#!/bin/sh
# expect_output.sh REGEX PROGRAM [ARGUMENTS...]
# Runs PROGRAM, passes its output through, and fails unless it exits with
# status 0, its standard output or error matches the extended regular
# expression REGEX, and no sanitizer reported anything. Whole-program tests
# use it instead of a pass pattern alone, which would let a crash or a
# sanitizer report after the expected line go unnoticed; the report is looked
# for as well as the status, because a sanitizer told not to halt (or a child
# process's report) leaves the status at 0.
set -u
regex=$1
shift
output=$(mktemp)
trap 'rm -f "$output"' EXIT
"$@" >"$output" 2>&1
status=$?
cat "$output"
if [ "$status" -ne 0 ]; then
    echo "expect_output: exit status $status" >&2
    exit 1
fi
if grep -Eq -- 'ERROR: [A-Za-z]*Sanitizer|runtime error:' "$output"; then
    echo "expect_output: a sanitizer reported a fault" >&2
    exit 1
fi
if ! grep -Eq -- "$regex" "$output"; then
    echo "expect_output: no line matches: $regex" >&2
    exit 1
fi
