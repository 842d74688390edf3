#!/usr/bin/env bash
# Runs the readings benchmark: `wmctl stream` (or, with --client list, the
# readings list window run offscreen) against the simulated meter's
# continuous output at line rate on a pseudo-terminal, 30 s at 9600 and at
# 38400 baud; prints the records sent and shown and the client's CPU time.
# Options go to bench_readings (--seconds N, --baud B,B, --client wmctl|list).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default --target bench_readings wmsim wmctl >/dev/null
extra=()
for a in "$@"; do
    if [ "$a" = list ]; then
        cmake --build --preset default --target wmsetup >/dev/null
        extra=(--wmsetup build/bin/wmsetup)
    fi
done
exec build/bin/bench_readings --wmsim build/bin/wmsim --wmctl build/bin/wmctl "${extra[@]}" "$@"
