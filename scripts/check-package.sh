#!/bin/bash
# Builds the Debian package (cpack -G DEB in the build folder) and checks what it holds: both
# programs, stripped; the icon at every hicolor size and as SVG; the desktop entry; the copyright
# and the changelog where Debian keeps them, the manual pages; then lintian, which may leave only
# the informational notes (I:) the README explains: any error (E:), warning (W:) or other note
# fails. Prints the package's size, its files and lintian's report.
#   scripts/check-package.sh [build folder, default build/]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh" --package
build=$(realpath -m "${1:-$root/build}")

[ -f "$build/CMakeCache.txt" ] || "$root/scripts/build.sh" "$build"
rm -f "$build"/r462xe-fwupdate_*.deb
(cd "$build" && cpack -G DEB >cpack.log 2>&1) || { cat "$build/cpack.log" >&2; exit 1; }
package=$(ls "$build"/r462xe-fwupdate_*.deb)
contents=$(mktemp -d)
trap 'rm -rf "$contents"' EXIT
dpkg-deb -x "$package" "$contents"

status=0
fail() {
    echo "package: $*" >&2
    status=1
}

expected=(
    usr/bin/r462xe-fwupdate
    usr/bin/r462xe-fwupdate-runner
    usr/lib/r462xe-fwupdate/r462xe-fwupdate
    usr/lib/r462xe-fwupdate/r462xe-fwupdate-runner
    usr/share/applications/r462xe-fwupdate.desktop
    usr/share/icons/hicolor/scalable/apps/r462xe-fwupdate.svg
    usr/share/doc/r462xe-fwupdate/copyright
    usr/share/doc/r462xe-fwupdate/changelog.gz
    usr/share/man/man1/r462xe-fwupdate.1.gz
    usr/share/man/man1/r462xe-fwupdate-runner.1.gz
)
for size in 16 32 48 64 128 256; do
    expected+=("usr/share/icons/hicolor/${size}x${size}/apps/r462xe-fwupdate.png")
done
for file in "${expected[@]}"; do
    [ -e "$contents/$file" ] || fail "no $file"
done

# Stripped: no symbol table and no debugging sections left.
for program in "$contents"/usr/lib/r462xe-fwupdate/*; do
    if readelf -S --wide "$program" | grep -Eq ' \.(symtab|debug_[a-z_]+) '; then
        fail "$(basename "$program") is not stripped"
    fi
done

# Debian's changelog: gzip, its first entry for this version; the copyright in the
# machine-readable format.
version=$(dpkg-deb -f "$package" Version)
changelog=$contents/usr/share/doc/r462xe-fwupdate/changelog.gz
if [ -e "$changelog" ]; then
    head -n1 < <(gzip -dc "$changelog") | grep -q "^r462xe-fwupdate ($version) " ||
        fail "the changelog does not begin with version $version"
fi
copyright=$contents/usr/share/doc/r462xe-fwupdate/copyright
if [ -e "$copyright" ]; then
    head -n1 "$copyright" | grep -q '^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' ||
        fail "the copyright file is not in the machine-readable format"
fi

# Debian's own checks of the package: hardening, manual pages, sections, desktop entry, ...
# Its status fails on errors and warnings, and on lintian's own failure; the lines say which.
lintian_status=0
report=$(lintian --fail-on error,warning --display-info "$package" 2>&1) || lintian_status=$?
[ -z "$report" ] || echo "$report"
if [ $lintian_status -ne 0 ] || grep -Eq '^[EW]: ' <<<"$report"; then
    fail "lintian reports errors or warnings (status $lintian_status)"
fi
# Debian 12's lintian reports some faults only as notes (I:), a missing manual page or hardening
# flag among them: every note fails too, but those the README explains. spelling-error-in-binary:
# "updat" is the compiler's cut of "during the update" in the programs' data, not a word.
known_notes=(spelling-error-in-binary)
while read -r tag; do
    [[ " ${known_notes[*]} " == *" $tag "* ]] || fail "lintian: $tag"
done < <(sed -n 's/^I: [^ ]*: \([^ ]*\).*/\1/p' <<<"$report" | sort -u)

echo "$(basename "$package"): $(stat -c %s "$package") bytes, installed $(dpkg-deb -f "$package" Installed-Size) KiB"
dpkg-deb -c "$package" | awk '$1 !~ /^d/ {print $3, $6, $7, $8}'
exit $status
