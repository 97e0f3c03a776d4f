#!/bin/bash
# The layout (clang-format), the layers (Qt only in the adapters), clang-tidy (the checks in
# .clang-tidy) and cppcheck over the project's own code. Prints what they report on the project's
# files and fails when any reports anything there.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build
[ -f "$build/compile_commands.json" ] || "$root/scripts/build.sh" "$build"
cd "$root"
mapfile -t sources < <(git ls-files '*.cpp' | grep -Ev '^(tests/fuzz|scripts|bench)/')
status=0

echo "clang-format" >&2
git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run -Werror || status=1

# The Qt adapters are the files named qt_*, the product's main, the runner, the virtual meter's pty
# tool (QtCore for its command line) and the tools; every other file stays plain C++, so that the
# logic runs in the simulated world and builds without Qt.
echo "Qt headers outside the adapters" >&2
qt_outside=$(git ls-files '*.cpp' '*.h' | grep -Ev '(^|/)qt_[^/]*$|^app/main\.cpp$|^runner/|^sim/tool/|^scripts/' |
    xargs grep -lE '^#include <Q' || true)
if [ -n "$qt_outside" ]; then
    echo "Qt included outside the adapters:" >&2
    echo "$qt_outside"
    status=1
fi

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
