#!/usr/bin/env bash
# Installs what is missing, builds and runs every test (headless).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
werror=OFF
[ -n "${CI:-}" ] && werror=ON
scripts/build.sh -DWORDLOOM_WERROR=$werror
export QT_QPA_PLATFORM=offscreen
ctest --test-dir build --output-on-failure -j2
