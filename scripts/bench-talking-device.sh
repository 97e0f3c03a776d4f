#!/bin/bash
# Benchmark of an idle window beside a device that talks: after the search the port stays open,
# and a device that is not a meter (a position receiver, another instrument) sends 1,920 bytes a
# second without a line feed. Runs the runner with --stay, without and with --record, side by side,
# and samples its resident memory and processor time every 30 s; both must stay flat. Writes the
# table to bench/talking-device.md. Takes the given seconds (default 600) of wall time.
#   scripts/bench-talking-device.sh [seconds] [build folder, default build/] [label]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-600}
build=$(realpath -m "${2:-$root/build}")
label=${3:-$(git -C "$root" rev-parse --short HEAD 2>/dev/null || echo unknown)}
source "$root/scripts/lib.sh"
[ -x "$build/r462xe-fwupdate-runner" ] || "$root/scripts/build.sh" "$build"
work=$(mktemp -d /tmp/r462xe-bench-talk-XXXXXX)
trap '[ -n "${KEEP:-}" ] || rm -rf "$work"' EXIT
make_image "$work" "R462xE bench image - not a real firmware. "

export QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR=$work
/usr/bin/python3 - "$build/r462xe-fwupdate-runner" "$work" "$seconds" "$label" \
    >"$work/table" <<'PYTHON'
import os, pty, subprocess, sys, time

runner, work, seconds, label = sys.argv[1], sys.argv[2], float(sys.argv[3]), sys.argv[4]
tick = os.sysconf("SC_CLK_TCK")

def sample(pid):
    with open(f"/proc/{pid}/status") as status:
        rss = next(int(l.split()[1]) for l in status if l.startswith("VmRSS:"))
    with open(f"/proc/{pid}/stat") as stat:
        fields = stat.read().rsplit(")", 1)[1].split()
    return rss / 1024, (int(fields[11]) + int(fields[12])) / tick

runs = []
for name, extra in (("without --record", []), ("with --record", ["--record", f"{work}/talk.rec"])):
    master, slave = pty.openpty()
    os.set_blocking(master, False)
    child = subprocess.Popen([runner, "--port", f"1={os.ttyname(slave)}", "--folder", work,
                              "--stay"] + extra, stdout=subprocess.DEVNULL,
                             stderr=subprocess.DEVNULL)
    runs.append({"name": name, "master": master, "slave": slave, "child": child, "samples": []})

# 1,920 bytes a second, 192 every 100 ms, never a line feed; what the runner does not take in is
# left to the terminal (its buffer is the system's, not the program's).
talk = bytes(0x41 + i % 26 for i in range(192))
start = time.monotonic()
next_sample = start
while time.monotonic() - start < seconds:
    for run in runs:
        try:
            os.write(run["master"], talk)
        except BlockingIOError:
            pass
    now = time.monotonic()
    if now >= next_sample:
        for run in runs:
            run["samples"].append((now - start,) + sample(run["child"].pid))
        next_sample += 30
    time.sleep(0.1)
for run in runs:
    run["samples"].append((time.monotonic() - start,) + sample(run["child"].pid))
    run["child"].kill()
    run["child"].wait()

print(f"| runner ({label}) | memory after 30 s | memory at the end | processor time, first 30 s | processor time, last 30 s | processor time in all |")
print("| --- | ---: | ---: | ---: | ---: | ---: |")
for run in runs:
    s = run["samples"]
    first = next(x for x in s if x[0] >= 30) if any(x[0] >= 30 for x in s) else s[-1]
    last_window = [x for x in s if x[0] >= s[-1][0] - 30.5]
    print(f"| {run['name']}, {s[-1][0]:.0f} s | {first[1]:.1f} MiB | {s[-1][1]:.1f} MiB | "
          f"{first[2]:.2f} s | {s[-1][2] - last_window[0][2]:.2f} s | {s[-1][2]:.2f} s |")
PYTHON
cat "$work/table"
{
    echo "# An idle window beside a talking device"
    echo
    echo "Last run of \`scripts/bench-talking-device.sh $seconds\`, $(date -u '+%Y-%m-%d %H:%M UTC'):"
    echo "a device sends 1,920 bytes a second without a line feed to the port the search left open."
    echo
    cat "$work/table"
} >"$root/bench/talking-device-$label.md"
