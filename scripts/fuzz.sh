#!/usr/bin/env bash
# Builds the libFuzzer targets under fuzz/ (the fuzz preset: clang 14, AddressSanitizer and
# UndefinedBehaviorSanitizer), seeds their corpora from the examples and fuzz/seeds, and runs
# each target for a bounded time, as many at once as there are cores. Fails when a target
# crashes, times out or runs out of memory; the input that did it stays in the build tree.
#
#   scripts/fuzz.sh [--preset PRESET] [SECONDS_PER_TARGET]    (default: fuzz, 60)
#
# The asan preset builds the same targets beside the tests; --preset asan fuzzes from that
# build instead of making another. Replay a crash:
# build/<preset>/fuzz/<target> build/<preset>/crashes/<target>/<file>
set -euo pipefail

# shellcheck source=scripts/lib.sh
source "$(dirname -- "${BASH_SOURCE[0]}")/lib.sh"
cd -- "$ORVALIX_ROOT"

usage="usage: scripts/fuzz.sh [--preset fuzz|asan] [SECONDS_PER_TARGET]"
preset=fuzz
if [[ ${1:-} == --preset ]]; then
    preset=${2:-}
    shift 2 || fail "$usage"
fi
[[ $preset == fuzz || $preset == asan ]] || fail "$usage"
seconds=${1:-60}
[[ $seconds =~ ^[1-9][0-9]*$ ]] || fail "$usage"

ensure_packages cmake ninja-build clang-14 libclang-rt-14-dev python3

build=$ORVALIX_ROOT/build/$preset
# Longest input per target: a data folder needs room for several files, an endpoint little.
declare -A max_len=(
    [fuzz_csv]=4096
    [fuzz_expression]=4096
    [fuzz_udp_endpoint]=256
    [fuzz_loaders]=8192
    [fuzz_build_frame]=4096
)
# An endpoint is a short text: its coverage stops growing within seconds, so it gets less time.
declare -A max_seconds=(
    [fuzz_udp_endpoint]=10
)
fuzzers=(fuzz_csv fuzz_expression fuzz_udp_endpoint fuzz_loaders fuzz_build_frame)

section "fuzz: configure and build"
step "configure $preset" cmake --preset "$preset"
step "build $preset" cmake --build --preset "$preset" -j"$ORVALIX_JOBS" --target orvalix_fuzzers

section "fuzz: seed corpora"
step "make corpora" python3 fuzz/make_corpus.py "$build/corpus"

# The loaders fuzzer writes its data folders under TMPDIR; keep them inside the build.
export TMPDIR=$build/tmp
export UBSAN_OPTIONS=print_stacktrace=1
mkdir -p "$TMPDIR" "$build/logs"

# One target runs for its whole time on one core: as many run at once as there are cores.
run_target() {
    local fuzzer=$1 crashes=$build/crashes/$1 status=0
    local limit=${max_seconds[$fuzzer]:-$seconds}
    ((limit < seconds)) || limit=$seconds
    mkdir -p "$crashes"
    "$build/fuzz/$fuzzer" "$build/corpus/$fuzzer" -max_total_time="$limit" -timeout=10 \
        -rss_limit_mb=2048 -max_len="${max_len[$fuzzer]}" -artifact_prefix="$crashes/" \
        -print_final_stats=1 >"$build/logs/$fuzzer.log" 2>&1 || status=$?
    echo "$status" >"$build/logs/$fuzzer.status"
}

section "fuzz: ${fuzzers[*]}, $seconds s each (at most ${max_seconds[fuzz_udp_endpoint]} s for fuzz_udp_endpoint), $ORVALIX_JOBS at a time"
for fuzzer in "${fuzzers[@]}"; do
    while (($(jobs -rp | wc -l) >= ORVALIX_JOBS)); do
        wait -n || true
    done
    run_target "$fuzzer" &
done
wait

failed=()
for fuzzer in "${fuzzers[@]}"; do
    log=$build/logs/$fuzzer.log
    status=$(cat "$build/logs/$fuzzer.status")
    printf -- '-- %s\n' "$fuzzer"
    if ((status == 0)); then
        grep -E '^(Done|stat::(number_of_executed_units|new_units_added|peak_rss_mb))' "$log" || true
    else
        tail -n 40 "$log"
        printf 'FAILED: %s (exit status %d); full log %s, input in %s\n' \
            "$fuzzer" "$status" "$log" "$build/crashes/$fuzzer" >&2
        failed+=("$fuzzer")
    fi
done
rm -rf -- "$TMPDIR"

((${#failed[@]} == 0)) || fail "fuzzing found faults in: ${failed[*]}"
section "fuzz: no faults found"
