#!/bin/bash
# The includes of the project's own headers, by folder: one line per folder with the folders
# whose headers it includes. The core (the subsystem folders, text/, system/, recording/) must
# name no front end (qt/, win32/), no simulated world (sim/) and no runner; scripts/lint.sh
# checks that.
set -euo pipefail
cd "$(dirname "$0")/.."
git ls-files '*.cpp' '*.h' | grep -Ev '^(tests|bench|scripts)/' | while read -r file; do
    from=${file%/*}
    { grep -hoE '^#include "[a-z0-9_]+/' "$file" || true; } | sed -E 's/^#include "([a-z0-9_]+)\//\1/' |
        while read -r to; do echo "${from%%/*} $to"; done
done | sort -u | awk '$1 != $2 { out[$1] = out[$1] " " $2 } END { for (f in out) print f ":" out[f] }' | sort
