#!/usr/bin/env bash
# Runs every test: the native Debug build, the same under AddressSanitizer and
# UndefinedBehaviorSanitizer, the fuzzers for a bounded time (ORVALIX_FUZZ_SECONDS per
# target), the Windows cross build under Wine, and builds the benchmarks. A stage's tests run
# in the background while the next stage compiles; the end prints a table of stage times.
# Meant for a fresh Debian 12 machine as root; installs what is missing. Safe to repeat.
set -euo pipefail

# shellcheck source=scripts/lib.sh
source "$(dirname -- "${BASH_SOURCE[0]}")/lib.sh"
cd -- "$ORVALIX_ROOT"
# Nothing here reads input; a test that tries must not wait on a terminal.
exec </dev/null

# What the first build needs, now; the rest while it compiles.
ensure_packages cmake ninja-build g++ libgtest-dev libgmock-dev googletest python3 dpkg-dev file
install_the_rest() {
    ensure_packages libbenchmark-dev libmuparser-dev g++-mingw-w64-x86-64 wine wine64 socat \
        clang-14 libclang-rt-14-dev xvfb xdotool imagemagick fonts-ipafont-gothic locales mbpoll \
        python3-pymodbus tshark man-db groff-base
    # The desktop application's tests run once in Japanese and once in English.
    ensure_locales ja_JP.UTF-8 en_US.UTF-8
}

wine_run=$ORVALIX_ROOT/cmake/wine-run.sh
windows_build=$ORVALIX_ROOT/build/windows

# No wineserver or Wine helper of ours, and no background stage, may outlive the script,
# whichever way it ends.
stop_leftovers() {
    stop_background
    if [[ -d $windows_build/wineprefix ]]; then
        bash "$wine_run" --kill "$windows_build" || true
    fi
}
trap stop_leftovers EXIT

configure_and_build() {
    local preset=$1 started=$SECONDS
    shift
    section "$preset: configure"
    step "configure $preset" cmake --preset "$preset"
    section "$preset: build"
    step "build $preset" at_low_priority cmake --build --preset "$preset" -j"$ORVALIX_JOBS" "$@"
    report_time "$preset build" "$started"
}

export -f install_the_rest
in_background --let-finish "packages" install_the_rest
configure_and_build debug
finish_background

# A stage's tests mostly wait (on ports, on processes, on timers): they run in the background
# while the next stage compiles, and the compiler yields the processors to them.
in_background "debug tests" ctest --preset debug -j"$ORVALIX_JOBS" --output-on-failure

configure_and_build asan
finish_background
# The two tests that keep a processor busy would measure the sanitizer: the debug stage runs them.
in_background "asan tests" ctest --preset asan -j"$ORVALIX_JOBS" --output-on-failure -LE load

# The two threads meet in the service and the pump: their tests, and the real orvalix-cli
# end to end, under ThreadSanitizer.
configure_and_build tsan --target orvalix_service_tests orvalix_session_tests orvalix-cli FbiHdlc
finish_background
in_background "tsan tests" ctest --preset tsan -j"$ORVALIX_JOBS" --output-on-failure \
    -L 'orvalix_service_tests|orvalix_session_tests|e2e' -LE robustness

configure_and_build windows
finish_background

# shellcheck disable=SC2016  # expanded by the inner shell
in_background "windows tests (Wine)" bash -c \
    'bash "$1" --init "$2" && exec ctest --preset windows -j"$3" --output-on-failure' \
    windows-tests "$wine_run" "$windows_build" "$ORVALIX_JOBS"

# The parsers and loaders under libFuzzer, a bounded time per target, from the asan build.
started=$SECONDS
step "fuzz" at_low_priority bash scripts/fuzz.sh --preset asan "${ORVALIX_FUZZ_SECONDS:-45}"
report_time "fuzz" "$started"
finish_background

# Built, not run: their figures are taken on a quiet machine.
configure_and_build bench

section "All tests passed"
print_times
