#!/bin/bash
# Records the sessions of tests/recordings with the runner (--record) against the virtual meter
# on pseudo-terminals, all at once: a clean update, a rejected block, a meter that falls silent,
# and a meter found in its update mode. Takes about 80 s. A recording from a real meter is made
# the same way with the real cable: r462xe-fwupdate-runner --port N=/dev/ttyUSB0 --upload
# --record FILE.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
out=$root/tests/recordings
work=$(mktemp -d /tmp/r462xe-recordings-XXXXXX)
pids=()
cleanup() { kill "${pids[@]}" 2>/dev/null || true; rm -rf "$work"; }
trap cleanup EXIT
head -c 61440 <(yes "R462xE recorded session - not a real firmware. ") >"$work/R462XE_V307_20200521.QF"

record() {  # name, runner options..., --, meter options...
    local name=$1; shift
    local runner_options=()
    while [ "$1" != "--" ]; do runner_options+=("$1"); shift; done
    shift
    "$build/r462xe-meter-sim" "$@" >"$work/$name.meter" 2>"$work/$name.log" &
    pids+=($!)
    for _ in $(seq 50); do head -1 "$work/$name.meter" 2>/dev/null | grep -q '^/' && break; sleep 0.1; done
    QT_QPA_PLATFORM=offscreen "$build/r462xe-fwupdate-runner" --port "3=$(head -1 "$work/$name.meter")" \
        --folder "$work" "${runner_options[@]}" --record "$out/$name.rec" >"$work/$name.out" || true
    echo "$name: $(grep -c . "$out/$name.rec") lines, $(tail -1 "$out/$name.rec")" >&2
}

record clean-update --upload --presses 1 -- &
record rejected-block --upload --presses 1 -- --reject-block 5 &
record silent-meter --upload --presses 1 -- --silent-from-block 7 &
record update-mode --upload --presses 1 -- --update-mode &
wait
