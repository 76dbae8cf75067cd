#!/usr/bin/env bash
# Formats the C and C++ sources with .clang-format; --check only reports what differs.
set -euo pipefail
cd "$(dirname "$0")/.."
mode=(-i)
[ "${1:-}" = "--check" ] && mode=(--dry-run --Werror)
git ls-files -z '*.cpp' '*.h' '*.c' | xargs -0 clang-format "${mode[@]}"
