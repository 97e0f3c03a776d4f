#!/bin/bash
# Takes two pictures of the window for the documentation, with a virtual meter answering on COM1:
# after start-up (docs/screenshot-startup.png) and in the middle of an update, at about block 20
# (docs/screenshot-update.png). Runs on a virtual X display (xvfb-run); needs the Debian packages
# xvfb, x11-utils (xwininfo) and imagemagick (import). R462XE_BUILD names another build folder.
#   scripts/screenshot.sh [start-up.png [update.png]]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${R462XE_BUILD:-$root/build}
startup_png=$(realpath -m "${1:-$root/docs/screenshot-startup.png}")
update_png=$(realpath -m "${2:-$root/docs/screenshot-update.png}")
source "$root/scripts/lib.sh"

for tool in xvfb-run xwininfo import; do
    command -v "$tool" >/dev/null ||
        { echo "$tool is missing: apt-get install xvfb x11-utils imagemagick" >&2; exit 2; }
done
if [ ! -x "$build/r462xe-fwupdate-runner" ] || [ ! -x "$build/r462xe-meter-sim" ]; then
    [ -f "$build/CMakeCache.txt" ] || (cd "$root" && cmake --preset default -B "$build")
    cmake --build "$build" -j1 --target r462xe-fwupdate-runner r462xe-meter-sim
fi

work=$(mktemp -d /tmp/r462xe-screenshot-XXXXXX)
trap 'rm -rf "$work"' EXIT
make_image "$work"
mkdir -p "$(dirname "$startup_png")" "$(dirname "$update_png")"

cat >"$work/capture.sh" <<'INNER'
set -euo pipefail
root=$1 build=$2 work=$3 startup_png=$4 update_png=$5
source "$root/scripts/lib.sh"
meter_pid= runner=
trap 'kill $runner $meter_pid 2>/dev/null || true' EXIT
start_meter "$build" "$work/meter.log" "$work/meter.log"
port=$meter_pty

# Waits until the transcript has a line ending in this text (at most a minute).
wait_for() {
    for _ in $(seq 600); do
        grep -qs -- "$1\$" "$work/transcript" && return 0
        sleep 0.1
    done
    cat "$work/transcript" "$work/runner.err" >&2
    return 1
}
capture() {
    local window
    window=$(xwininfo -root -tree | grep 'Firmware Update Software' | head -1 | awk '{print $1}')
    [ -n "$window" ] || { echo "window not found" >&2; return 1; }
    import -window "$window" "$1"
}

"$build/r462xe-fwupdate-runner" --stay --folder "$work" --port "1=$port" \
    >"$work/transcript" 2>"$work/runner.err" &
runner=$!
# Start-up has ended once the search button is handed back.
wait_for 'Command1.enabled true'
sleep 0.5
capture "$startup_png"
kill "$runner"
wait "$runner" 2>/dev/null || true

# A second run presses "Upload Firmware" on the same meter; the picture is taken as block 20 goes
# out, a third of the way through.
"$build/r462xe-fwupdate-runner" --upload --folder "$work" --port "1=$port" \
    >"$work/transcript" 2>"$work/runner.err" &
runner=$!
wait_for 'ProgressBar1.value 20'
sleep 0.2
capture "$update_png"
INNER

# 96 dots per inch: the layout's 15 twips to a pixel.
xvfb-run -a -s "-screen 0 1024x768x24 -dpi 96" bash "$work/capture.sh" "$root" "$build" "$work" \
    "$startup_png" "$update_png"
echo "saved $startup_png and $update_png"
