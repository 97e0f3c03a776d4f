#!/bin/bash
# clang-tidy (the checks in .clang-tidy) and cppcheck over the project's own code. Prints what
# they report on the project's files and fails when either reports anything there.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build
[ -f "$build/compile_commands.json" ] || "$root/scripts/build.sh" "$build"
cd "$root"
mapfile -t sources < <(git ls-files '*.cpp' | grep -Ev '^(tests/fuzz|scripts|bench)/')
status=0

echo "clang-tidy on ${#sources[@]} files" >&2
report=$(printf '%s\n' "${sources[@]}" |
    xargs -P "$(nproc)" -n 8 clang-tidy -p "$build" --quiet 2>/dev/null |
    grep -E "^$root/.*(warning|error):" | sort -u || true)
if [ -n "$report" ]; then
    echo "$report"
    status=1
else
    echo "clang-tidy: nothing reported" >&2
fi

echo "cppcheck" >&2
cppcheck --quiet --std=c++20 --language=c++ --enable=warning,performance,portability \
    --inline-suppr --error-exitcode=1 -I "$root" --suppress=missingIncludeSystem \
    app ui serial identify ports image upload sim runner || status=1
[ $status -eq 0 ] && echo "cppcheck: nothing reported" >&2
exit $status
