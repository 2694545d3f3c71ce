#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Installs what is missing, builds Linkvane twice (a normal build and one with
# AddressSanitizer and UndefinedBehaviorSanitizer) and runs every test in both,
# fuzzes each parser briefly, then cross-builds for Windows and runs the tests
# there under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen
# Qt's and fontconfig's own allocations that live until exit are not ours.
export LSAN_OPTIONS="suppressions=$PWD/scripts/lsan.supp:print_suppressions=0"
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"

run() {
    local dir=$1; shift
    echo "=== configure and build: $dir $*"
    cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
    cmake --build "$dir" -j "$jobs"
    echo "=== test: $dir"
    ctest --test-dir "$dir" -j "$jobs" --output-on-failure --timeout 300
}

run build/ci
# A short run of the benchmarks (well under a minute), so that they keep
# building and running; the full run is scripts/bench.sh.
if [[ -x build/ci/bench/bench_core && -x build/ci/bench/bench_discovery ]]; then
    echo "=== benchmark smoke run"
    build/ci/bench/bench_core --benchmark_min_time=0.01 >/dev/null
    build/ci/bench/bench_discovery --quick --json build/ci/bench_discovery.json
fi
run build/ci-sanitize -DLINKVANE_SANITIZE=ON -DLINKVANE_BENCH=OFF
# Every fuzz target for 30 s from its seeds, so that a regression in a parser shows.
FUZZ_JOBS=$jobs scripts/fuzz.sh 30
# Linkvane for Windows: Qt for Windows built once into /var/cache/linkvane (the
# longest step on a new machine), the programs, tests, installer and zip, and
# every test under Wine against the simulator of the Linux build above.
LINKVANE_LINUX_BUILD=$PWD/build/ci scripts/windows.sh --test
