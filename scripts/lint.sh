#!/bin/bash
# clang-tidy (the checks in .clang-tidy) and cppcheck over the project's own code. Prints what
# they report and fails when either reports anything.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build
[ -f "$build/compile_commands.json" ] || "$root/scripts/build.sh" "$build"
cd "$root"
mapfile -t sources < <(git ls-files '*.cpp' | grep -v '^tests/fuzz/')
status=0
echo "clang-tidy on ${#sources[@]} files" >&2
if ! clang-tidy -p "$build" --quiet "${sources[@]}" 2>/dev/null | grep -E "warning:|error:" ; then
    echo "clang-tidy: nothing reported" >&2
else
    status=1
fi
echo "cppcheck" >&2
cppcheck --quiet --std=c++20 --language=c++ --enable=warning,performance,portability \
    --inline-suppr --error-exitcode=1 -I "$root" \
    --suppress=missingIncludeSystem \
    app ui serial identify ports image upload sim runner || status=1
exit $status
