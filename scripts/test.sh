#!/bin/bash
# Builds everything and runs every test: the virtual-time suites, the virtual meter's own tests
# and the real-time end-to-end tests over pseudo-terminals.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build
"$root/scripts/build.sh" "$build"
export QT_QPA_PLATFORM=offscreen
cd "$build"
ctest --output-on-failure -j2 --timeout 600
