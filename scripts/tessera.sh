#!/usr/bin/env bash
# Builds and starts the configuration tool's window: scripts/tessera.sh [FILE.cfg] [--lang en|zh_CN]
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh --with-gui
cmake --preset dev >/dev/null
cmake --build --preset dev -j2 --target tessera >/dev/null
exec build/dev/tessera/ui/tessera "$@"
