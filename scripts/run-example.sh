#!/usr/bin/env bash
# Builds orvalix-cli and the virtual HDLC board library beside it (release preset), then runs
# the bundled demo for 10 seconds:
#   bash scripts/run-example.sh [EXTRA ARGS...]
# In examples/demo one environment polls another over UDP on loopback, so traffic shows at
# once. Extra arguments are appended to the command line (for example --quiet, or --for 30;
# a later --for wins). The traces Primary.csv and Controller.csv go to build/release.
set -euo pipefail

# shellcheck source=scripts/lib.sh
source "$(dirname -- "${BASH_SOURCE[0]}")/lib.sh"
cd -- "$ORVALIX_ROOT"

ensure_packages cmake ninja-build g++ libgtest-dev libgmock-dev googletest

section "release: configure"
step "configure release" cmake --preset release
# The board library too, so that a folder with FBIHDLC ports (examples/hdlc-pair) runs as well.
section "release: build orvalix-cli and the virtual HDLC board"
step "build orvalix-cli" cmake --build --preset release --target orvalix-cli FbiHdlc -j"$ORVALIX_JOBS"

section "orvalix-cli run examples/demo --for 10"
exec build/release/src/cli/orvalix-cli run examples/demo --for 10 --trace-dir build/release "$@"
