# The test suites, by the names their closing lines 'SUITE: N passed, M failed' carry, in the order
# scripts/test runs them; scripts/soak repeats them. Needs common.sh and use_windows_build.

all_suites=(
    unit-native unit-windows unit-asan static-windows release
    lab-fetch-native lab-fetch-windows lab-probe-native lab-probe-windows
    lab-run-native lab-run-windows gui-windows report-html
)

# Readies what the suites share: one wineserver for all Windows unit tests, so that a program
# start costs a fraction of a second, and the sanitizers' settings. Its service processes are
# started here, detached from our output: started by the first test, they would hold ctest's
# output pipe open and ctest would wait for them forever. stop_suite_services ends it.
start_suite_services() {
    wineserver -p
    wine cmd /c exit >/dev/null 2>&1 </dev/null
    export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:halt_on_error=1
    export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
}

stop_suite_services() {
    wineserver -k 2>/dev/null || true
}

# Runs one suite by name; its output ends with its closing line, its exit code says whether it
# passed.
run_suite() {
    local name=$1
    case $name in
        unit-native) run_unit_suite "$name" native ;;
        unit-windows) run_unit_suite "$name" "$windows_build" ;;
        unit-asan) run_unit_suite "$name" asan ;;
        static-windows) python3 "$top/tests/static/static_suite.py" --build-dir "$top/build/windows" ;;
        release) run_release_suite ;;
        lab-*-native) python3 "$top/tests/lab/$(lab_suite_of "$name")_suite.py" --build native ;;
        lab-*-windows) python3 "$top/tests/lab/$(lab_suite_of "$name")_suite.py" --build windows \
                           --build-dir "$top/build/$windows_build" ;;
        # The window, driven under Xvfb and Wine: states, layout, report actions, closing.
        gui-windows) python3 "$top/tests/gui/gui_suite.py" --build-dir "$top/build/$windows_build" ;;
        # The support desk's page over the reports the lab kept, rendered by headless Chromium.
        report-html) python3 "$top/tests/report/html_suite.py" ;;
        *) echo "$(basename "$0"): no suite named $name" >&2; return 2 ;;
    esac
}

# lab-fetch-native -> fetch
lab_suite_of() {
    local suite=${1#lab-}
    echo "${suite%-*}"
}

run_unit_suite() {
    local name=$1 dir=$top/build/$2 status=0
    rm -rf "$dir/test-results"
    ctest --test-dir "$dir" --output-on-failure || status=1
    python3 "$top/scripts/lib/junit_summary.py" "$name" "$dir/test-results" || status=1
    return $status
}

# The release as a publisher makes it, twice from this source (signed and time-stamped, then
# unsigned elsewhere), compared byte for byte; the signed 32-bit program runs where it can. The
# releases' own setup and build are part of this suite's time, not phases of their own.
run_release_suite() {
    local release_wine=()
    [ "$windows_build" = windows ] && release_wine=(--wine-prefix "$WINEPREFIX")
    env -u VESK_PHASE_LOG python3 "$top/tests/release/release_suite.py" "${release_wine[@]}"
}
