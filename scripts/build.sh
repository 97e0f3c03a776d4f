#!/bin/bash
# Configures and builds everything into build/ (or the folder given).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
"$root/scripts/install-deps.sh"
(cd "$root" && cmake --preset default -B "$build" >/dev/null)
cmake --build "$build" -j"$(nproc)"
