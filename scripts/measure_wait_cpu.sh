#!/bin/bash
# Processor time the updater uses while it waits: runs the runner against two pseudo-terminals
# where no meter answers, so start-up spends its time in the search's waits, and reads the
# runner's user+system time from /proc across 10 seconds of those waits. Target: below 0.2 s.
#   scripts/measure_wait_cpu.sh [build folder]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
runner=$build/r462xe-fwupdate-runner
[ -x "$runner" ] || { echo "no runner at $runner; build r462xe-fwupdate-runner first" >&2; exit 2; }
source "$root/scripts/lib.sh"
folder=$(mktemp -d /tmp/r462xe-cpu-XXXXXX)
trap 'rm -rf "$folder"' EXIT
make_image "$folder"

python3 - "$runner" "$folder" <<'PY'
import os, pty, subprocess, sys, threading, time, tty

runner, folder = sys.argv[1], sys.argv[2]
WINDOW = 10.0
LIMIT = 0.2

ports = []
for _ in range(2):
    master, slave = pty.openpty()
    tty.setraw(master)
    ports.append((master, slave, os.ttyname(slave)))

def drain(fd):
    while True:
        try:
            if not os.read(fd, 4096):
                return
        except OSError:
            return

for master, _, _ in ports:
    threading.Thread(target=drain, args=(master,), daemon=True).start()

args = [runner, "--folder", folder, "--stay"]
for number, (_, _, path) in enumerate(ports, start=1):
    args += ["--port", f"{number}={path}"]
env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
child = subprocess.Popen(args, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True, env=env)

lines = []
def read_transcript():
    for line in child.stdout:
        lines.append(line)
threading.Thread(target=read_transcript, daemon=True).start()

def cpu_seconds():
    fields = open(f"/proc/{child.pid}/stat").read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")

try:
    # The controls are disabled just before the search starts waiting.
    deadline = time.monotonic() + 20
    while not any(line.split()[1:] == ["Command2.enabled", "false"] for line in lines):
        if time.monotonic() > deadline or child.poll() is not None:
            sys.exit("start-up did not begin:\n" + "".join(lines))
        time.sleep(0.05)
    time.sleep(0.5)
    wall0, cpu0 = time.monotonic(), cpu_seconds()
    time.sleep(WINDOW)
    wall1, cpu1 = time.monotonic(), cpu_seconds()
    still_searching = not any("Command1.enabled true" in line for line in lines)
finally:
    child.kill()
    child.wait()

used = cpu1 - cpu0
print(f"processor time while waiting: {used:.2f} s over {wall1 - wall0:.1f} s wall "
      f"(target < {LIMIT} s per 10 s)")
if not still_searching:
    print("note: start-up ended inside the window; part of it was the idle window", file=sys.stderr)
sys.exit(0 if used < LIMIT else 1)
PY
