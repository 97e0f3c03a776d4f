#!/bin/bash
# One end-to-end case in real time under Wine: r462xe-fwupdate-runner.exe against the virtual meter
# of the Linux build (r462xe-meter-sim) on a pseudo-terminal, which the Wine prefix maps as a COM
# port (dosdevices/comN). The checks are written out here: the meter's flash against the image,
# the block numbers the bar shows, the meter's log of what it heard, the message boxes.
#   wine_runner_e2e.sh CASE COM-NUMBER
# CASE: clean, rejected, silent, update-mode, record-replay. Needs WINEPREFIX (set up by
# scripts/test-windows.sh, one Wine server kept for the run), R462XE_RUNNER (the .exe) and
# R462XE_METER_SIM (the Linux meter tool).
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
source "$root/scripts/lib.sh"
case_name=$1
com=$2
wine=$(command -v wine64 || echo /usr/lib/wine/wine64)
: "${WINEPREFIX:?}" "${R462XE_RUNNER:?}" "${R462XE_METER_SIM:?}"
[ -x "$R462XE_METER_SIM" ] || { echo "no meter tool at $R462XE_METER_SIM" >&2; exit 1; }
[ -f "$R462XE_RUNNER" ] || { echo "no runner at $R462XE_RUNNER" >&2; exit 1; }

work=$(mktemp -d /tmp/r462xe-wine-e2e-XXXXXX)
meter_pid=
link=$WINEPREFIX/dosdevices/com$com
cleanup() {
    [ -n "$meter_pid" ] && kill "$meter_pid" 2>/dev/null && wait "$meter_pid" 2>/dev/null
    # The port goes back to leading nowhere.
    ln -sfn "$WINEPREFIX/no-port" "$link"
    rm -rf "$work"
}
trap cleanup EXIT

failures=0
fail() {
    echo "FAILED: $*" >&2
    failures=$((failures + 1))
}
expect_eq() {  # what, expected, got
    [ "$2" = "$3" ] || fail "$1: expected [$2], got [$3]"
}
# The folder as Windows programs name it: Wine's drive Z: is the root.
windows_path() {
    local path=$1
    echo "Z:${path//\//\\}"
}
# The values a transcript gives a control's property, one a line.
values_of() {  # transcript subject
    awk -v subject="$2" '$2 == subject { sub(/^[^ ]+ [^ ]+ /, ""); print }' "$1"
}
progress_of() {
    values_of "$1" ProgressBar1.value | tr '\n' ' ' | sed 's/ $//'
}
# 0 at the press, each block's number as it goes out, 0 at the end.
run_of() {  # first last [first last ...]
    local numbers="0"
    while [ $# -gt 0 ]; do
        numbers="$numbers $(seq -s ' ' "$1" "$2")"
        shift 2
    done
    echo "$numbers 0"
}
wait_for_line() {  # file pattern seconds
    local _
    for _ in $(seq $((10 * $3))); do
        grep -q -- "$2" "$1" 2>/dev/null && return 0
        sleep 0.1
    done
    return 1
}
meter() {  # start the meter on this case's COM port: options...
    start_meter "$(dirname "$R462XE_METER_SIM")" "$work/meter.out" "$work/meter.log" "$@"
    ln -sfn "$meter_pty" "$link"
}
stop_meter() {
    kill "$meter_pid" 2>/dev/null || true
    wait "$meter_pid" 2>/dev/null || true
    meter_pid=
}
runner() {  # transcript options...; sets status
    local transcript=$1
    shift
    status=0
    "$wine" "$R462XE_RUNNER" --port "$com=COM$com" --folder "$(windows_path "$work")" "$@" \
        </dev/null >"$transcript" 2>"$transcript.err" || status=$?
}
flash_matches() {
    wait_for_line "$work/meter.out" "flash" 5 || true
    grep -q "flash matches image" "$work/meter.out"
}
# The meter's log holds these entries in this order.
log_in_order() {
    local from=1 entry line
    for entry in "$@"; do
        # One reader, no pipe: a reader that stops at its first match would cut the writer of a
        # pipe short, and the pipe's failure would read as a missing entry.
        # The entry through the environment: awk's -v would read its backslashes as escapes.
        line=$(entry=$entry awk -v from="$from" \
            'NR >= from && index($0, ENVIRON["entry"]) { print NR; exit }' "$work/meter.log")
        [ -n "$line" ] || { fail "meter log lacks, in order: $entry"; return; }
        from=$((line + 1))
    done
}
success_box='"Firmware Update" "Firmware Update was completed successfully."'
power_cycle_box='"Power cycle the Meter" "Please power cycle the Meter before click on the OK button to continue the firmware updating."'

make_image "$work" "Wine $case_name"
image=$work/$image_name
t=$work/transcript
case $case_name in
    clean)
        meter --expect-image "$image"
        runner "$t" --upload --presses 1
        expect_eq "exit status" 0 "$status"
        expect_eq "boxes" "$success_box" "$(values_of "$t" msgbox)"
        expect_eq "blocks" "$(run_of 0 59)" "$(progress_of "$t")"
        expect_eq "firmware shown" '"V3.07"' "$(values_of "$t" Label4.caption | tail -1)"
        flash_matches || fail "the meter's flash differs from the image"
        ;;
    rejected)
        meter --expect-image "$image" --reject-block 5
        runner "$t" --upload --presses 1
        expect_eq "exit status" 0 "$status"
        expect_eq "boxes" "$success_box" "$(values_of "$t" msgbox)"
        expect_eq "blocks" "$(run_of 0 5 5 59)" "$(progress_of "$t")"
        log_in_order "block 4 ok" "block 5 rejected (fault)" "block 5 ok" "block 6 ok"
        flash_matches || fail "the meter's flash differs from the image"
        # The update history in the user's local application data folder, which the cases share:
        # this case's record is the last on its port.
        history=$(echo "$WINEPREFIX"/drive_c/users/*/AppData/Local/r462xe-fwupdate/history.csv)
        record=$(grep -a ",COM$com,COM$com," "$history" | tail -1 | tr -d '\r')
        expect_eq "history record" ",COM$com,COM$com,R4622E,SN55250001,V3.05,V3.07,$image_name,$(
            sha256sum "$image" | cut -d' ' -f1),updated,,61,1," \
            "$(echo "$record" | sed -E 's/^[^,]*,[^,]*(,.*,)[^,]*$/\1/')"
        ;;
    silent)
        # The meter hangs once while block 7 crosses (the tool stopped), and goes on at the power
        # cycle; the box answers itself after 2 s, which leaves time for the power cycle.
        meter --expect-image "$image"
        runner "$t" --upload --presses 2 --answer-after 2 &
        runner_pid=$!
        if wait_for_line "$t" " ProgressBar1.value 7$" 90; then
            kill -STOP "$meter_pid"
        else
            fail "block 7 never went out"
        fi
        asked=0
        wait_for_line "$t" 'msgbox "Power cycle the Meter"' 90 && asked=1
        kill -USR1 "$meter_pid"
        kill -CONT "$meter_pid"
        status=0
        wait "$runner_pid" || status=$?
        expect_eq "power-cycle box shown" 1 "$asked"
        expect_eq "exit status" 0 "$status"
        expect_eq "boxes" "$power_cycle_box
$success_box" "$(values_of "$t" msgbox)"
        # The second press sends the whole image again, from block 0.
        expect_eq "blocks" "$(run_of 0 7) $(run_of 0 59)" "$(progress_of "$t")"
        log_in_order "power cycled" '@19200: "UPGR 1\r\n" (masked): acknowledged'
        flash_matches || fail "the meter's flash differs from the image"
        ;;
    update-mode)
        meter --update-mode
        runner "$t" --upload
        expect_eq "exit status" 1 "$status"
        expect_eq "port list" "[\"COM$com  :Updating\"]" "$(values_of "$t" COM1.items | tail -1)"
        expect_eq "Label4" '"Updating"' "$(values_of "$t" Label4.caption | tail -1)"
        grep -q " Command2.enabled true$" "$t" && fail "\"Upload Firmware\" was offered"
        expect_eq "boxes" "" "$(values_of "$t" msgbox)"
        grep -q -F '"Upload Firmware" is disabled, no press made' "$t.err" ||
            fail "no word that no press was made: $(cat "$t.err")"
        grep -q UPGR "$work/meter.log" && fail "the meter was sent UPGR"
        ;;
    record-replay)
        meter --expect-image "$image"
        runner "$t" --upload --presses 1 --record "$(windows_path "$work/session.rec")"
        expect_eq "exit status, recording" 0 "$status"
        flash_matches || fail "the meter's flash differs from the image"
        stop_meter
        grep -q "^# outcome succeeded$" "$work/session.rec" || fail "no outcome in the recording"
        grep -q "^# image $image_name sha256 $(sha256sum "$image" | cut -d' ' -f1)$" \
            "$work/session.rec" || fail "the recording's image note: $(grep '^# image' "$work/session.rec")"
        : >"$work/meter.out"
        meter --replay "$work/session.rec"
        runner "$work/replayed" --upload --presses 1
        expect_eq "exit status, replay" 0 "$status"
        grep -q "replay diverged" "$work/meter.out" "$work/meter.log" && fail "the replay diverged"
        # The same window both times: the changes without their times and time-left estimates.
        window_of() {
            cut -d' ' -f2- "$1" | sed -E 's/ - about [0-9]+ s left//' | uniq
        }
        expect_eq "window, recorded vs replayed" "$(window_of "$t")" "$(window_of "$work/replayed")"
        ;;
    *)
        echo "unknown case $case_name" >&2
        exit 2
        ;;
esac
if [ $failures -gt 0 ]; then
    echo "--- transcript" >&2
    cat "$t" >&2
    cat "$t.err" >&2
    echo "--- meter" >&2
    cat "$work/meter.out" "$work/meter.log" >&2
    exit 1
fi
echo "$case_name: passed"
