#!/usr/bin/env bash
# make demo: validates every module, then flies the default flight through
# all sixteen gauges and leaves its log, snapshots, animation, plots and
# report in out/demo/ (or the folder given as the first argument).
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-out/demo}
host=dist/linux/panelhost
mapfile -t modules < <(ls dist/linux/*.so | grep -v '/lib')
"$host" validate "${modules[@]}"
"$host" run scenarios/default_flight.scn -o "$out"
echo "demo: open $out/index.html"
