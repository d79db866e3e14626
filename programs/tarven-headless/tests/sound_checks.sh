# Sourced by the sound tests: value KEY picks KEY's figure from wav_measure's
# output on standard input; check NAME CONDITION prints "ok: NAME" when the
# awk CONDITION holds, and otherwise "FAILED: ..." and sets status to 1.
status=0
value() { awk -v key="$1" '$1 == key { print $2 }'; }
check() {
    if awk "BEGIN { exit !($2) }"; then
        echo "ok: $1"
    else
        echo "FAILED: $1 ($2)"
        status=1
    fi
}
