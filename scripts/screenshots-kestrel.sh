#!/usr/bin/env bash
# Screenshots of the kestrel window on four simulated boards, board 3 with a flash fault:
# idle with the sample image loaded, during a burn, and after it (one slot failed).
# Saves docs/screenshots/kestrel-{idle,burning,after-burn}.png, and the same on eight
# boards (rows below the first four) as kestrel-eight-boards-*.png. The first run also
# shows the address pool: its settings dialog (kestrel-pool-settings*.png), the window
# with the database away (kestrel-pool-unreachable.png) and, on a throwaway PostgreSQL
# cluster, open and after a burn (kestrel-pool-open.png, kestrel-pool-after-burn.png).
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset dev >/dev/null
cmake --build --preset dev -j2 --target kestrel kestrel-screenshots kestrel-adapter-sim tessera-cli kestrel-cli >/dev/null
B=build/dev
work=$(mktemp -d)
mkdir -p "$work/sim"
"$B/sim/kestrel-adapter-sim" "$work/sim" --boards 4 --rate 300000 --erase-ms 100 --fault 2:flip=4660 >/dev/null &
simpid=$!
mkdir -p "$work/sim8"
"$B/sim/kestrel-adapter-sim" "$work/sim8" --boards 8 --rate 300000 --erase-ms 100 --fault 5:flip=4660 >/dev/null &
sim8pid=$!
cluster=tests/kestrel_pool/pgcluster.sh
trap 'kill $simpid $sim8pid 2>/dev/null; wait $simpid $sim8pid 2>/dev/null; $cluster remove "$work/pg" >/dev/null 2>&1; rm -rf "$work"' EXIT
for _ in $(seq 100); do [ -S "$work/sim/control.sock" ] && [ -S "$work/sim8/control.sock" ] && break; sleep 0.1; done
"$B/tessera/tessera-cli" build samples/demo.cfg --bin samples/firmware.bin --out "$work/QR5830.IMG" >/dev/null
mkdir -p docs/screenshots
pool=()
if url=$($cluster start "$work/pg" 2>/dev/null) \
   && "$B/kestrel/kestrel-cli" pool init "$url" --name line-a --first 00:1a:7d:00:10:00 --last 00:1a:7d:00:13:ff >/dev/null; then
  pool=(--pool-url "$url" --pool-name line-a)
else
  echo "no PostgreSQL cluster: the open pool is not shown" >&2
fi
xvfb-run -a -s "-screen 0 1280x1024x24" \
  "$B/tests/kestrel_gui/kestrel-screenshots" --sim "$work/sim" --image "$work/QR5830.IMG" \
  --readback-dir "$work/readback" --address 11:22:33:44:55:66 --out docs/screenshots --pool-shots "${pool[@]}" \
  && cp "$work/QR5830.IMG" "$work/QR5830-8.IMG" \
  && xvfb-run -a -s "-screen 0 1280x1024x24" \
  "$B/tests/kestrel_gui/kestrel-screenshots" --sim "$work/sim8" --image "$work/QR5830-8.IMG" \
  --readback-dir "$work/readback8" --address 11:22:33:44:56:00 --out docs/screenshots --tag eight-boards
