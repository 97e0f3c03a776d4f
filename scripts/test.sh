#!/bin/bash
# Builds everything and runs every test with ctest: the virtual-time suites, the Qt window's
# widgets offscreen, the virtual meter's own tests and the real-time end-to-end tests over
# pseudo-terminals, side by side (test preset default). With a preset's name, that configure,
# build and test preset instead (CI: ci, every warning an error, into build-ci/). Says how long
# the build and the tests took.
#   scripts/test.sh [preset]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
preset=${1:-default}
started=$SECONDS
"$root/scripts/build.sh" --preset "$preset"
built=$SECONDS
cd "$root"
source "$root/scripts/lib.sh"
status=0
ctest_rerunning_real_time "$preset" e2e || status=$?
echo "scripts/test.sh: build $((built - started)) s, tests $((SECONDS - built)) s" >&2
exit $status
