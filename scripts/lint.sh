#!/bin/bash
# The layout (clang-format), the layers (Qt only in the adapters), clang-tidy (the checks in
# .clang-tidy) and cppcheck over the project's own code. Prints what they report on the project's
# files and fails when any reports anything there. clang-tidy reads the compile commands of the
# build folder given (default build/).
#   scripts/lint.sh [build folder]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath -m "${1:-$root/build}")
[ -f "$build/compile_commands.json" ] || "$root/scripts/build.sh" "$build"
cd "$root"
# clang-tidy reads how a file is compiled from the build folder: it looks at the files this build
# compiles, not at those of another system (system/windows/, tests/windows/), whose headers are
# not here.
compiled=$(grep -o '"file": *"[^"]*"' "$build/compile_commands.json" | sed 's/.*"\([^"]*\)"$/\1/')
mapfile -t sources < <(git ls-files '*.cpp' | grep -Ev '^(tests/fuzz|scripts|bench)/' |
    while read -r file; do grep -qFx "$root/$file" <<<"$compiled" && echo "$file"; done)
status=0

echo "clang-format" >&2
git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run -Werror || status=1

# Qt lives in the Qt front end (qt/) and in the virtual meter's pty tool (QtCore for its command
# line); every other file stays plain C++, so that the logic runs in the simulated world and in
# every front end.
echo "Qt headers outside qt/" >&2
qt_outside=$(git ls-files '*.cpp' '*.h' | grep -Ev '^(qt|sim/tool|scripts|tests/window|tests/e2e|bench)/' |
    xargs grep -lE '^#include <Q' || true)
if [ -n "$qt_outside" ]; then
    echo "Qt included outside qt/:" >&2
    echo "$qt_outside"
    status=1
fi

# The layers point one way: the portable core (the subsystem folders, the text rules and the
# system's calls) includes no front end, no simulated world and no runner.
echo "the core's includes" >&2
core_out=$(git ls-files 'app/*' 'ui/*' 'serial/*' 'identify/*' 'ports/*' 'image/*' 'upload/*' \
    'text/*' 'system/*' 'recording/*' | xargs grep -nE '^#include "(qt|win32|sim|runner|tests)/' || true)
if [ -n "$core_out" ]; then
    echo "The core includes a front end, the simulated world or the runner:" >&2
    echo "$core_out"
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
    app ui serial identify ports image upload text system recording qt sim runner || status=1
[ $status -eq 0 ] && echo "cppcheck: nothing reported" >&2
exit $status
