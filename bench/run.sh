#!/usr/bin/env bash
# Runs the benchmarks against the simulated meter on a pseudo-terminal: the
# meter exchanges, each one's wall time against its floor (the pauses the
# protocol demands plus the time the characters take on the line) and its CPU
# time; then the continuous output (bench/readings.sh). Options go to the
# exchange benchmark.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default --target bench_exchange wmsim wmctl >/dev/null
build/bin/bench_exchange --wmsim build/bin/wmsim --wmctl build/bin/wmctl "$@"
exec bench/readings.sh
