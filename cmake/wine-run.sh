#!/usr/bin/env bash
# Runs a Windows console program under Wine as if it were a native one.
#
#   wine-run.sh PROGRAM.exe [ARGS...]   run it; its exit status is ours
#   wine-run.sh --init [PATH]           only create the Wine prefix for PATH
#   wine-run.sh --kill [PATH]           end the wineserver (and helpers) of PATH's prefix
#
# Prefix: $ORVALIX_WINEPREFIX if set; else <build dir>/wineprefix when PATH lies inside a CMake
# build tree (the nearest folder upwards with a CMakeCache.txt); else
# ${XDG_CACHE_HOME:-$HOME/.cache}/orvalix/wineprefix. It is created on first use.
#
# Wine's helper processes (wineserver, services, winedevice) inherit the first Wine process's
# stdout and stderr and outlive it by seconds. A reader of a pipe - ctest, `| grep` - would wait
# for them. So unless both streams are terminals, the program writes into temporary files that
# are copied to our stdout and stderr once it has ended (stdout first, then stderr).
set -euo pipefail

die() {
    echo "wine-run.sh: $*" >&2
    exit 125
}

find_wine() {
    local candidate
    for candidate in /usr/lib/wine/wine64 "$(command -v wine64 || true)" "$(command -v wine || true)"; do
        if [[ -n $candidate && -x $candidate ]]; then
            echo "$candidate"
            return
        fi
    done
    die "Wine is not installed (apt-get install wine64)"
}

find_wineserver() {
    local candidate
    for candidate in "$(command -v wineserver || true)" /usr/lib/wine/wineserver64 /usr/lib/wine/wineserver; do
        if [[ -n $candidate && -x $candidate ]]; then
            echo "$candidate"
            return
        fi
    done
    die "wineserver is not installed (apt-get install wine64)"
}

prefix_for() {
    if [[ -n ${ORVALIX_WINEPREFIX:-} ]]; then
        echo "$ORVALIX_WINEPREFIX"
        return
    fi
    local dir=$1
    [[ -d $dir ]] || dir=$(dirname -- "$dir")
    dir=$(cd -- "$dir" 2>/dev/null && pwd -P) || dir=/
    while [[ $dir != / ]]; do
        if [[ -f $dir/CMakeCache.txt ]]; then
            echo "$dir/wineprefix"
            return
        fi
        dir=$(dirname -- "$dir")
    done
    echo "${XDG_CACHE_HOME:-${HOME:-/tmp}/.cache}/orvalix/wineprefix"
}

# Several tests may start at once against a fresh prefix: the first one creates it, the others
# wait on the lock. A prefix without the marker is a half-made one from an interrupted run.
ensure_prefix() {
    local ready=$WINEPREFIX/.orvalix-ready
    [[ -f $ready ]] && return
    mkdir -p -- "$(dirname -- "$WINEPREFIX")"
    exec 9>"$WINEPREFIX.lock"
    flock 9
    if [[ ! -f $ready ]]; then
        rm -rf -- "$WINEPREFIX"
        local log=$WINEPREFIX.log
        if ! WINEARCH=win64 "$wine" wineboot -i </dev/null >"$log" 2>&1 9>&-; then
            cat -- "$log" >&2
            die "wineboot failed for $WINEPREFIX"
        fi
        # A crashing program must end with a backtrace on stderr, not wait on a dialog.
        "$wine" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f \
            </dev/null >>"$log" 2>&1 9>&- || die "could not configure $WINEPREFIX (see $log)"
        "$wineserver" -w 9>&-
        touch -- "$ready"
    fi
    flock -u 9
    exec 9>&-
}

wine=$(find_wine)
wineserver=$(find_wineserver)
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEARCH=win64

case ${1:-} in
    "" | -h | --help)
        sed -n '2,14s/^# \{0,1\}//p' "$0"
        [[ -n ${1:-} ]] && exit 0
        exit 125
        ;;
    --init)
        WINEPREFIX=$(prefix_for "${2:-$PWD}")
        export WINEPREFIX
        ensure_prefix
        exit 0
        ;;
    --kill)
        WINEPREFIX=$(prefix_for "${2:-$PWD}")
        export WINEPREFIX
        [[ -d $WINEPREFIX ]] || exit 0
        "$wineserver" -k 2>/dev/null || true
        "$wineserver" -w 2>/dev/null || true
        exit 0
        ;;
esac

program=$1
shift
[[ -f $program ]] || die "no such program: $program"
WINEPREFIX=$(prefix_for "$program")
export WINEPREFIX
ensure_prefix

if [[ -t 1 && -t 2 ]]; then
    exec "$wine" "$program" "$@"
fi

out=$(mktemp "${TMPDIR:-/tmp}/wine-run.out.XXXXXX")
err=$(mktemp "${TMPDIR:-/tmp}/wine-run.err.XXXXXX")
trap 'rm -f -- "$out" "$err"' EXIT

status=0
"$wine" "$program" "$@" >"$out" 2>"$err" || status=$?
cat -- "$out"
cat -- "$err" >&2
exit "$status"
