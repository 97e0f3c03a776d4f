#!/bin/bash
# Takes a picture of the window after start-up, with a virtual meter answering on COM1, for the
# documentation: docs/screenshot-startup.png. Runs on a virtual X display (xvfb-run); needs the
# Debian packages xvfb, x11-utils (xwininfo) and imagemagick (import).
#   scripts/screenshot.sh [output.png]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build-qt
output=$(realpath -m "${1:-$root/docs/screenshot-startup.png}")

for tool in xvfb-run xwininfo import; do
    command -v "$tool" >/dev/null ||
        { echo "$tool is missing: apt-get install xvfb x11-utils imagemagick" >&2; exit 2; }
done
if [ ! -x "$build/r462xe-fwupdate-runner" ] || [ ! -x "$build/r462xe-meter-sim" ]; then
    [ -f "$build/CMakeCache.txt" ] || cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Debug
    cmake --build "$build" -j1 --target r462xe-fwupdate-runner r462xe-meter-sim
fi

work=$(mktemp -d /tmp/r462xe-screenshot-XXXXXX)
trap 'rm -rf "$work"' EXIT
head -c 61440 /dev/zero >"$work/R462XE_V307_20200521.QF"
mkdir -p "$(dirname "$output")"

cat >"$work/capture.sh" <<'INNER'
set -euo pipefail
build=$1 work=$2 output=$3
"$build/r462xe-meter-sim" >"$work/meter.log" 2>&1 &
meter=$!
trap 'kill $meter 2>/dev/null || true' EXIT
# The meter tool names its pseudo-terminal on its first line.
for _ in $(seq 50); do head -1 "$work/meter.log" | grep -q '^/' && break; sleep 0.1; done
"$build/r462xe-fwupdate-runner" --stay --folder "$work" --port "1=$(head -1 "$work/meter.log")" \
    >"$work/transcript" 2>"$work/runner.err" &
runner=$!
trap 'kill $runner $meter 2>/dev/null || true' EXIT
# Start-up has ended once the search button is handed back.
for _ in $(seq 600); do
    grep -q 'Command1.enabled true' "$work/transcript" && break
    sleep 0.1
done
grep -q 'Command1.enabled true' "$work/transcript" || { cat "$work/transcript" "$work/runner.err" >&2; exit 1; }
sleep 0.5
window=$(xwininfo -root -tree | grep 'Firmware Update Software' | head -1 | awk '{print $1}')
[ -n "$window" ] || { echo "window not found" >&2; exit 1; }
import -window "$window" "$output"
INNER

# 96 dots per inch: the layout's 15 twips to a pixel.
xvfb-run -a -s "-screen 0 1024x768x24 -dpi 96" bash "$work/capture.sh" "$build" "$work" "$output"
echo "saved $output"
