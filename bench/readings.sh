#!/usr/bin/env bash
# Runs the readings benchmark: `wmctl stream` and the readings list window run
# offscreen (`wmsetup --bench-list`) against the simulated meter's continuous
# output at line rate on a pseudo-terminal, 30 s at 9600 and at 38400 baud;
# prints the records sent and shown and the client's CPU time. Options go to
# bench_readings (--seconds N, --baud B,B); --client wmctl|list runs one.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default --target bench_readings wmsim wmctl wmsetup >/dev/null
run() {
    build/bin/bench_readings --wmsim build/bin/wmsim --wmctl build/bin/wmctl --wmsetup build/bin/wmsetup "$@"
}
for a in "$@"; do
    if [ "$a" = --client ]; then
        run "$@"
        exit
    fi
done
run --client wmctl "$@"
run --client list "$@"
