#!/usr/bin/env bash
# Builds orvalix-cli (release preset) and runs it on the bundled example folder:
#   bash scripts/run-example.sh [EXTRA ARGS...]
# Extra arguments are appended to the command line; it runs from the repository root.
set -euo pipefail

# shellcheck source=scripts/lib.sh
source "$(dirname -- "${BASH_SOURCE[0]}")/lib.sh"
cd -- "$ORVALIX_ROOT"

ensure_packages cmake ninja-build g++ libgtest-dev libgmock-dev googletest

section "release: configure"
step "configure release" cmake --preset release
section "release: build orvalix-cli"
step "build orvalix-cli" cmake --build --preset release --target orvalix-cli -j"$ORVALIX_JOBS"

section "orvalix-cli check examples/udp-request-response"
exec build/release/src/cli/orvalix-cli check examples/udp-request-response "$@"
