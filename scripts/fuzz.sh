#!/usr/bin/env bash
# Builds the libFuzzer targets under fuzz/ (the fuzz preset: clang 14, AddressSanitizer and
# UndefinedBehaviorSanitizer), seeds their corpora from the examples and fuzz/seeds, and runs
# each target for a bounded time. Fails when a target crashes, times out or runs out of
# memory; the input that did it stays in build/fuzz/crashes/<target>.
#
#   scripts/fuzz.sh [SECONDS_PER_TARGET]    (default 60)
#
# Replay a crash: build/fuzz/fuzz/<target> build/fuzz/crashes/<target>/<file>
set -euo pipefail

# shellcheck source=scripts/lib.sh
source "$(dirname -- "${BASH_SOURCE[0]}")/lib.sh"
cd -- "$ORVALIX_ROOT"

seconds=${1:-60}
[[ $seconds =~ ^[1-9][0-9]*$ ]] || fail "usage: scripts/fuzz.sh [SECONDS_PER_TARGET]"

ensure_packages cmake ninja-build clang-14 libclang-rt-14-dev python3

build=$ORVALIX_ROOT/build/fuzz
# Longest input per target: a data folder needs room for several files, an endpoint little.
declare -A max_len=(
    [fuzz_csv]=4096
    [fuzz_expression]=4096
    [fuzz_udp_endpoint]=256
    [fuzz_loaders]=8192
    [fuzz_build_frame]=4096
)
fuzzers=(fuzz_csv fuzz_expression fuzz_udp_endpoint fuzz_loaders fuzz_build_frame)

section "fuzz: configure and build"
step "configure fuzz" cmake --preset fuzz
step "build fuzz" cmake --build --preset fuzz -j"$ORVALIX_JOBS"

section "fuzz: seed corpora"
step "make corpora" python3 fuzz/make_corpus.py "$build/corpus"

# The loaders fuzzer writes its data folders under TMPDIR; keep them inside the build.
export TMPDIR=$build/tmp
export UBSAN_OPTIONS=print_stacktrace=1
mkdir -p "$TMPDIR" "$build/logs"

failed=()
for fuzzer in "${fuzzers[@]}"; do
    section "fuzz: $fuzzer for $seconds s"
    crashes=$build/crashes/$fuzzer
    log=$build/logs/$fuzzer.log
    mkdir -p "$crashes"
    status=0
    "$build/fuzz/$fuzzer" "$build/corpus/$fuzzer" -max_total_time="$seconds" -timeout=10 \
        -rss_limit_mb=2048 -max_len="${max_len[$fuzzer]}" -artifact_prefix="$crashes/" \
        -print_final_stats=1 >"$log" 2>&1 || status=$?
    if ((status == 0)); then
        grep -E '^(Done|stat::(number_of_executed_units|new_units_added|peak_rss_mb))' "$log" || true
    else
        tail -n 40 "$log"
        printf 'FAILED: %s (exit status %d); full log %s, input in %s\n' \
            "$fuzzer" "$status" "$log" "$crashes" >&2
        failed+=("$fuzzer")
    fi
done
rm -rf -- "$TMPDIR"

((${#failed[@]} == 0)) || fail "fuzzing found faults in: ${failed[*]}"
section "fuzz: no faults found"
