#!/bin/bash
# Cross-builds the rules, the window's procedures, the simulated world and the virtual-time suites
# for 64-bit Windows with MinGW-w64 into build-windows/, and runs each suite under Wine. Fails
# when a test fails or a program does not run. The Qt program and the runner are not built.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build-windows
"$root/scripts/install-deps.sh" --windows

started=$SECONDS
(cd "$root" && cmake --preset windows >/dev/null)
mapfile -t targets < <(cd "$root/tests/virtual" && for d in */; do
    d=${d%/}; [ "$d" = rig ] || echo "r462xe_${d}_tests"; done)
cmake --build "$build" -j2 --target "${targets[@]}" >"$build/build.log" 2>&1 ||
    { tail -40 "$build/build.log" >&2; exit 1; }
built=$SECONDS

# Debian's wine64 package puts its loader outside the PATH; the wine package adds wine64 to it.
wine=$(command -v wine64 || echo /usr/lib/wine/wine64)
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver)
# A Wine setup of its own in the build folder, for any user, root too. The suites are console
# programs: no display, and no offer to fetch Wine's .NET or HTML engines.
export WINEPREFIX=$build/wine-prefix WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
# One Wine server for all the programs: a server that ends a few seconds after a program, as it
# does by default, can be ending just as the next program connects to it.
mkdir -p "$WINEPREFIX"
"$wineserver" --persistent
trap '"$wineserver" --kill' EXIT
"$wine" wineboot --init >"$build/wineboot.log" 2>&1 ||
    { cat "$build/wineboot.log" >&2; echo "Wine does not start" >&2; exit 1; }

failed=0
for target in "${targets[@]}"; do
    log=$build/$target.log
    start=$SECONDS
    # A program that hangs is ended after ten minutes, as ctest does (exit status 124).
    if timeout 600 "$wine" "$build/$target.exe" </dev/null >"$log" 2>&1; then
        status=0
    else
        status=$?
    fi
    # Windows ends the lines with CR LF.
    passed=$(tr -d '\r' <"$log" | sed -n 's/^\[  PASSED  \] \([0-9]*\) tests\?\.$/\1/p')
    if [ "$status" -eq 0 ] && [ -n "$passed" ] && [ "$passed" -gt 0 ]; then
        printf '%-28s %4d tests passed (%d s)\n' "$target.exe" "$passed" $((SECONDS - start)) >&2
    else
        printf '%-28s FAILED (exit status %d), log: %s\n' "$target.exe" "$status" "$log" >&2
        if grep -q '^\[  FAILED  \]' "$log"; then
            grep -E '^\[  FAILED  \]' "$log" | sort -u | head -20 >&2
        else
            tail -20 "$log" >&2
        fi
        failed=$((failed + 1))
    fi
done
echo "Windows (MinGW-w64, Wine): configure and build $((built - started)) s," \
    "runs $((SECONDS - built)) s" >&2
if [ "$failed" -ne 0 ]; then
    echo "Windows: $failed of ${#targets[@]} test programs failed" >&2
    exit 1
fi
echo "Windows: every virtual-time suite passed under Wine" >&2
