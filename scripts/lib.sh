# What the scripts share: a made-up firmware image, and the virtual meter started in the
# background. Sourced, not run:
#   source "$root/scripts/lib.sh"

# The file name the updater looks for beside itself or in --folder.
image_name=R462XE_V307_20200521.QF

# make_image FOLDER [TEXT]: writes a made-up image of the right length (61,440 bytes) into FOLDER
# under the image's name: TEXT repeated, or zero bytes when TEXT is empty. Never a real firmware.
make_image() {
    local folder=$1 text=${2:-}
    if [ -n "$text" ]; then
        head -c 61440 <(yes "$text") >"$folder/$image_name"
    else
        head -c 61440 /dev/zero >"$folder/$image_name"
    fi
}

# start_meter BUILD OUT LOG [meter options...]: starts the virtual meter of the build folder in
# the background, its standard output into OUT and its log into LOG (the same file may be given
# for both), and waits up to 5 s for its first line, the pseudo-terminal it listens on. Sets
# meter_pid and meter_pty; fails with the log on standard error when the meter did not start.
start_meter() {
    local build=$1 out=$2 log=$3
    shift 3
    if [ "$out" = "$log" ]; then
        "$build/r462xe-meter-sim" "$@" >"$out" 2>&1 &
    else
        "$build/r462xe-meter-sim" "$@" >"$out" 2>"$log" &
    fi
    meter_pid=$!
    meter_pty=
    local _
    for _ in $(seq 50); do
        # A whole first line, not one still being written.
        if [ "$(wc -l <"$out")" -ge 1 ]; then
            meter_pty=$(head -1 "$out")
            [[ $meter_pty == /* ]] && return 0
        fi
        sleep 0.1
    done
    meter_pty=
    echo "the virtual meter did not start" >&2
    cat "$log" >&2
    return 1
}

# ctest_rerunning_real_time PRESET LABEL: runs the tests of that test preset. A real-time test
# waits on processes that a busy machine may hold up for seconds: when only tests labelled LABEL
# failed, at most three, they run once more. Their first failure stays in the log, and a line
# names them; any other failure fails at once. Returns ctest's status, 0 when the second run passed.
ctest_rerunning_real_time() {
    local preset=$1 label=$2 status=0
    ctest --preset "$preset" || status=$?
    [ $status -eq 0 ] && return 0
    # The numbers of the tests a listing (-N) names, one a line, sorted as comm wants them.
    local numbers='s/^ *Test *#\([0-9]*\):.*/\1/p'
    local failed real_time others count names
    failed=$(ctest --preset "$preset" --rerun-failed -N | sed -n "$numbers" | sort)
    real_time=$(ctest --preset "$preset" -N -L "^$label\$" | sed -n "$numbers" | sort)
    others=$(comm -23 <(echo "$failed") <(echo "$real_time"))
    count=$(echo "$failed" | grep -c . || true)
    if [ -n "$others" ] || [ "$count" -lt 1 ] || [ "$count" -gt 3 ]; then return $status; fi
    names=$(ctest --preset "$preset" --rerun-failed -N |
        sed -n 's/^ *Test *#[0-9]*: \([^ ]*\).*/\1/p' | paste -sd ' ')
    echo "real-time tests failed, running them once more: $names" >&2
    ctest --preset "$preset" --rerun-failed || return $?
    echo "FAILED ONCE, passed when run again: $names" >&2
}
