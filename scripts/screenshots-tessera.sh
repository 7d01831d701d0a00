#!/usr/bin/env bash
# Starts the real tessera program under a virtual X server and saves every page and
# dialog, in English and Simplified Chinese, as docs/screenshots/tessera-<lang>-<name>.png;
# then the three pages on the serial link talking to the simulated board
# (tessera-<lang>-live-<page>.png).
# Usage: scripts/screenshots-tessera.sh [out-dir]
set -euo pipefail
cd "$(dirname "$0")/.."
out="${1:-docs/screenshots}"
bash scripts/setup.sh --with-gui
cmake --preset dev >/dev/null
cmake --build --preset dev -j2 --target tessera tessera_live_gui_tests
mkdir -p "$out"
for lang in en zh_CN; do
  # The sample configuration fills the pages, so the pictures show real values.
  xvfb-run -a -s "-screen 0 1280x1024x24" \
    build/dev/tessera/ui/tessera --lang "$lang" --screenshots "$out" samples/demo.cfg
done
TESSERA_LIVE_SHOTS="$out" LC_ALL=C.UTF-8 xvfb-run -a -s "-screen 0 1280x1024x24" \
  build/dev/tests/tessera_link/tessera_live_gui_tests --gtest_filter='LiveScreenshots.*'
ls "$out"/tessera-*.png
