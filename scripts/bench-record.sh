#!/bin/bash
# Benchmark of recording: one update with --record and one without, side by side against two
# virtual meters, each with its wall and processor time, and the size of the recording. About 80 s.
#   scripts/bench-record.sh [build folder, default build/]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath -m "${1:-$root/build}")
[ -x "$build/r462xe-fwupdate-runner" ] || "$root/scripts/build.sh" "$build"
command -v /usr/bin/time >/dev/null || { echo "needs /usr/bin/time: apt-get install time" >&2; exit 2; }
work=$(mktemp -d /tmp/r462xe-bench-record-XXXXXX)
trap 'kill $(jobs -p) 2>/dev/null || true; rm -rf "$work"' EXIT
head -c 61440 <(yes "R462xE bench image - not a real firmware. ") >"$work/R462XE_V307_20200521.QF"

run() {  # name, runner options...
    local name=$1
    shift
    "$build/r462xe-meter-sim" >"$work/$name.meter" 2>/dev/null &
    local meter=$!
    for _ in $(seq 50); do head -1 "$work/$name.meter" 2>/dev/null | grep -q '^/' && break; sleep 0.1; done
    QT_QPA_PLATFORM=offscreen /usr/bin/time -f "$name: wall %e s, processor %U + %S s" \
        "$build/r462xe-fwupdate-runner" --port "3=$(head -1 "$work/$name.meter")" \
        --folder "$work" --upload --presses 1 "$@" >/dev/null 2>"$work/$name.time" || true
    kill "$meter"
    tail -1 "$work/$name.time"
}
run "without --record" &
run "with --record" --record "$work/session.rec" &
wait
echo "recording of one update: $(stat -c %s "$work/session.rec") bytes, $(wc -l <"$work/session.rec") lines"
