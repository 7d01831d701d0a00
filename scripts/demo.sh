#!/usr/bin/env bash
# Main job: builds a flash image from the bundled sample configuration, firmware and
# voice prompts with tessera-cli and prints its summary; then burns that image into
# four simulated boards with kestrel-cli, each with its own Bluetooth address.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake --preset release >/dev/null
log=build/release-demo-build.log
mkdir -p build
if ! cmake --build --preset release -j "$(nproc)" --target tessera-cli kestrel-cli kestrel-adapter-sim >"$log" 2>&1; then
  cat "$log"
  exit 1
fi
mkdir -p out
echo "== tessera-cli build samples/demo.cfg =="
./build/release/tessera/tessera-cli build samples/demo.cfg --bin samples/firmware.bin --out out/QR5830.IMG
ls -l out/QR5830*

echo
echo "== kestrel-cli burn on four simulated boards =="
sim=$(mktemp -d)
./build/release/sim/kestrel-adapter-sim "$sim" --boards 4 --rate 2000000 --erase-ms 100 >/dev/null &
simpid=$!
trap 'kill $simpid 2>/dev/null; wait $simpid 2>/dev/null; rm -rf "$sim"' EXIT
for _ in $(seq 50); do [ -S "$sim/control.sock" ] && break; sleep 0.1; done
cp out/QR5830.IMG out/burn.IMG
./build/release/kestrel/kestrel-cli --sim "$sim" --readback-dir out/readback burn out/burn.IMG --address 11:22:33:44:55:66
