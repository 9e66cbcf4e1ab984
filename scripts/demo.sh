#!/usr/bin/env bash
# make demo: validates every module of the Linux build and draws each gauge
# into out/demo/, with the engine and instruments at a set of values.
set -euo pipefail
cd "$(dirname "$0")/.."
dist=dist/linux
out=out/demo
mkdir -p "$out"
host="$dist/panelhost"
mapfile -t modules < <(ls "$dist"/*.so | grep -v '/lib')
"$host" validate "${modules[@]}"
for m in "${modules[@]}"; do
  name=$(basename "$m" .so)
  for g in $("$host" list "$m" | awk '/version (700|610)/ {print $1}'); do
    "$host" render "$m" "$g" -o "$out/${name}_${g}.png" \
      --set 74=9842.52 --set 136=13000 --set 61=90 --set 393=0.6 --set 399=1 --set 400=1 \
      --set 73=1500 --set 390=2100 --set 402=300000 --set 84=45 --set 80=10 --set 78=-3 \
      --set 65=12 --set 351=605 --set 64=6000 --set 71=60000000 --set 72=1000000000000 \
      --set 1=100 --updates 3
    echo "demo: $out/${name}_${g}.png"
  done
done
