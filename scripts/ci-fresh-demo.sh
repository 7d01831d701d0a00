#!/usr/bin/env bash
# The main job as a newcomer runs it: scripts/demo.sh on a fresh Debian 12 system, in a
# clean copy of the committed project (../shared/tools/fresh-machine.sh, a debootstrap
# chroot; needs root). Where that cannot run (no such tool, not root, no chroot), the demo
# runs here instead in a tree configured without Qt, so it still fails if it needs Qt.
set -euo pipefail
cd "$(dirname "$0")/.."
t0=$SECONDS
fresh=../shared/tools/fresh-machine.sh
if [ -f "$fresh" ] && [ "$(id -u)" -eq 0 ]; then
  bash scripts/setup.sh --minimal --with-fresh-machine
  echo "== demo on a fresh Debian 12 system =="
  bash "$fresh" 'bash scripts/demo.sh'
else
  echo "== demo (no fresh system here: ${fresh} missing or not root); Qt turned off =="
  bash scripts/setup.sh --minimal
  cmake --preset cli -DCMAKE_DISABLE_FIND_PACKAGE_Qt6=ON >/dev/null
  bash scripts/demo.sh
fi
echo "demo: $((SECONDS - t0)) s"
