#!/usr/bin/env bash
# Traces of the simulated host, with the real DLL under wine64.
#   trace_replay.sh record-replay SIMHOST.EXE
#       plays a live session through the interactive mode while recording it, replays the
#       recording twice, and requires all three outputs to be the same.
#   trace_replay.sh fixtures SIMHOST.EXE [--regenerate]
#       replays every tests/e2e/traces/*.session and compares with its .expected output.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)
mode=$1
simhost=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

run() { "$root/tools/wine-run" "$simhost" "$@"; }
# Log lines carry no time stamps; should one slip into a text, it must not count.
without_times() { sed -E 's/[0-9]{2}:[0-9]{2}:[0-9]{2}\.[0-9]{3}/hh:mm:ss.mmm/g' "$1"; }
fail() { echo "FAIL: $*" >&2; exit 1; }

case "$mode" in
record-replay)
    # What an operator does at the pendant and the host, typed live. One refused command
    # ("axis 9") must be answered and left out of the trace.
    cat >"$work/live.in" <<'EOF'
board 0x07
tick 3
board 0x88
tick 3
board 0x8A
tick 2
board 0x92
tick 2
inc 0.5
tick
axis 4
axis 9
tick
reads 0x92 0x12 0x92
tick 2
board 0x07
tick 2
mode mpg
tick
units inch
jog-enabled off
board 0x88
tick 2
jog-enabled on
tick 2
board 0x07
tick 2
notify 11
debuglevel 5
tick
debuglevel 4
board 0x00
tick 3
close-alerts
board 0x07
estop on
tick
estop off
tick 2
reads fail
tick 2
port2 off
estop on
tick
port2 on
estop off
tick 2
mode incremental
EOF
    run --interactive --record "$work/recorded.session" <"$work/live.in" >"$work/live.out"
    [ "$(grep -c '^ERROR ' "$work/live.out")" -eq 1 ] || fail "the refused command was not answered once"
    grep -v '^ERROR ' "$work/live.out" >"$work/live.kept"
    grep -q '^axis 9' "$work/recorded.session" && fail "a refused command went into the trace"
    ticks=$(awk '$1 == "tick" { n += (NF > 1 ? $2 : 1) } END { print n }' "$work/live.in")
    [ "$(grep -c '^tick$' "$work/recorded.session")" -eq "$ticks" ] || fail "the trace does not have the $ticks ticks"
    [ "$(grep -c '^STATE ' "$work/live.kept")" -eq "$ticks" ] || fail "not one STATE line per tick"
    tail -1 "$work/recorded.session" | grep -qx 'mode incremental' || fail "the commands after the last tick are lost"

    run --machine "$work/recorded.session" >"$work/replay1.out"
    run --machine "$work/recorded.session" >"$work/replay2.out"
    diff <(without_times "$work/live.kept") <(without_times "$work/replay1.out") ||
        fail "the replay differs from the live session"
    diff <(without_times "$work/replay1.out") <(without_times "$work/replay2.out") ||
        fail "two replays of one trace differ"
    # The trace is a session like any other: the human view plays it too.
    run "$work/recorded.session" >"$work/replay.view" || fail "the human view cannot play the trace"
    [ "$(grep -c '^tick ' "$work/replay.view")" -eq "$ticks" ] || fail "the human view shows other ticks"
    echo "live session, its recording and two replays agree: $ticks ticks, $(grep -c '^reads ' "$work/recorded.session") with board reads"
    ;;
fixtures)
    regenerate=${3:-}
    count=0
    for trace in "$here"/traces/*.session; do
        expected=${trace%.session}.expected
        run --machine "$trace" >"$work/out"
        if [ "$regenerate" = "--regenerate" ]; then
            cp "$work/out" "$expected"
            echo "regenerated $(basename "$expected")"
        else
            [ -f "$expected" ] || fail "no expected output for $(basename "$trace")"
            diff <(without_times "$expected") <(without_times "$work/out") ||
                fail "$(basename "$trace") no longer gives its expected output (if the change is" \
                     "meant, regenerate: $0 fixtures $simhost --regenerate, and review the diff)"
        fi
        count=$((count + 1))
    done
    [ $count -gt 0 ] || fail "no trace fixtures"
    echo "$count trace fixture(s) replayed as expected"
    ;;
*)
    fail "unknown mode $mode"
    ;;
esac
