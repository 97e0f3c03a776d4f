#!/bin/bash
# Benchmark of the Windows runner under Wine against the Linux runner: one update each, side by
# side in one run, each against its own virtual meter (r462xe-meter-sim, the same options) on a
# pseudo-terminal, the Windows one mapped as COM3 of a Wine prefix of its own with its own Wine
# server. Prints a table of the update's time (press to success message, from each transcript),
# the whole run's wall time, and the processor time of the Windows side, Wine's server and
# services included; saves it to bench/results-windows.md. Takes about 80 s.
#   scripts/bench-windows.sh   (needs build/ with the runner and meter tool, build-windows/)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/lib.sh"
build=$root/build
runner_exe=$root/build-windows/r462xe-fwupdate-runner.exe
for file in "$build/r462xe-fwupdate-runner" "$build/r462xe-meter-sim" "$runner_exe"; do
    [ -e "$file" ] || { echo "missing $file: build the default and windows presets" >&2; exit 2; }
done
wine=$(command -v wine64 || echo /usr/lib/wine/wine64)
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver)
work=$(mktemp -d /tmp/r462xe-bench-windows-XXXXXX)
export WINEPREFIX=$work/prefix WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
pids=()
cleanup() {
    "$wineserver" --kill 2>/dev/null || true
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT

mkdir -p "$WINEPREFIX" "$work/linux" "$work/windows"
"$wineserver" --persistent </dev/null >/dev/null 2>&1
"$wine" wineboot --init </dev/null >/dev/null 2>&1
"$wine" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f </dev/null >/dev/null 2>&1
for n in $(seq 16); do ln -sfn "$WINEPREFIX/no-port" "$WINEPREFIX/dosdevices/com$n"; done
# The desktop and services that Wine's start-up left running knew no display driver: a fresh
# server, and they start again with the null driver.
"$wineserver" --kill 2>/dev/null || true
"$wineserver" --wait 2>/dev/null || true
"$wineserver" --persistent </dev/null >/dev/null 2>&1
make_image "$work/linux" bench
make_image "$work/windows" bench

start_meter "$build" "$work/linux/meter.out" "$work/linux/meter.log"
pids+=("$meter_pid")
linux_pty=$meter_pty
start_meter "$build" "$work/windows/meter.out" "$work/windows/meter.log"
pids+=("$meter_pid")
ln -sfn "$meter_pty" "$WINEPREFIX/dosdevices/com3"

# Processor seconds (user + system) of every process of this Wine prefix now: its server, its
# services and the runner, found by the prefix in their environment.
ticks=$(getconf CLK_TCK)
wine_cpu() {
    local total=0 pid stat
    for pid in $(pgrep -f "wineserver|\\.exe" || true); do
        { tr '\0' '\n' <"/proc/$pid/environ"; } 2>/dev/null | grep -qx "WINEPREFIX=$WINEPREFIX" ||
            continue
        stat=$(cut -d')' -f2- "/proc/$pid/stat" 2>/dev/null) || continue
        total=$((total + $(awk '{print $12 + $13}' <<<"$stat")))
    done
    echo "$total"
}
cpu_before=$(wine_cpu)

export QT_QPA_PLATFORM=offscreen
started=$(date +%s.%N)
/usr/bin/time -f "%e %U %S" -o "$work/linux/time" "$build/r462xe-fwupdate-runner" \
    --port "1=$linux_pty" --folder "$work/linux" --upload --presses 1 \
    >"$work/linux/transcript" 2>/dev/null &
linux=$!
/usr/bin/time -f "%e %U %S" -o "$work/windows/time" "$wine" "$runner_exe" \
    --port 3=COM3 --folder "Z:${work//\//\\}\\windows" --upload --presses 1 \
    </dev/null >"$work/windows/transcript" 2>"$work/windows/err" &
windows=$!
status=0
wait $linux || status=1
wait $windows || status=1
# The server's and the services' time, read while they still run, besides the runner's own.
cpu_after=$(wine_cpu)
[ $status -eq 0 ] || { echo "an update failed" >&2; for f in "$work"/*/transcript "$work/windows/err"; do tail -n 3 "$f"; done >&2; exit 1; }

# Press to success message: the bar's first 0 to the box, as each transcript times them.
update_seconds() {
    awk '$2 == "ProgressBar1.value" && !start { start = $1 }
         $2 == "msgbox" && /completed successfully/ { print $1 - start; exit }' "$1"
}
linux_update=$(update_seconds "$work/linux/transcript")
windows_update=$(update_seconds "$work/windows/transcript")
read -r linux_wall _ _ <"$work/linux/time"
read -r windows_wall windows_user windows_system <"$work/windows/time"
ratio=$(awk -v w="$windows_update" -v l="$linux_update" 'BEGIN { printf "%.4f", w / l }')
wall_ratio=$(awk -v w="$windows_wall" -v l="$linux_wall" 'BEGIN { printf "%.4f", w / l }')
runner_cpu=$(awk -v u="$windows_user" -v s="$windows_system" 'BEGIN { printf "%.2f", u + s }')
services_cpu=$(awk -v a="$cpu_after" -v b="$cpu_before" -v t="$ticks" 'BEGIN { printf "%.2f", (a - b) / t }')
all_cpu=$(awk -v r="$runner_cpu" -v s="$services_cpu" 'BEGIN { printf "%.2f", r + s }')
share=$(awk -v c="$all_cpu" -v w="$windows_wall" 'BEGIN { printf "%.2f", 100 * c / w }')

table="| figure | Windows runner under Wine | Linux runner | ratio |
| --- | ---: | ---: | ---: |
| update, press to success message (goal: ratio <= 1.01) | ${windows_update} s | ${linux_update} s | ${ratio} |
| whole run, start to end | ${windows_wall} s | ${linux_wall} s | ${wall_ratio} |
| processor time of the Windows side: runner ${runner_cpu} s, Wine's server and services ${services_cpu} s (goal < 1 % of wall) | ${all_cpu} s | | ${share} % |"
results="# Benchmark results: the Windows runner under Wine

Last run of \`scripts/bench-windows.sh\`: $(date -u '+%Y-%m-%d %H:%M UTC'), $(nproc) processors,
load average $(cut -d' ' -f1-3 /proc/loadavg) at the end; commit $(git -C "$root" rev-parse --short HEAD).
Both runners side by side, each against its own virtual meter (every byte paced at 10 bit times).

$table"
printf '%s\n' "$results" >"$root/bench/results-windows.md"
printf '%s\n' "$table"
