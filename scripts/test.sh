#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Installs what is missing, builds Linkvane twice (a normal build and one with
# AddressSanitizer and UndefinedBehaviorSanitizer) and runs every test in both,
# fuzzes each parser briefly, then cross-builds for Windows and runs the tests
# there under Wine.
#
# The phases run two at a time where one of them mostly waits (a test suite,
# Wine) and the other keeps the cores busy (a build, the fuzzers). Each phase
# writes to its own log in build/logs; the log of a phase that fails is printed.
# The first phase that fails ends the run: the phases still running are
# stopped, and the script exits with the failed phase's status. At the end, on
# success or failure, a table of each phase's wall-clock seconds is printed and
# written to build/ci-phases.txt.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen
# Qt's and fontconfig's own allocations that live until exit are not ours.
export LSAN_OPTIONS="suppressions=$PWD/scripts/lsan.supp:print_suppressions=0"
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"

logs=$root/build/logs
table=$root/build/ci-phases.txt
mkdir -p "$logs"
rm -f "$logs"/*.log "$logs"/*.phase
# Each background phase in its own process group, so that stopping it stops
# everything it started (ninja and the compilers, ctest and the tests, Wine).
set -m

order=()            # the phases, in the order they started
declare -A pid_of   # phase -> pid, while it runs
declare -A name_of  # pid -> phase
declare -A status_of # phase -> exit status, once it has ended
started=$(date +%s)

# start NAME COMMAND...: runs COMMAND in the background, its output in
# build/logs/NAME.log; its wall-clock seconds and status go to NAME.phase.
start() {
    local name=$1; shift
    echo "=== start: $name"
    (
        set +e
        t0=$(date +%s)
        "$@" >"$logs/$name.log" 2>&1
        rc=$?
        echo "$(($(date +%s) - t0)) $rc" >"$logs/$name.phase"
        exit $rc
    ) </dev/null &
    pid_of[$name]=$!
    name_of[$!]=$name
    order+=("$name")
}

# await NAME...: waits until each named phase has ended. Whichever phase ends
# first is looked at first, so that a failure anywhere ends the run at once.
await() {
    local name pid rc
    for name; do
        while [[ -z ${status_of[$name]+set} ]]; do
            rc=0
            [[ -n ${pid_of[$name]+set} ]] || { echo "test.sh: no phase $name was started" >&2; exit 1; }
            wait -n -p pid "${pid_of[@]}" || rc=$?
            local ended=${name_of[$pid]}
            unset "pid_of[$ended]"
            status_of[$ended]=$rc
            echo "=== end: $ended ($(phase_seconds "$ended") s, status $rc)"
            if [[ $rc -ne 0 ]]; then
                echo "=== $ended failed; its log, $logs/$ended.log:"
                tail -n 300 "$logs/$ended.log"
                exit "$rc"
            fi
        done
    done
}

# run NAME COMMAND...: one phase, nothing beside it.
run() { start "$@"; await "$1"; }

phase_seconds() { [[ -f $logs/$1.phase ]] && cut -d' ' -f1 "$logs/$1.phase" || echo "-"; }

# Stops the phases still running, then prints and writes the table.
finish() {
    local rc=$? name
    trap - EXIT INT TERM
    for name in "${!pid_of[@]}"; do
        kill -TERM -- "-${pid_of[$name]}" 2>/dev/null || true
    done
    for name in "${!pid_of[@]}"; do
        wait "${pid_of[$name]}" 2>/dev/null || true
        status_of[$name]=stopped
    done
    # A stopped Wine test run may leave its Wine server behind.
    if [[ -n ${status_of[windows-test]+set} && ${status_of[windows-test]} != 0 ]]; then
        WINEPREFIX=$root/build/wine-prefix wineserver -k 2>/dev/null || true
    fi
    {
        printf '%-22s %8s  %s\n' phase seconds status
        for name in "${order[@]}"; do
            local status=${status_of[$name]:-running}
            [[ $status == 0 ]] && status=ok
            printf '%-22s %8s  %s\n' "$name" "$(phase_seconds "$name")" "$status"
        done
        printf '%-22s %8s  %s\n' "total (wall clock)" "$(($(date +%s) - started))" "$([[ $rc -eq 0 ]] && echo ok || echo "failed ($rc)")"
        echo "load at the end: $(uptime | sed 's/.*load average/load average/')"
    } | tee "$table"
    exit "$rc"
}
trap finish EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# Line tables only (-g1): backtraces and the sanitizers' reports still name
# file and line, and the tests compile in half the time they take with -g.
configure() { # configure DIR OPTIMIZATION CMAKE-OPTION...
    local dir=$1 optimize=$2; shift 2
    cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="$optimize -g1 -DNDEBUG" -DLINKVANE_WERROR=ON "$@"
}
build() { cmake --build "$1" -j "$jobs"; }
# A build beside a test suite yields the cores to it: the tests run at nearly
# the pace they have alone, and the build takes what they leave.
build_beside() { nice -n 15 cmake --build "$1" -j "$jobs"; }
# The time-out only stops a test binary that hangs; a loaded machine or the
# sanitizers may take several times the unloaded minutes.
ctest_all() { ctest --test-dir "$1" -j "$jobs" --output-on-failure --timeout 900; }
# A short run of the benchmarks (well under a minute), so that they keep
# building and running; the full run is scripts/bench.sh.
bench_smoke() {
    build/ci/bench/bench_core --benchmark_min_time=0.01 >/dev/null
    build/ci/bench/bench_discovery --quick --json build/ci/bench_discovery.json
}
windows() { LINKVANE_LINUX_BUILD=$root/build/ci scripts/windows.sh "$@"; }

run install-deps scripts/install-deps.sh
# Layout first: a file that drifted from .clang-format ends the run before any build.
run format scripts/check-format.sh
run ci-configure configure build/ci -O2
run ci-build build build/ci
[[ -x build/ci/bench/bench_core && -x build/ci/bench/bench_discovery ]] ||
    { echo "test.sh: the benchmarks were not built (is libbenchmark-dev installed?)" >&2; exit 1; }
# The smoke run checks that each search ends, not how fast.
run bench-smoke bench_smoke
# The tests of the normal build mostly wait on sockets and processes: beside
# them, the Windows build: Qt for Windows, built once into /var/cache/linkvane
# (the longest step on a new machine, a second otherwise), then the programs,
# tests, installer and zip.
start ci-ctest ctest_all build/ci
run windows-qt nice -n 15 env LINKVANE_LINUX_BUILD="$root/build/ci" scripts/windows.sh --qt-only
run windows-build nice -n 15 env LINKVANE_LINUX_BUILD="$root/build/ci" scripts/windows.sh
await ci-ctest
# Every test under Wine against the simulator of the Linux build, beside the
# sanitizer build.
start windows-test windows --test-only
# -O1, as the sanitizers' own documents advise: the reports stay exact and the build takes a
# quarter less time than at -O2.
run sanitize-configure configure build/ci-sanitize -O1 -DLINKVANE_SANITIZE=ON -DLINKVANE_BENCH=OFF
run sanitize-build build_beside build/ci-sanitize
await windows-test
# The sanitizer tests beside the fuzzers: every target for 30 s from its seeds,
# so that a regression in a parser shows.
start sanitize-ctest ctest_all build/ci-sanitize
run fuzz-build nice -n 15 scripts/fuzz.sh --build
run fuzz nice -n 15 env FUZZ_JOBS="$jobs" scripts/fuzz.sh 30
await sanitize-ctest
