#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Builds the libFuzzer targets with clang and runs each for SECONDS seconds, from a working copy
# of its seed corpus (build-fuzz/corpus/<target>, grown by the runs; the seeds in fuzz/corpus are
# not touched) with the dictionary fuzz/linkvane.dict. Exits non-zero when any target finds
# something; the input that shows it is left in build-fuzz/findings/.
#   scripts/fuzz.sh SECONDS [TARGET...]      FUZZ_JOBS=2 runs two targets at a time.
#   scripts/fuzz.sh --build [TARGET...]      only builds them.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:?usage: scripts/fuzz.sh SECONDS|--build [TARGET...]}
shift
targets=("$@")
if [[ ${#targets[@]} -eq 0 ]]; then
    targets=(fuzz_protocol fuzz_devicelist fuzz_replybuffer fuzz_loaders fuzz_linepatch fuzz_macchange fuzz_cliparse fuzz_plan fuzz_csvplan fuzz_template)
fi
jobs=${FUZZ_JOBS:-1}
build=build-fuzz

if [[ ! -f $build/build.ninja ]]; then
    CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLINKVANE_FUZZ=ON \
        -DLINKVANE_TESTS=OFF -DLINKVANE_BENCH=OFF
fi
nice ninja -C "$build" "${targets[@]}"
[[ $seconds == --build ]] && exit 0

mkdir -p "$build/findings" "$build/logs"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"

# The longest input a target is given. The device list and the reply buffer decode a sequence of
# datagrams out of one input: 4 KB still holds a long sequence, 16 KB a datagram that, repeated, fills
# the reply buffer to its bound, and each of their runs stays short.
max_len() {
    case $1 in
        fuzz_devicelist) echo 4096 ;;
        fuzz_replybuffer) echo 16384 ;;
        *) echo 65536 ;;
    esac
}

run_one() {
    local target=$1
    local corpus=$build/corpus/$target
    mkdir -p "$corpus"
    [[ -d fuzz/corpus/$target ]] && cp -n fuzz/corpus/"$target"/* "$corpus"/ 2>/dev/null || true
    if nice "$build/fuzz/$target" -max_total_time="$seconds" -max_len="$(max_len "$target")" -timeout=10 -rss_limit_mb=2048 \
        -dict=fuzz/linkvane.dict -artifact_prefix="$build/findings/$target-" -print_final_stats=1 \
        "$corpus" >"$build/logs/$target.log" 2>&1; then
        echo "$target: $(grep -E '^Done [0-9]+ runs' "$build/logs/$target.log" | tail -1)," \
            "$(grep -Eo 'cov: [0-9]+ ft: [0-9]+ corp: [0-9]+/[^ ]+' "$build/logs/$target.log" | tail -1)"
    else
        echo "$target: FINDING, see $build/logs/$target.log and $build/findings/" >&2
        grep -E 'ERROR|SUMMARY|deadly signal|Test unit written' "$build/logs/$target.log" >&2 || true
        return 1
    fi
}

failed=0
pids=()
for target in "${targets[@]}"; do
    run_one "$target" &
    pids+=($!)
    if [[ ${#pids[@]} -ge $jobs ]]; then
        wait "${pids[0]}" || failed=1
        pids=("${pids[@]:1}")
    fi
done
for pid in "${pids[@]}"; do
    wait "$pid" || failed=1
done
exit $failed
