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
source "$root/scripts/lib.sh"
work=$(mktemp -d /tmp/r462xe-recordings-XXXXXX)
cleanup() { kill $(jobs -p) 2>/dev/null || true; rm -rf "$work"; }
trap cleanup EXIT
make_image "$work" "R462xE recorded session - not a real firmware. "

record() {  # name, runner options..., --, meter options...
    local name=$1; shift
    local runner_options=()
    while [ "$1" != "--" ]; do runner_options+=("$1"); shift; done
    shift
    start_meter "$build" "$work/$name.meter" "$work/$name.log" "$@" || return 1
    QT_QPA_PLATFORM=offscreen "$build/r462xe-fwupdate-runner" --port "3=$meter_pty" \
        --folder "$work" "${runner_options[@]}" --record "$out/$name.rec" >"$work/$name.out" || true
    kill "$meter_pid" 2>/dev/null || true
    echo "$name: $(grep -c . "$out/$name.rec") lines, $(tail -1 "$out/$name.rec")" >&2
}

record clean-update --upload --presses 1 -- &
record rejected-block --upload --presses 1 -- --reject-block 5 &
record silent-meter --upload --presses 1 -- --silent-from-block 7 &
record update-mode --upload --presses 1 -- --update-mode &
wait
