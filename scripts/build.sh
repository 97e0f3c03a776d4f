#!/bin/bash
# Configures and builds everything with a preset of CMakePresets.json (default: into build/; ci:
# warnings as errors, into build-ci/), or into the folder given. As many compilers at once as
# there are processors, or CMAKE_BUILD_PARALLEL_LEVEL.
#   scripts/build.sh [--preset NAME] [build folder]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
preset=default
if [ "${1:-}" = --preset ]; then
    preset=$2
    shift 2
fi
jobs=${CMAKE_BUILD_PARALLEL_LEVEL:-$(nproc)}
"$root/scripts/install-deps.sh"
if [ $# -gt 0 ]; then
    build=$(realpath -m "$1")
    (cd "$root" && cmake --preset "$preset" -B "$build" >/dev/null)
    cmake --build "$build" -j"$jobs"
else
    cd "$root"
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" -j"$jobs"
fi
