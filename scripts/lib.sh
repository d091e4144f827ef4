# shellcheck shell=bash
# Shared by the scripts in this folder: sourced, never run.

# The repository root, whatever the caller's current directory.
# shellcheck disable=SC2034  # both are for the sourcing script
ORVALIX_ROOT=$(cd -- "$(dirname -- "${BASH_SOURCE[0]}")/.." && pwd -P)
ORVALIX_JOBS=$(nproc)

section() {
    printf '\n==== %s ====\n' "$*"
}

fail() {
    printf '\nFAILED: %s\n' "$*" >&2
    exit 1
}

# Runs "$@" after printing it; a failure ends the script with the step's name.
step() {
    local name=$1
    shift
    printf '+ %s\n' "$*"
    "$@" || fail "$name (exit status $?)"
}

# Installs the Debian packages among "$@" that are not installed yet; apt-get update only then.
ensure_packages() {
    local missing=() package
    for package in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
            missing+=("$package")
        fi
    done
    if ((${#missing[@]} == 0)); then
        return
    fi
    section "Installing ${missing[*]}"
    local sudo=()
    if ((EUID != 0)); then
        command -v sudo >/dev/null || fail "packages missing (${missing[*]}) and not running as root"
        sudo=(sudo)
    fi
    # Passed through sudo too, which drops the environment: wireshark-common's question must not wait.
    local noninteractive=(env DEBIAN_FRONTEND=noninteractive)
    step "apt-get update" "${sudo[@]}" "${noninteractive[@]}" apt-get update
    step "apt-get install ${missing[*]}" "${sudo[@]}" "${noninteractive[@]}" apt-get install -y "${missing[@]}"
}

# Generates the locales among "$@" (such as ja_JP.UTF-8) that the system lacks. Wine takes the
# user's language from LANG only when that locale exists.
ensure_locales() {
    local missing=() name
    for name in "$@"; do
        local short=${name/UTF-8/utf8}
        if ! locale -a 2>/dev/null | grep -qx "$short"; then
            missing+=("$name")
        fi
    done
    if ((${#missing[@]} == 0)); then
        return
    fi
    section "Generating locales ${missing[*]}"
    for name in "${missing[@]}"; do
        if grep -q "^# *$name UTF-8" /etc/locale.gen; then
            sed -i "s/^# *$name UTF-8/$name UTF-8/" /etc/locale.gen
        elif ! grep -q "^$name UTF-8" /etc/locale.gen; then
            printf '%s UTF-8\n' "$name" >>/etc/locale.gen
        fi
    done
    step "locale-gen" locale-gen
}

# Runs "$@" at a lower priority, so that tests running beside it get the processors first.
at_low_priority() {
    nice -n 10 "$@"
}

# One step at a time runs in the background (in_background, then finish_background): its
# output goes to a file under build/logs and is printed once it has ended, unmixed.
# --let-finish: if the script ends early, wait for it instead of ending it (an installer).
ORVALIX_BACKGROUND=()
in_background() {
    local on_exit="kill"
    if [[ $1 == --let-finish ]]; then
        on_exit="wait"
        shift
    fi
    local name=$1
    shift
    local log=$ORVALIX_ROOT/build/logs/${name//[^A-Za-z0-9]/-}.log
    mkdir -p -- "${log%/*}"
    section "$name: started in the background, output when it ends"
    printf '+ %s\n' "$*"
    # A session of its own, so that stop_background can end every process it started; this
    # file's functions are commands there too. It notes its own duration, as finishing it may
    # come later.
    # shellcheck disable=SC2016  # expanded by the inner shell
    setsid bash -c 'source "$0"; seconds=$1; shift; "$@"; status=$?; echo "$SECONDS" >"$seconds"; exit "$status"' \
        "${BASH_SOURCE[0]}" "$log.seconds" "$@" >"$log" 2>&1 &
    ORVALIX_BACKGROUND=("$name" "$!" "$log" "$on_exit")
}

finish_background() {
    local name=${ORVALIX_BACKGROUND[0]} pid=${ORVALIX_BACKGROUND[1]} log=${ORVALIX_BACKGROUND[2]}
    local status=0
    wait "$pid" || status=$?
    ORVALIX_BACKGROUND=()
    section "$name (ran in the background)"
    cat -- "$log"
    ((status == 0)) || fail "$name (exit status $status)"
    record_time "$name (background)" "$(cat -- "$log.seconds")"
}

stop_background() {
    if ((${#ORVALIX_BACKGROUND[@]} == 0)); then
        return
    elif [[ ${ORVALIX_BACKGROUND[3]} == wait ]]; then
        wait "${ORVALIX_BACKGROUND[1]}" || true
    else
        kill -- "-${ORVALIX_BACKGROUND[1]}" 2>/dev/null || true
    fi
    ORVALIX_BACKGROUND=()
}

# Prints how long the named stage took; call with the start time from $SECONDS.
report_time() {
    record_time "$1" $((SECONDS - $2))
}

record_time() {
    local name=$1 elapsed=$2
    ORVALIX_TIMES+=("$(printf '%-36s %4d s' "$name" "$elapsed")")
    printf -- '-- %s took %d s\n' "$name" "$elapsed"
}
ORVALIX_TIMES=()

# The table of stage times; stages in the background overlap the ones in the foreground.
print_times() {
    printf '%s\n' "${ORVALIX_TIMES[@]}"
    printf '%-36s %4d s\n' "in all, packages included" "$SECONDS"
}
