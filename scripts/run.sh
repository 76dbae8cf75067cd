#!/usr/bin/env bash
# Installs what is missing, builds and starts the editor.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  cat >&2 <<'MSG'
There is no display to show the editor on (neither DISPLAY nor WAYLAND_DISPLAY is set).
The editor is built: build/bin/wordloom
To run it on a virtual display, for example to take a screenshot:
  xvfb-run -a -s "-screen 0 1024x768x24" build/bin/wordloom
MSG
  exit 1
fi
exec build/bin/wordloom "$@"
