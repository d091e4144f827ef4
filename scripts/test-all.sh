#!/usr/bin/env bash
# Runs every test: the native Debug build, the same under AddressSanitizer and
# UndefinedBehaviorSanitizer, the fuzzers for a bounded time (ORVALIX_FUZZ_SECONDS per
# target), the Windows cross build under Wine, and builds the benchmarks.
# Meant for a fresh Debian 12 machine as root; installs what is missing. Safe to repeat.
set -euo pipefail

# shellcheck source=scripts/lib.sh
source "$(dirname -- "${BASH_SOURCE[0]}")/lib.sh"
cd -- "$ORVALIX_ROOT"
# Nothing here reads input; a test that tries must not wait on a terminal.
exec </dev/null

ensure_packages cmake ninja-build g++ libgtest-dev libgmock-dev googletest libbenchmark-dev \
    libmuparser-dev g++-mingw-w64-x86-64 wine wine64 socat python3 clang-14 libclang-rt-14-dev \
    xvfb xdotool imagemagick fonts-ipafont-gothic locales mbpoll python3-pymodbus tshark \
    dpkg-dev file man-db groff-base
# The desktop application's tests run once in Japanese and once in English.
ensure_locales ja_JP.UTF-8 en_US.UTF-8

wine_run=$ORVALIX_ROOT/cmake/wine-run.sh
windows_build=$ORVALIX_ROOT/build/windows

# No wineserver or Wine helper of ours may outlive the script, whichever way it ends.
stop_wine() {
    if [[ -d $windows_build/wineprefix ]]; then
        bash "$wine_run" --kill "$windows_build" || true
    fi
}
trap stop_wine EXIT

native_stage() {
    local preset=$1 started=$SECONDS
    section "$preset: configure"
    step "configure $preset" cmake --preset "$preset"
    section "$preset: build"
    step "build $preset" cmake --build --preset "$preset" -j"$ORVALIX_JOBS"
    section "$preset: test"
    step "test $preset" ctest --preset "$preset" -j"$ORVALIX_JOBS" --output-on-failure
    report_time "$preset" "$started"
}

native_stage debug
native_stage asan

# The parsers and loaders under libFuzzer, a bounded time per target: built by the asan stage.
started=$SECONDS
step "fuzz" bash scripts/fuzz.sh --preset asan "${ORVALIX_FUZZ_SECONDS:-45}"
report_time "fuzz" "$started"

# The two threads meet in the service and the pump: their tests, and the real orvalix-cli
# end to end, under ThreadSanitizer.
started=$SECONDS
section "tsan: configure"
step "configure tsan" cmake --preset tsan
section "tsan: build"
step "build tsan" cmake --build --preset tsan -j"$ORVALIX_JOBS" --target \
    orvalix_service_tests orvalix_session_tests orvalix-cli FbiHdlc
section "tsan: test"
step "test tsan" ctest --preset tsan -j"$ORVALIX_JOBS" --output-on-failure \
    -L 'orvalix_service_tests|orvalix_session_tests|e2e' -LE robustness
report_time "tsan" "$started"

started=$SECONDS
section "windows: configure"
step "configure windows" cmake --preset windows
section "windows: build"
step "build windows" cmake --build --preset windows -j"$ORVALIX_JOBS"
report_time "windows build" "$started"

started=$SECONDS
section "windows: test under Wine"
step "create the Wine prefix" bash "$wine_run" --init "$windows_build"
step "test windows" ctest --preset windows -j"$ORVALIX_JOBS" --output-on-failure
report_time "windows test (Wine)" "$started"

started=$SECONDS
section "bench: configure and build (not run)"
step "configure bench" cmake --preset bench
step "build bench" cmake --build --preset bench -j"$ORVALIX_JOBS"
report_time "bench build" "$started"

section "All tests passed"
printf '%s\n' "${ORVALIX_TIMES[@]}"
