#!/bin/bash
# Builds the virtual-time suites with AddressSanitizer and UndefinedBehaviorSanitizer and runs
# them (test preset sanitize); a leak that LeakSanitizer reports fails the run like any other
# error.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build-sanitize
"$root/scripts/install-deps.sh"
cd "$root"
cmake --preset sanitize >/dev/null
targets=$(cd "$root/tests/virtual" && for d in */; do
    d=${d%/}; [ "$d" = rig ] || echo "r462xe_${d}_tests"; done)
cmake --build "$build" -j"${CMAKE_BUILD_PARALLEL_LEVEL:-$(nproc)}" --target $targets r462xe_meter_tests
ctest --preset sanitize
