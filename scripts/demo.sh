#!/bin/bash
# The demo: updates a virtual meter from end to end. Builds everything, starts the virtual meter
# on a pseudo-terminal, writes a made-up firmware image into a scratch folder of its own (never
# beside the program, where a real image may lie), and lets the runner press "Upload Firmware"
# with the meter on COM3: in a window when a display is there, offscreen with the transcript
# otherwise. The update history goes to the scratch folder, not the user's own, and is shown
# after the update. Ends with a one-line verdict on the meter's flash.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build
source "$root/scripts/lib.sh"
"$root/scripts/build.sh" "$build"

work=$(mktemp -d /tmp/r462xe-demo-XXXXXX)
meter_pid=
cleanup() {
    [ -n "$meter_pid" ] && kill "$meter_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

# A made-up image of the right length: a repeated sentence, never a real firmware.
make_image "$work" "R462xE demo image - not a real firmware. "

start_meter "$build" "$work/meter.out" "$work/meter.log" --expect-image "$work/$image_name"
pty=$meter_pty
echo "virtual meter on $pty as COM3; the update takes about 75 seconds" >&2

if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then export QT_QPA_PLATFORM=offscreen; fi
status=0
XDG_STATE_HOME="$work/state" \
    "$build/r462xe-fwupdate-runner" --port "3=$pty" --folder "$work" --upload || status=$?

echo "update history ($work/state/r462xe-fwupdate/history.csv):"
cat "$work/state/r462xe-fwupdate/history.csv" 2>/dev/null || echo "(none written)"
sleep 0.5
if grep -q "flash matches image" "$work/meter.out"; then
    echo "VERDICT: the meter's flash now equals the firmware image (runner exit $status)"
else
    echo "VERDICT: the meter's flash does NOT equal the firmware image (runner exit $status)"
    exit 1
fi
