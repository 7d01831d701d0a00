#!/usr/bin/env bash
# Starts the real tessera program under a virtual X server and saves every page and
# dialog, in English and Simplified Chinese, as docs/screenshots/tessera-<lang>-<name>.png.
# Usage: scripts/screenshots-tessera.sh [out-dir]
set -euo pipefail
cd "$(dirname "$0")/.."
out="${1:-docs/screenshots}"
bash scripts/setup.sh --with-gui
cmake --preset dev >/dev/null
cmake --build --preset dev -j2 --target tessera
mkdir -p "$out"
for lang in en zh_CN; do
  # The sample configuration fills the pages, so the pictures show real values.
  xvfb-run -a -s "-screen 0 1280x1024x24" \
    build/dev/tessera/ui/tessera --lang "$lang" --screenshots "$out" samples/demo.cfg
done
ls "$out"/tessera-*.png
