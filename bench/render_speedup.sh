#!/bin/sh
# Compares the rendering cost of two builds of tarven-headless on every
# homebrew game: the time a frame takes with rendering less the time without
# video, in microseconds, for each build, and how many times faster the new
# build renders. The builds run alternately, ROUNDS times each, and each
# figure is the median of its rounds, so that a machine busy with other work
# disturbs both alike. The last lines are the median speed-up over the games
# and the median speed of the whole machine with rendering, the new build's
# as a multiple of the old one's.
# usage: [MEASURE=cpu] bench/render_speedup.sh OLD_BUILD NEW_BUILD [FRAMES] [ROUNDS] [BPP]
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
old=$1/programs/tarven-headless/tarven-headless
new=$2/programs/tarven-headless/tarven-headless
frames=${3:-3000}
rounds=${4:-5}
bpp=${5:-32}
games=$root/../shared/testroms/homebrew

median() {
    sort -g | awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

# Microseconds per frame of one run, by the clock (as the program's --bench
# measures it) or, with MEASURE=cpu, by the processor time the run used
# (less disturbed by other work on a busy machine; start-up is counted too,
# but alike with and without video, so that it drops out of the difference).
frame_time() {
    if [ "${MEASURE:-clock}" = cpu ]; then
        # The second line of times: the user and system time of the
        # subshell's children, as 0m1.230000s.
        ("$root/tools/run_in_scratch.sh" "$1" "$2" --frames "$frames" --bpp "$bpp" $3 >/dev/null && times) |
            awk -v n="$frames" 'NR == 2 { split($1 "m" $2, t, "m"); printf "%.3f\n", (t[1] * 60 + t[2] + t[3] * 60 + t[4]) * 1e6 / n }'
    else
        "$root/tools/run_in_scratch.sh" "$1" "$2" --frames "$frames" --bpp "$bpp" --bench $3 |
            awk '/^fps/ { printf "%.3f\n", 1e6 / $2 }'
    fi
}

printf '%-22s %9s %9s %9s %9s %8s %6s\n' game old-render old-novid new-render new-novid speed-up whole
speedups=""
wholes=""
for rom in "$games"/*.sms; do
    samples=""
    round=0
    while [ "$round" -lt "$rounds" ]; do
        for build in old new; do
            eval program=\$$build
            samples="$samples$build-render $(frame_time "$program" "$rom" "")
$build-novideo $(frame_time "$program" "$rom" --no-video)
"
        done
        round=$((round + 1))
    done
    pick() {
        printf '%s' "$samples" | awk -v k="$1" '$1 == k { print $2 }' | median
    }
    old_render=$(pick old-render)
    old_novideo=$(pick old-novideo)
    new_render=$(pick new-render)
    new_novideo=$(pick new-novideo)
    speedup=$(awk -v a="$old_render" -v b="$old_novideo" -v c="$new_render" -v d="$new_novideo" \
        'BEGIN { printf "%.2f", (a - b) / (c - d) }')
    whole=$(awk -v a="$old_render" -v c="$new_render" 'BEGIN { printf "%.3f", a / c }')
    printf '%-22s %9s %9s %9s %9s %8s %6s\n' "$(basename "$rom" .sms)" "$old_render" "$old_novideo" \
        "$new_render" "$new_novideo" "$speedup" "$whole"
    speedups="$speedups$speedup
"
    wholes="$wholes$whole
"
done
printf 'median speed-up %s\n' "$(printf '%s' "$speedups" | median)"
printf 'median whole-machine speed %s\n' "$(printf '%s' "$wholes" | median)"
