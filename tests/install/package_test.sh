#!/usr/bin/env bash
# The Debian package as a user gets it: made by cpack from a built tree, unpacked with
# dpkg-deb -x into a scratch root (nothing is installed on the machine), then the unpacked
# orvalix-cli checks the unpacked examples, its manual page reads and names every option the
# commands' --help names, and it finds the unpacked HDLC board library.
#
#   package_test.sh BUILD_DIR CPACK
#
# Exit status 77 (CTest: skipped) when dpkg-deb is missing.
set -euo pipefail

build_dir=$1
cpack=$2

if ! command -v dpkg-deb >/dev/null; then
    echo "dpkg-deb is missing: no Debian package to test"
    exit 77
fi

scratch=$(mktemp -d)
run_pid=
cleanup() {
    if [[ -n $run_pid ]]; then
        kill "$run_pid" 2>/dev/null || true
    fi
    rm -rf -- "$scratch"
}
trap cleanup EXIT

failures=0
fail() {
    printf 'FAIL: %s\n' "$*" >&2
    failures=$((failures + 1))
}

# -B keeps cpack's staging and the package out of the build tree.
"$cpack" -G DEB --config "$build_dir/CPackConfig.cmake" -B "$scratch/package" >"$scratch/cpack.log" 2>&1 ||
    { cat "$scratch/cpack.log"; echo "FAIL: cpack"; exit 1; }
packages=("$scratch"/package/*.deb)
if ((${#packages[@]} != 1)) || [[ ! -f ${packages[0]} ]]; then
    echo "FAIL: cpack made no single .deb: ${packages[*]}"
    exit 1
fi
package=${packages[0]}

for field in Package Version Architecture Maintainer Section Description Depends; do
    [[ -n $(dpkg-deb -f "$package" "$field") ]] || fail "the package has no $field field"
done
dpkg-deb -f "$package" Depends | grep -q 'libc6' ||
    fail "the package does not depend on libc6: $(dpkg-deb -f "$package" Depends)"

root=$scratch/root
dpkg-deb -x "$package" "$root"
cli=$root/usr/bin/orvalix-cli
examples=$root/usr/share/orvalix/examples
for file in "$cli" "$root/usr/lib/orvalix/libFbiHdlc.so" "$root/usr/share/man/man1/orvalix-cli.1.gz" \
            "$root/usr/share/doc/orvalix/README.md"; do
    [[ -f $file ]] || fail "not in the package: ${file#"$root"}"
done
if ((failures > 0)); then
    dpkg-deb -c "$package"
    exit 1
fi

# The good examples have no finding. (examples/broken is shipped too, but has findings by design.)
for example in demo udp-request-response modbus-rtu modbus-tcp hdlc-pair; do
    if ! output=$("$cli" check "$examples/$example" 2>&1); then
        fail "orvalix-cli check $example:"$'\n'"$output"
    fi
done

# The manual page renders, and its source names every option of every command's --help.
man_source=$(gzip -dc "$root/usr/share/man/man1/orvalix-cli.1.gz" | sed 's/\\-/-/g')
if command -v groff >/dev/null; then
    warnings=$(gzip -dc "$root/usr/share/man/man1/orvalix-cli.1.gz" | groff -man -Tutf8 -ww -z 2>&1)
    [[ -z $warnings ]] || fail "groff warns of the manual page:"$'\n'"$warnings"
fi
if command -v man >/dev/null; then
    rendered=$(MANWIDTH=80 man -l "$root/usr/share/man/man1/orvalix-cli.1.gz" 2>&1) ||
        fail "man -l fails:"$'\n'"$rendered"
    grep -q 'SYNOPSIS' <<<"$rendered" || fail "man -l shows no SYNOPSIS:"$'\n'"$rendered"
fi
for command in check eval frame run; do
    for option in $("$cli" "$command" --help | grep -oE -- '--[a-z][a-z-]*' | sort -u); do
        grep -qF -- "$option" <<<"$man_source" || fail "the manual page does not mention $command $option"
    done
done

# The installed orvalix-cli finds the installed board library: a copy of the HDLC pair
# exchanges frames. Waits are bounded; the run ends by SIGTERM once H0 got a response.
cp -r "$examples/hdlc-pair" "$scratch/hdlc-pair"
out=$scratch/run.txt
"$cli" run "$scratch/hdlc-pair" --for 60 --trace-dir "$scratch" >"$out" 2>&1 &
run_pid=$!
response='^H0 [0-9/]+ [0-9:.]+ RX 4 [0-9a-f]{8} 01 11 [0-9a-f]{2} 00'
for _ in $(seq 300); do
    grep -qE "$response" "$out" && break
    kill -0 "$run_pid" 2>/dev/null || break
    sleep 0.1
done
kill -TERM "$run_pid" 2>/dev/null || true
status=0
wait "$run_pid" || status=$?
run_pid=
grep -qE "$response" "$out" || fail "no HDLC response from the installed board library:"$'\n'"$(cat "$out")"
((status == 0)) || fail "orvalix-cli run ended with status $status:"$'\n'"$(cat "$out")"

if ((failures > 0)); then
    exit 1
fi
echo "package test passed: $(basename "$package")"
