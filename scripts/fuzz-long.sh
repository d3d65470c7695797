#!/usr/bin/env bash
# A long run of every fuzz target: ten million inputs each unless RUNS says otherwise, as many
# targets at a time as there are processors. Each keeps what it finds worth keeping in its corpus
# (build-fuzz/fuzz/corpus/<target>) and writes its log to build-fuzz/fuzz/long-<target>.log; a
# crash leaves its input beside the log. Run scripts/setup.sh first (it installs clang).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
runs=${RUNS:-10000000}
cd "$root"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$(nproc)"

fuzz="$root/build-fuzz/fuzz"
# AddressSanitizer's default quarantine of freed memory (256 MB), spread over the allocator's size
# classes as the inputs vary, grows a run past libFuzzer's 2 GB limit after about a million
# inputs. A smaller quarantine still catches use after free; without allocation stack traces a
# run is about a third faster (a finding is reproduced with them afterwards).
export ASAN_OPTIONS=${ASAN_OPTIONS:-quarantine_size_mb=64:malloc_context_size=0:allocator_release_to_os_interval_ms=1000}
run_target() {
    local target=$1
    mkdir -p "$fuzz/corpus/$target"
    if "$fuzz/$target" -runs="$runs" -print_final_stats=1 -artifact_prefix="$fuzz/$target-" \
        "$fuzz/corpus/$target" "$root/fuzz/seeds/$target" >"$fuzz/long-$target.log" 2>&1; then
        echo "$target: $(grep -m1 'stat::number_of_executed_units' "$fuzz/long-$target.log")"
    else
        echo "$target: FAILED, see $fuzz/long-$target.log"
        return 1
    fi
}
export -f run_target
export fuzz runs root
printf '%s\n' fuzz_LineDocument fuzz_SettingsFile fuzz_LineRoutines fuzz_WindowState \
    | xargs -P "$(nproc)" -I{} bash -c 'run_target {}'
