#!/usr/bin/env bash
# Runs clang-tidy (.clang-tidy) over the product sources; any finding fails.
# Arguments name the folders to check (default: all of the product's).
#   scripts/tidy.sh                  everything, about 4 minutes on 2 cores
#   scripts/tidy.sh document checks  just those
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
folders=("$@")
[ ${#folders[@]} -eq 0 ] && folders=(document checks plugins cli exporters app editor)
[ -f build/compile_commands.json ] || scripts/build.sh >/dev/null
pattern="$(pwd)/($(IFS='|'; echo "${folders[*]}"))/"
log=$(mktemp)
trap 'rm -f "$log"' EXIT
if ! run-clang-tidy -quiet -j "$(nproc)" -p build "$pattern" >"$log" 2>&1; then
  grep -E -A4 '(error|warning): ' "$log" | grep -v 'warnings generated' || tail -n 40 "$log"
  echo "== clang-tidy found the above" >&2
  exit 1
fi
echo "== clang-tidy: no findings in ${folders[*]}"
