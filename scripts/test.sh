#!/usr/bin/env bash
# Installs what is missing, builds and runs every test (headless).
# Under CI (CI set) warnings are errors and the suite runs a second time
# under AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
export QT_QPA_PLATFORM=offscreen

werror=OFF
[ -n "${CI:-}" ] && werror=ON
scripts/build.sh -DWORDLOOM_WERROR=$werror
ctest --test-dir build --output-on-failure -j2

if [ -n "${CI:-}" ] || [ -n "${WORDLOOM_SANITIZE_PASS:-}" ]; then
  echo "== the same tests under AddressSanitizer and UndefinedBehaviorSanitizer =="
  cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DWORDLOOM_SANITIZE=ON \
    -DWORDLOOM_BENCHMARKS=OFF -DWORDLOOM_WERROR=$werror >/dev/null
  cmake --build build-asan
  UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 ctest --test-dir build-asan --output-on-failure -j2
fi
