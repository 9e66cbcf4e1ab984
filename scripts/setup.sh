#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need, when any
# of them is missing. Safe to run again: it does nothing when all are present.
set -euo pipefail

native_pkgs=(
  cmake make g++ pkg-config
  g++-multilib                 # the 32-bit Linux build (-m32)
  lib32asan8 lib32ubsan1       # its sanitizer build (make test-asan; come with g++-multilib)
  g++-mingw-w64-i686           # the 32-bit Windows build
  googletest                   # GoogleTest sources, built for -m32 by our tree
  libstb-dev                   # BMP decode, PNG encode, TrueType rasteriser
  libcli11-dev                 # panelhost's command line
  fonts-liberation             # Liberation Mono, metrically equal to Courier New
  libcairo2-dev libimagequant-dev   # art/: drawing and palette quantisation
  webp                         # img2webp: the animated picture of a scenario run
  clang-format clang-tidy
  clang libclang-rt-14-dev      # make fuzz: libFuzzer for -m32
  gnuplot-nox                  # panelhost's flight-log plots (cairo PNG terminal)
  chromium                     # the report page test opens it headless
)
i386_pkgs=(
  wine wine32:i386             # runs the Windows build
  libbenchmark-dev:i386        # Google Benchmark for the 32-bit build (make bench)
)

missing=()
for p in "${native_pkgs[@]}" "${i386_pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "setup: installing ${missing[*]}"
if [ "$(id -u)" -ne 0 ]; then
  echo "setup: these packages are missing and installing them needs root: ${missing[*]}" >&2
  exit 1
fi
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
