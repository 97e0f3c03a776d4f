#!/bin/bash
# Cross-builds the product for 64-bit Windows with MinGW-w64 into build-windows/ (preset windows):
# the window program, the runner, the rules, the window's procedures, the simulated world and the
# virtual-time suites; builds the virtual meter tool for Linux (build/, preset default, that target
# only); and runs with ctest, each program under Wine, the emulator of the cross-build: the
# virtual-time suites (test preset windows), then the end-to-end cases of the runner against the
# virtual meter in real time, side by side (test preset windows-e2e). Fails when a test fails or a
# program does not run.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build-windows
# The Linux build of the meter tool needs the Linux packages too.
"$root/scripts/install-deps.sh"
"$root/scripts/install-deps.sh" --windows
cd "$root"
source "$root/scripts/lib.sh"
jobs=${CMAKE_BUILD_PARALLEL_LEVEL:-2}

started=$SECONDS
[ -f "$root/build/CMakeCache.txt" ] || cmake --preset default >/dev/null
cmake --build --preset default -j"$jobs" --target r462xe-meter-sim >/dev/null
cmake --preset windows >/dev/null
cmake --build --preset windows -j"$jobs" >"$build/build.log" 2>&1 ||
    { tail -40 "$build/build.log" >&2; exit 1; }
# The installer, r462xe-fwupdate-<version>-win64.exe, with the programs stripped.
(cd "$build" && cpack -C RelWithDebInfo >"$build/cpack.log" 2>&1) ||
    { tail -20 "$build/cpack.log" >&2; exit 1; }
built=$SECONDS
installer=$(ls "$build"/r462xe-fwupdate-*-win64.exe)
program_bytes=$(stat -c %s "$build"/_CPack_Packages/win64/NSIS/r462xe-fwupdate-*-win64/r462xe-fwupdate.exe)
echo "Windows: installer $(stat -c %s "$installer") bytes, window program $program_bytes bytes" >&2

# Debian's wine64 package puts its loader outside the PATH; the wine package adds wine64 to it.
wine=$(command -v wine64 || echo /usr/lib/wine/wine64)
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver)
# The test preset's Wine: a set-up of its own in the build folder, for any user, root too; no
# display, and no offer to fetch Wine's .NET or HTML engines. It is made here once, before ctest
# starts test programs side by side in it.
export WINEPREFIX=$build/wine-prefix WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
# One Wine server for all the programs: a server that ends a few seconds after a program, as it
# does by default, can be ending just as the next program connects to it. What it says, and the
# output of the services it starts, are of no use here: they go nowhere, so that nothing holds
# this script's output open.
mkdir -p "$WINEPREFIX"
# A server already running for this prefix (a run stopped half-way) serves as well.
"$wineserver" --persistent </dev/null >/dev/null 2>&1 || true
trap '"$wineserver" --kill 2>/dev/null || true' EXIT
"$wine" wineboot --init </dev/null >"$build/wineboot.log" 2>&1 ||
    { cat "$build/wineboot.log" >&2; echo "Wine does not start" >&2; exit 1; }
# Windows without a display: the programs make their windows on Wine's null graphics driver.
"$wine" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f </dev/null >/dev/null 2>&1
# COM1 to COM16 lead nowhere until a test links one to its virtual meter's terminal: a COMn
# without a link would fall through to the host's /dev/ttyS(n-1).
for n in $(seq 16); do ln -sfn "$WINEPREFIX/no-port" "$WINEPREFIX/dosdevices/com$n"; done
# The desktop and services that Wine's start-up left running knew no display driver: a fresh
# server, and they start again with the null driver.
"$wineserver" --kill 2>/dev/null || true
"$wineserver" --wait 2>/dev/null || true
"$wineserver" --persistent </dev/null >/dev/null 2>&1
# The services start with the first program, and inherit its output: started here, they hold no
# test program's output open (ctest would wait for them until its time-out).
"$wine" wineboot </dev/null >/dev/null 2>&1 || true

status=0
ctest --preset windows || status=$?
virtual=$SECONDS
ctest_rerunning_real_time windows-e2e wine-e2e || status=$?
echo "Windows (MinGW-w64, Wine): configure and build $((built - started)) s," \
    "virtual-time suites $((virtual - built)) s, end to end $((SECONDS - virtual)) s," \
    "in all $((SECONDS - started)) s" >&2
exit $status
