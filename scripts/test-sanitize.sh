#!/bin/bash
# Builds the virtual-time suites with AddressSanitizer and UndefinedBehaviorSanitizer and runs
# them; a leak that LeakSanitizer reports fails the run like any other error.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build-sanitize
"$root/scripts/install-deps.sh"
(cd "$root" && cmake --preset sanitize >/dev/null)
targets=$(cd "$root/tests/virtual" && for d in */; do
    d=${d%/}; [ "$d" = rig ] || echo "r462xe_${d}_tests"; done)
cmake --build "$build" -j"$(nproc)" --target $targets r462xe_meter_tests
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
cd "$build"
ctest --output-on-failure -j2 -L virtual --timeout 600
