#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Builds and runs the benchmarks: bench_core (the plain-C++ core) and
# bench_discovery (a whole search against the simulated devices on loopback,
# side by side with a plain receiver and the CLI). Results go to build/bench-results/.
#   scripts/bench.sh           the full run (about five minutes)
#   scripts/bench.sh --quick   a short smoke run (under a minute)
set -euo pipefail
cd "$(dirname "$0")/.."

quick=0
if [[ "${1:-}" == "--quick" ]]; then
    quick=1
fi

# Not build/bench: that is the bench folder of the main build tree.
dir=build/bench-tree
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLINKVANE_BENCH=ON >/dev/null
cmake --build "$dir" --target bench_core bench_discovery linkvane-devsim linkvane-cli
out=build/bench-results
mkdir -p "$out"
export QT_QPA_PLATFORM=offscreen

if (( quick )); then
    "$dir/bench/bench_core" --benchmark_min_time=0.01 --benchmark_out="$out/bench_core.json" --benchmark_out_format=json
    "$dir/bench/bench_discovery" --quick --json "$out/bench_discovery.json"
else
    "$dir/bench/bench_core" --benchmark_out="$out/bench_core.json" --benchmark_out_format=json
    "$dir/bench/bench_discovery" --json "$out/bench_discovery.json"
fi
