#!/bin/bash
# The window program under Wine on a virtual X display with a window manager (Xvfb, openbox), in a
# Wine prefix of its own: the window shows, finds the virtual meter on COM3, carries its icon in
# the X window's _NET_WM_ICON; minimized, a second start raises it and ends with status 0.
#   wine_window.sh PROGRAM.exe [SCREENSHOT.png]
# Needs R462XE_METER_SIM (the Linux meter tool). With SCREENSHOT, the window is saved there once
# the meter has been found.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
source "$root/scripts/lib.sh"
program=$1
screenshot=${2:-}
wine=$(command -v wine64 || echo /usr/lib/wine/wine64)
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver)
: "${R462XE_METER_SIM:?}"
caption=' Marelind R462xE Firmware Update Software (v3.07)'
work=$(mktemp -d /tmp/r462xe-wine-window-XXXXXX)
export WINEPREFIX=$work/prefix WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset WAYLAND_DISPLAY
xvfb_pid= openbox_pid= meter_pid= first_pid=
cleanup() {
    "$wineserver" --kill 2>/dev/null || true
    for pid in $first_pid $meter_pid $openbox_pid $xvfb_pid; do kill "$pid" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT
failures=0
fail() {
    echo "FAILED: $*" >&2
    failures=$((failures + 1))
}

# A display of its own: Xvfb picks a free number and writes it.
exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=:$(head -1 "$work/display")
openbox >/dev/null 2>&1 &
openbox_pid=$!

mkdir -p "$WINEPREFIX" "$work/program"
"$wineserver" --persistent </dev/null >/dev/null 2>&1
"$wine" wineboot --init </dev/null >/dev/null 2>&1
for n in $(seq 16); do ln -sfn "$WINEPREFIX/no-port" "$WINEPREFIX/dosdevices/com$n"; done
start_meter "$(dirname "$R462XE_METER_SIM")" "$work/meter.out" "$work/meter.log"
ln -sfn "$meter_pty" "$WINEPREFIX/dosdevices/com3"
cp "$program" "$work/program/r462xe-fwupdate.exe"
make_image "$work/program" "window under Wine"

"$wine" "$work/program/r462xe-fwupdate.exe" </dev/null >"$work/first.out" 2>&1 &
first_pid=$!
window=
for _ in $(seq 300); do
    window=$(xdotool search --name "R462xE Firmware Update Software" 2>/dev/null | head -1) && [ -n "$window" ] && break
    sleep 0.1
done
[ -n "$window" ] || { fail "no window named \"$caption\""; exit 1; }
# The search is done when the meter has answered its identification.
for _ in $(seq 300); do
    grep -q "meter->host" "$work/meter.log" && break
    sleep 0.1
done
sleep 3
if [ -n "$screenshot" ]; then
    import -frame -window "$window" "$screenshot"
fi

icon=$(xprop -id "$window" _NET_WM_ICON)
[[ $icon == "_NET_WM_ICON(CARDINAL)"* ]] || fail "no icon on the window: ${icon:0:80}"
for size in "16 x 16" "32 x 32"; do
    grep -q -F "Icon ($size):" <<<"$icon" || fail "no $size icon in _NET_WM_ICON"
done

hidden() { xprop -id "$window" _NET_WM_STATE | grep -q _NET_WM_STATE_HIDDEN; }
xdotool windowminimize "$window"
for _ in $(seq 50); do hidden && break; sleep 0.1; done
hidden || fail "the window did not minimize"
second=0
timeout 60 "$wine" "$work/program/r462xe-fwupdate.exe" </dev/null >"$work/second.out" 2>&1 ||
    second=$?
[ "$second" -eq 0 ] || fail "the second start ended with $second"
raised=0
for _ in $(seq 50); do hidden || { raised=1; break; }; sleep 0.1; done
[ $raised -eq 1 ] || fail "the second start did not raise the minimized window"
kill -0 "$first_pid" 2>/dev/null || fail "the first instance ended"
[ $failures -eq 0 ] || exit 1
echo "window: passed"
