#!/usr/bin/env bash
# make fuzz: coverage-guided fuzzing of panelhost's scenario and flight-log
# parsers with libFuzzer (clang, -m32, AddressSanitizer and UBSan), each for
# FUZZ_SECONDS (default 60), starting from the corpus in tests/fuzz/corpus/.
# New inputs it finds go to build/fuzz/found/<parser>/ (not into the repo);
# a crash leaves its input in build/fuzz/ and fails the run. `make test` runs
# the seeded mutation driver (tests/fuzz_test.cpp) instead, which needs no clang.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${FUZZ_SECONDS:-60}
out=build/fuzz
mkdir -p "$out"
for parser in scenario flight_log; do
  define=$(echo "FUZZ_$parser" | tr a-z A-Z)
  bin="$out/fuzz_$parser"
  clang++ -m32 -std=c++20 -O1 -g -I. -fsanitize=fuzzer,address,undefined \
    -fsanitize=float-cast-overflow -fno-sanitize-recover=all -D"$define" \
    tests/fuzz/libfuzzer_target.cpp host/scenario.cpp host/flight_log.cpp -o "$bin"
  mkdir -p "$out/found/$parser"
  echo "fuzz: $parser for ${seconds}s"
  "$bin" -max_total_time="$seconds" -max_len=16384 -artifact_prefix="$out/$parser-" \
    "$out/found/$parser" "tests/fuzz/corpus/$parser"
done
