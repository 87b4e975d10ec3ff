#!/usr/bin/env bash
# Runs fuzz targets of the fuzz preset (build it first) for a fixed time each
# over their seed corpora in tests/fuzz/corpus/<target>. New inputs go to a
# temporary folder, a crashing input to build/fuzz/artifacts. Exits non-zero
# at the first crash, sanitizer report or hang (an input running 10 s).
#   tools/fuzz.sh SECONDS [TARGET...]    targets: script parse_line ini registry
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:?usage: tools/fuzz.sh SECONDS [TARGET...]}
shift
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(script parse_line ini registry)

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p build/fuzz/artifacts
for t in "${targets[@]}"; do
  mkdir "$work/$t"
  echo "--- fuzz $t: $seconds s"
  if ! "build/fuzz/tests/fuzz/${t}_fuzzer" -max_total_time="$seconds" -timeout=10 \
      -print_final_stats=1 -artifact_prefix="build/fuzz/artifacts/$t-" \
      "$work/$t" "tests/fuzz/corpus/$t" >"$work/$t.log" 2>&1; then
    tail -n 60 "$work/$t.log"
    echo "fuzz: $t failed; the input is in build/fuzz/artifacts" >&2
    exit 1
  fi
  grep -E '^#[0-9]+[[:space:]]+DONE' "$work/$t.log" || true
done
