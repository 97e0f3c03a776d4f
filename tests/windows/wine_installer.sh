#!/bin/bash
# The installer under Wine, in a Wine prefix of its own (so that it runs beside the other tests):
# a silent install puts the program, the runner, the copyright notice and the uninstaller into
# Program Files, with a Start menu shortcut and an uninstall entry, and no firmware image and no
# DLL; the shortcut starts the program; without a desktop the program says so and ends with
# status 1; a silent uninstall leaves nothing of it.
#   wine_installer.sh INSTALLER.exe
set -euo pipefail
installer=$1
wine=$(command -v wine64 || echo /usr/lib/wine/wine64)
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver)
work=$(mktemp -d /tmp/r462xe-wine-installer-XXXXXX)
export WINEPREFIX=$work/prefix WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
mkdir -p "$WINEPREFIX"
cleanup() {
    "$wineserver" --kill 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
"$wineserver" --persistent </dev/null >/dev/null 2>&1
"$wine" wineboot --init </dev/null >/dev/null 2>&1
"$wine" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f </dev/null >/dev/null 2>&1

failures=0
fail() {
    echo "FAILED: $*" >&2
    failures=$((failures + 1))
}
folder="$WINEPREFIX/drive_c/Program Files/r462xe-fwupdate"
menu="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs"
entry='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\r462xe-fwupdate'

"$wine" "$installer" /S </dev/null >/dev/null 2>&1 || fail "the silent install ended with $?"
expected="copyright.txt
r462xe-fwupdate-runner.exe
r462xe-fwupdate.exe
Uninstall.exe"
got=$(ls "$folder" 2>/dev/null | LC_ALL=C sort -f)
[ "$got" = "$expected" ] || fail "installed files: expected [$expected], got [$got]"
# The sizes promised: the installer under 1 MB, the window program under 1.5 MB on its own.
[ "$(stat -c %s "$installer")" -lt 1000000 ] || fail "the installer has 1 MB or more"
[ "$(stat -c %s "$folder/r462xe-fwupdate.exe" 2>/dev/null || echo 0)" -lt 1500000 ] ||
    fail "the window program has 1.5 MB or more"
cmp -s "$folder/copyright.txt" "$(dirname "$0")/../../packaging/copyright" ||
    fail "the copyright notice differs from packaging/copyright"
"$wine" reg query "$entry" /v UninstallString </dev/null 2>/dev/null | grep -q -i "Uninstall.exe" ||
    fail "no uninstall entry"
shortcut=$(find "$menu" -name 'R462xE Firmware Update.lnk' 2>/dev/null | head -1)
if [ -z "$shortcut" ]; then
    fail "no Start menu shortcut"
else
    # The shortcut names the program in Program Files (as 8-bit or as UTF-16 text).
    { grep -a -q -F 'r462xe-fwupdate\r462xe-fwupdate.exe' "$shortcut" ||
        strings -el "$shortcut" | grep -q -F 'r462xe-fwupdate\r462xe-fwupdate.exe'; } ||
        fail "the shortcut does not name the program"
    # Started through the shortcut, with an image in the user's own folder: it runs.
    local_data=$(find "$WINEPREFIX/drive_c/users" -maxdepth 3 -path '*/AppData/Local' | head -1)
    mkdir -p "$local_data/r462xe-fwupdate"
    head -c 61440 /dev/zero >"$local_data/r462xe-fwupdate/R462XE_V307_20200521.QF"
    "$wine" start /unix "$shortcut" </dev/null >/dev/null 2>&1
    # Up to 30 s: Wine starts a program slowly while the other Wine tests start theirs.
    started=0
    # Wine's null driver makes no windows: the program ends within half a second (below), so
    # it is looked for often.
    for _ in $(seq 1500); do
        pgrep -f 'r462xe-fwupdate\\r462xe-fwupdate.exe' >/dev/null && { started=1; break; }
        sleep 0.02
    done
    [ $started -eq 1 ] || fail "the shortcut did not start the program"
    "$wine" taskkill /f /im r462xe-fwupdate.exe </dev/null >/dev/null 2>&1 || true
    for _ in $(seq 50); do
        pgrep -f 'r462xe-fwupdate\\r462xe-fwupdate.exe' >/dev/null || break
        sleep 0.1
    done
    rm -rf "$local_data/r462xe-fwupdate"
fi

# Without a desktop to make its window on (Wine's null driver), the program says so in one line
# and ends with status 1, not with an abort.
status=0
"$wine" "$folder/r462xe-fwupdate.exe" </dev/null >/dev/null 2>"$work/err" || status=$?
[ $status -eq 1 ] || fail "without a desktop the program ended with $status, not 1"
said=$(tr -d '\r' <"$work/err")
[ "$said" = "r462xe-fwupdate: the window cannot be shown (CreateWindowExW failed for the window)" ] ||
    fail "without a desktop the program said: ${said:0:300}"

# The uninstaller copies itself away and removes the folder in the background.
"$wine" "$folder/Uninstall.exe" /S </dev/null >/dev/null 2>&1 || fail "the silent uninstall ended with $?"
for _ in $(seq 300); do
    [ -e "$folder" ] || break
    sleep 0.1
done
[ -e "$folder" ] && fail "left behind: $(ls -A "$folder")"
find "$menu" -iname '*R462xE*' | grep -q . && fail "Start menu entries left: $(find "$menu" -iname '*R462xE*')"
"$wine" reg query "$entry" </dev/null >/dev/null 2>&1 && fail "the uninstall entry is left"
[ $failures -eq 0 ] || exit 1
echo "installer: passed"
