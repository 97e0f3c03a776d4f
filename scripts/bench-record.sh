#!/bin/bash
# Benchmark of recording: one update with --record and one without, side by side against two
# virtual meters, each with its wall and processor time, and the size of the recording. About 80 s.
#   scripts/bench-record.sh [build folder, default build/]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath -m "${1:-$root/build}")
source "$root/scripts/lib.sh"
[ -x "$build/r462xe-fwupdate-runner" ] || "$root/scripts/build.sh" "$build"
command -v /usr/bin/time >/dev/null || { echo "needs /usr/bin/time: apt-get install time" >&2; exit 2; }
work=$(mktemp -d /tmp/r462xe-bench-record-XXXXXX)
trap 'kill $(jobs -p) 2>/dev/null || true; rm -rf "$work"' EXIT
make_image "$work" "R462xE bench image - not a real firmware. "

run() {  # name, runner options...
    local name=$1
    shift
    start_meter "$build" "$work/$name.meter" /dev/null || return 1
    QT_QPA_PLATFORM=offscreen /usr/bin/time -f "$name: wall %e s, processor %U + %S s" \
        "$build/r462xe-fwupdate-runner" --port "3=$meter_pty" \
        --folder "$work" --upload --presses 1 "$@" >/dev/null 2>"$work/$name.time" || true
    kill "$meter_pid"
    tail -1 "$work/$name.time"
}
run "without --record" &
run "with --record" --record "$work/session.rec" &
wait
echo "recording of one update: $(stat -c %s "$work/session.rec") bytes, $(wc -l <"$work/session.rec") lines"
