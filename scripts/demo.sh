#!/usr/bin/env bash
# Main job: builds a flash image from the bundled sample configuration, firmware and
# voice prompts with tessera-cli and prints its summary; then burns that image into
# four simulated boards with kestrel-cli, each with its own Bluetooth address, and checks
# the boards themselves: each simulated flash must hold the image, byte for byte but for
# its address, and the four addresses must differ. Exits non-zero otherwise.
# Needs only the command-line tools: no Qt, no test libraries (the `cli` preset).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh --minimal
B=build/cli
cmake --preset cli >/dev/null
log=build/cli-demo-build.log
mkdir -p build
if ! cmake --build --preset cli -j "$(nproc)" --target tessera-cli kestrel-cli kestrel-adapter-sim >"$log" 2>&1; then
  cat "$log"
  exit 1
fi
mkdir -p out
echo "== tessera-cli build samples/demo.cfg =="
"$B/tessera/tessera-cli" build samples/demo.cfg --bin samples/firmware.bin --out out/QR5830.IMG
ls -l out/QR5830*

echo
echo "== kestrel-cli burn on four simulated boards =="
sim=$(mktemp -d)
"$B/sim/kestrel-adapter-sim" "$sim" --boards 4 --rate 2000000 --erase-ms 100 >/dev/null &
simpid=$!
trap 'kill $simpid 2>/dev/null; wait $simpid 2>/dev/null; rm -rf "$sim"' EXIT
for _ in $(seq 50); do [ -S "$sim/control.sock" ] && break; sleep 0.1; done
cp out/QR5830.IMG out/burn.IMG
rm -rf out/readback
"$B/kestrel/kestrel-cli" --sim "$sim" --readback-dir out/readback burn out/burn.IMG --address 11:22:33:44:55:66

echo
echo "== the boards =="
# The address field of the configuration record: six bytes at 0x80064, least significant
# first; everything else on the board must be the image's own bytes.
addr_at=$((0x80064))
image=out/QR5830.IMG
size=$(stat -c %s "$image")
status=0
addresses=()
boards=("$sim"/board*.bin)
[ "${#boards[@]}" -eq 4 ] && [ -f "${boards[0]}" ] || { echo "expected four simulated flash files in $sim" >&2; exit 1; }
for board in "${boards[@]}"; do
  name=$(basename "$board" .bin)
  # cmp -l prints 1-based offsets of the differing bytes.
  bad=$( (cmp -l -n "$size" "$image" "$board" 2>/dev/null || true) |
        awk -v lo=$((addr_at + 1)) -v hi=$((addr_at + 6)) '$1 < lo || $1 > hi' | wc -l)
  read -r -a b < <(od -An -v -tx1 -j "$addr_at" -N 6 "$board")
  address="${b[5]}:${b[4]}:${b[3]}:${b[2]}:${b[1]}:${b[0]}"
  if [ "$bad" -ne 0 ]; then
    echo "$name: $bad byte(s) differ from the image outside the address" >&2
    status=1
  else
    echo "$name: image intact ($size bytes), address $address"
  fi
  addresses+=("$address")
done
distinct=$(printf '%s\n' "${addresses[@]}" | sort -u | wc -l)
if [ "$distinct" -ne 4 ]; then
  echo "the four boards hold $distinct different address(es): ${addresses[*]}" >&2
  status=1
else
  echo "four boards, four different addresses"
fi
exit $status
