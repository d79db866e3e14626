#!/bin/sh
# options.sh PROGRAM...
# Each program prints its usage on standard output and ends with status 0
# for --help, and for an option it does not know prints the usage on
# standard error and ends with status 2, nothing on standard output.
set -u
status=0
fail() {
    echo "FAILED: $*"
    status=1
}
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cd "$scratch"
for program; do
    name=$(basename "$program")
    "$program" --help >out 2>err
    code=$?
    [ $code -eq 0 ] && grep -q "^usage: $name" out && [ ! -s err ] || fail "$name --help: status $code"
    "$program" --bogus >out 2>err
    code=$?
    [ $code -eq 2 ] && grep -q "unknown option --bogus" err && grep -q "^usage: $name" err && [ ! -s out ] ||
        fail "$name --bogus: status $code, $(head -n 1 err)"
done
[ $status -eq 0 ] && echo "usage and unknown options as expected"
exit $status
