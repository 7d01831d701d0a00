#!/usr/bin/env bash
# The kestrel window on four simulated boards: builds the sample image with tessera-cli,
# starts the adapter simulator and opens the window on it. Closing the window stops the
# simulator. Adapters are plugged and pulled with "plug N" / "unplug N" lines on the
# simulator's control socket (sim/adapter/SimControl.h); its folder is printed.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh --with-gui
cmake --preset release >/dev/null
log=build/release-kestrel-demo-build.log
mkdir -p build out
if ! cmake --build --preset release -j "$(nproc)" --target kestrel tessera-cli kestrel-adapter-sim >"$log" 2>&1; then
  cat "$log"
  exit 1
fi
B=build/release
# Without a display the window cannot open: say how to get one instead of letting Qt fail.
if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "kestrel-demo.sh: built build/release/kestrel/ui/kestrel, but there is no display to show its window on (neither DISPLAY nor WAYLAND_DISPLAY is set)." >&2
  echo "Run it on a desktop, or under a virtual display: xvfb-run -a bash scripts/kestrel-demo.sh" >&2
  exit 3
fi
[ -f out/kestrel-demo.IMG ] ||
  "$B/tessera/tessera-cli" build samples/demo.cfg --bin samples/firmware.bin --out out/kestrel-demo.IMG >/dev/null
sim=$(mktemp -d)
"$B/sim/kestrel-adapter-sim" "$sim" --boards 4 --rate 1000000 --erase-ms 200 >/dev/null &
simpid=$!
trap 'kill $simpid 2>/dev/null; wait $simpid 2>/dev/null; rm -rf "$sim"' EXIT
for _ in $(seq 100); do [ -S "$sim/control.sock" ] && break; sleep 0.1; done
echo "simulated adapters in $sim; image to load: out/kestrel-demo.IMG"
"$B/kestrel/ui/kestrel" --sim "$sim" --readback-dir out/readback
