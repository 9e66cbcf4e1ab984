#!/usr/bin/env bash
# Instruction counts per operation under callgrind: repeatable where the
# timings of a shared machine are not. Usage: bench/profile.sh [OP...]
# (default: the recorder panel's update and its formatting floor). Leaves
# each profile in out/bench/callgrind.<op> for callgrind_annotate.
set -euo pipefail
cd "$(dirname "$0")/.."
bench=build/bench/bench/panel_bench
rounds=${ROUNDS:-500}
ops=("$@")
[ ${#ops[@]} -eq 0 ] && ops=(Update/recpanel Floor/recpanel)
mkdir -p out/bench
for op in "${ops[@]}"; do
  file=out/bench/callgrind.${op//\//_}
  valgrind --tool=callgrind --callgrind-out-file="$file" \
    --toggle-collect='*ProfiledRounds*' "$bench" --op="$op" --rounds="$rounds" 2>/dev/null
  total=$(callgrind_annotate "$file" 2>/dev/null | awk '/PROGRAM TOTALS/ {gsub(",", "", $1); print $1}')
  printf '%-28s %12d instructions per call\n' "$op" $((total / rounds))
done
