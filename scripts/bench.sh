#!/bin/bash
# Benchmark of one whole run in real time: the runner searches COM1 to COM16 (terminals without a
# meter on the first numbers, the virtual meter after them) and updates the meter. Prints a table
# of each figure against what it cannot go below, measured in that one run; then runs a bench of
# three runners at once, each with its own terminals and meter, against the one alone. Saves the
# table with the machine's description to bench/results.md. Takes about 200 s of wall time and
# almost no processor time. Builds the benchmark target of the build folder.
#   scripts/bench.sh [build folder, default build/] [terminals without meter, default 2]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath -m "${1:-$root/build}")
bare=${2:-2}

[ -f "$build/CMakeCache.txt" ] || "$root/scripts/build.sh" "$build"
cmake --build "$build" -j2 --target r462xe_bench >/dev/null

export QT_QPA_PLATFORM=offscreen
table=$("$build/r462xe_bench" --bare "$bare")

cpu=$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//')
commit=$(git -C "$root" rev-parse --short HEAD 2>/dev/null || echo unknown)
git -C "$root" diff --quiet HEAD 2>/dev/null || commit="$commit, working tree modified"
results=$(cat <<EOF
# Benchmark results

Last run of \`scripts/bench.sh\`:

- date: $(date -u '+%Y-%m-%d %H:%M UTC')
- machine: $(nproc) processors, $cpu; kernel $(uname -r); load average $(cut -d' ' -f1-3 /proc/loadavg) at the end
- programs: \`$build\`, commit $commit
- virtual meter: every byte paced at 10 bit times, replies after 5 ms

$table

The update's floor is what no implementation of the exchange can go below: the waits after
"UPGR 1" (9 + 3 s) and "UPGR 0" (10 s), the identification that follows (4.5 s of waits), the 60
block frames of 1026 bytes on the line at 19200 baud and the meter's 60 one-byte verdicts. The
timer reads each verdict on its next 100 ms tick, which allows up to 0.1 s more per block. The
search's reference is the sum of the waits that the probe and the identification make for exactly
the ports present in this run.

The last three rows are a service bench: that many runners started at once, each on its own
terminals and virtual meter (one runner per cable); their wall time runs from the first launch to
the last success message, against the same span of the run alone.
EOF
)
printf '%s\n' "$results" >"$root/bench/results.md"
printf '%s\n' "$results"
