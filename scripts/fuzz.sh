#!/bin/bash
# Runs each libFuzzer target for a bounded time (default 30 s each) on its corpus in
# tests/fuzz/corpus/. New inputs go to a scratch folder, not into the repository. A crash, a
# broken invariant or a hang fails the run and leaves the input in build-fuzz/.
#   scripts/fuzz.sh [seconds per target]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-30}
build=$root/build-fuzz
"$root/scripts/install-deps.sh" --sanitize
(cd "$root" && cmake --preset fuzz >/dev/null)
cmake --build "$build" -j"$(nproc)" >/dev/null
for source in "$root"/tests/fuzz/*_fuzz.cpp; do
    name=$(basename "$source" .cpp)
    target=${name%_fuzz}
    scratch=$(mktemp -d)
    echo "fuzzing $target for $seconds s" >&2
    (cd "$build" && "./$name" -max_total_time="$seconds" -timeout=5 -max_len=4096 \
        "$scratch" "$root/tests/fuzz/corpus/$target" 2>"$build/$name.log") ||
        { tail -30 "$build/$name.log" >&2; rm -rf "$scratch"; exit 1; }
    grep -E "^Done|#[0-9]+.*DONE" "$build/$name.log" | tail -1 >&2 || true
    rm -rf "$scratch"
done
echo "fuzzing: no crash" >&2
