#!/usr/bin/env bash
# Long fuzz runs, one target after another: builds the "fuzz" preset when
# needed, runs each target for SECONDS (default 120) or for --runs N
# executions from its seed corpus, and prints per target the executions and
# the crash inputs found. New inputs collect in build-fuzz/fuzz-work/<name>/
# corpus (kept between runs); crash inputs in build-fuzz/fuzz-work/<name>/
# artifacts. A crash input belongs in fuzz/regressions/<name>/ with the fix.
#   fuzz/run.sh [SECONDS] [--runs N] [TARGET...]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=120
runs=""
targets=()
while [ $# -gt 0 ]; do
  case "$1" in
    --runs) runs="$2"; shift 2 ;;
    [0-9]*) seconds="$1"; shift ;;
    *) targets+=("$1"); shift ;;
  esac
done
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz
if [ ${#targets[@]} -eq 0 ]; then
  for source in fuzz/fuzz_*.cpp; do
    name=$(basename "$source" .cpp)
    targets+=("${name#fuzz_}")
  done
fi

# No allocation stacks while fuzzing (a third of the time goes into them);
# run a crash input again by itself for the full report.
export ASAN_OPTIONS=detect_leaks=1:malloc_context_size=0 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
status=0
summary=()
for name in "${targets[@]}"; do
  work=build-fuzz/fuzz-work/$name
  mkdir -p "$work/corpus" "$work/artifacts"
  inputs=("$work/corpus" "fuzz/corpus/$name")
  [ -d "fuzz/regressions/$name" ] && inputs+=("fuzz/regressions/$name")
  limit=(-max_total_time="$seconds")
  [ -n "$runs" ] && limit=(-runs="$runs")
  echo "== $name"
  before=$(ls "$work/artifacts" | wc -l)
  log="$work/last-run.log"
  build-fuzz/bin/fuzz_"$name" "${limit[@]}" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$work/artifacts/" "${inputs[@]}" >"$log" 2>&1 || status=1
  executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  found=$(( $(ls "$work/artifacts" | wc -l) - before ))
  grep -E "^#[0-9]+.*DONE" "$log" | tail -1 || true
  if [ "$found" -gt 0 ] || ! grep -q "^stat::number_of_executed_units" "$log"; then
    grep -E "invariant broken|ERROR|what\(\)" "$log" | head -5 || true
    ls -t "$work/artifacts" | head -"$((found > 0 ? found : 1))" | sed "s|^|  crash input: $work/artifacts/|"
  fi
  summary+=("$(printf '%-16s %12s executions  %d findings' "$name" "${executions:-?}" "$found")")
done
echo
printf '%s\n' "${summary[@]}"
exit $status
