#!/bin/bash
# Cross-builds the rules, the window's procedures, the simulated world and the virtual-time suites
# for 64-bit Windows with MinGW-w64 into build-windows/ (preset windows), and runs the suites with
# ctest (test preset windows), which lists and runs each test program under Wine, the emulator of
# the cross-build. Fails when a test fails or a program does not run. The Qt program and the
# runner are not built.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build-windows
"$root/scripts/install-deps.sh" --windows
cd "$root"

started=$SECONDS
cmake --preset windows >/dev/null
cmake --build --preset windows -j"${CMAKE_BUILD_PARALLEL_LEVEL:-2}" >"$build/build.log" 2>&1 ||
    { tail -40 "$build/build.log" >&2; exit 1; }
built=$SECONDS

# Debian's wine64 package puts its loader outside the PATH; the wine package adds wine64 to it.
wine=$(command -v wine64 || echo /usr/lib/wine/wine64)
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver)
# The test preset's Wine: a set-up of its own in the build folder, for any user, root too; no
# display, and no offer to fetch Wine's .NET or HTML engines. It is made here once, before ctest
# starts two test programs at a time in it.
export WINEPREFIX=$build/wine-prefix WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
# One Wine server for all the programs: a server that ends a few seconds after a program, as it
# does by default, can be ending just as the next program connects to it. What it says on its way
# out is of no use here.
mkdir -p "$WINEPREFIX"
"$wineserver" --persistent 2>/dev/null
trap '"$wineserver" --kill 2>/dev/null || true' EXIT
"$wine" wineboot --init >"$build/wineboot.log" 2>&1 ||
    { cat "$build/wineboot.log" >&2; echo "Wine does not start" >&2; exit 1; }

status=0
ctest --preset windows || status=$?
echo "Windows (MinGW-w64, Wine): configure and build $((built - started)) s," \
    "tests $((SECONDS - built)) s" >&2
exit $status
