#!/usr/bin/env bash
# Runs fuzz targets of the fuzz preset (build it first) for a fixed time each
# over their seed corpora in tests/fuzz/corpus/<target>. New inputs go to a
# temporary folder, a crashing input to build/fuzz/artifacts. Exits non-zero
# at the first crash, sanitizer report or hang (an input running 10 s).
# Prints each target's executions, time and executions per second.
#   tools/fuzz.sh SECONDS [TARGET...]    targets: script parse_line ini registry
#   tools/fuzz.sh --runs N [TARGET...]   each target to N executions instead
set -euo pipefail
cd "$(dirname "$0")/.."
usage="usage: tools/fuzz.sh SECONDS|--runs N [TARGET...]"
limit=(-max_total_time="${1:?$usage}")
what="$1 s"
if [ "$1" = --runs ]; then
  limit=(-runs="${2:?$usage}")
  what="$2 runs"
  shift
fi
shift
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(script parse_line ini registry)

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p build/fuzz/artifacts
for t in "${targets[@]}"; do
  mkdir "$work/$t"
  echo "--- fuzz $t: $what"
  start=$(date +%s.%N)
  if ! "build/fuzz/tests/fuzz/${t}_fuzzer" "${limit[@]}" -timeout=10 \
      -print_final_stats=1 -artifact_prefix="build/fuzz/artifacts/$t-" \
      "$work/$t" "tests/fuzz/corpus/$t" >"$work/$t.log" 2>&1; then
    tail -n 60 "$work/$t.log"
    echo "fuzz: $t failed; the input is in build/fuzz/artifacts" >&2
    exit 1
  fi
  grep -E '^#[0-9]+[[:space:]]+DONE' "$work/$t.log" || true
  awk -v t="$t" -v s="$(echo "$(date +%s.%N) - $start" | bc)" \
    '/^stat::number_of_executed_units:/ {n = $2} /^stat::average_exec_per_sec:/ {r = $2}
     END {printf "fuzz %s: %d executions in %.0f s, %d exec/s\n", t, n, s, r}' "$work/$t.log"
done
