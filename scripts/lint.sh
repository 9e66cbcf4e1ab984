#!/usr/bin/env bash
# make lint: clang-format must leave our sources unchanged, and clang-tidy
# (the checks in .clang-tidy) must find no error over the Linux build's files.
set -euo pipefail
cd "$(dirname "$0")/.."
dirs=(framework host art sound flightlog engine_controls period_instruments tests)
mapfile -t files < <(git ls-files "${dirs[@]}" | grep -E '\.(cpp|h)$')
echo "lint: clang-format over ${#files[@]} files"
clang-format --dry-run -Werror "${files[@]}"
db=build/linux32/compile_commands.json
if [ ! -f "$db" ]; then
  echo "lint: $db is missing; run 'make linux' first" >&2
  exit 1
fi
mapfile -t sources < <(printf '%s\n' "${files[@]}" | grep '\.cpp$' | grep -v '^art/' | grep -v '^tests/')
echo "lint: clang-tidy over ${#sources[@]} sources"
status=0
for f in "${sources[@]}"; do
  out=$(clang-tidy -p build/linux32 --quiet --extra-arg=-Wno-error "$f" 2>&1) || status=1
  printf '%s\n' "$out" | grep -E '(warning|error):' || true
done
[ $status -eq 0 ] && echo "lint: ok" || echo "lint: clang-tidy found errors" >&2
exit $status
