#!/usr/bin/env bash
# Builds and starts the configuration tool's window: scripts/tessera.sh [FILE.cfg] [--lang en|zh_CN]
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh --with-gui
cmake --preset dev >/dev/null
cmake --build --preset dev -j2 --target tessera >/dev/null
# Without a display the window cannot open: say how to get one instead of letting Qt fail.
if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "tessera.sh: built build/dev/tessera/ui/tessera, but there is no display to show its window on (neither DISPLAY nor WAYLAND_DISPLAY is set)." >&2
  echo "Run it on a desktop, or under a virtual display: xvfb-run -a bash scripts/tessera.sh" >&2
  exit 3
fi
exec build/dev/tessera/ui/tessera "$@"
