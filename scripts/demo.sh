#!/usr/bin/env bash
# Main job: builds a flash image from the bundled sample configuration, firmware and
# voice prompts with tessera-cli and prints its summary.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake --preset release >/dev/null
cmake --build --preset release -j "$(nproc)" --target tessera-cli
mkdir -p out
./build/release/tessera/tessera-cli build samples/demo.cfg --bin samples/firmware.bin --out out/QR5830.IMG
ls -l out/
