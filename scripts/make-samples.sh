#!/usr/bin/env bash
# Makes the bundled samples, all of our own making:
#   samples/firmware.bin        deterministic stand-in firmware (240 KiB, fits every code area)
#   samples/prompts/*.wav       short English voice prompts, canonical 44-byte-header
#                               16-bit PCM mono wave files at 8000 Hz
#
# Usage:
#   bash scripts/setup.sh --with-samples   # installs espeak-ng and sox (Debian 12)
#   bash scripts/make-samples.sh           # rewrites the files above
#
# Needs espeak-ng, sox and python3 (the Debian 12 python3, standard library only).
# The firmware is the same on every run; the prompts are the same for the same
# espeak-ng and sox versions (sox runs without dither, -D).
set -euo pipefail
cd "$(dirname "$0")/.."

for tool in espeak-ng sox python3; do
  command -v "$tool" >/dev/null || { echo "make-samples.sh: $tool missing; run scripts/setup.sh --with-samples" >&2; exit 1; }
done

mkdir -p samples/prompts
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# --- firmware.bin -----------------------------------------------------------------
python3 - samples/firmware.bin <<'PY'
import struct, sys, zlib
SIZE = 240 * 1024
# A recognisable header: magic, version, length, then a description, zero-padded to 64.
head = b"QR5830-SAMPLE-FW\0" + struct.pack("<HHI", 2, 6, SIZE)
head += b"tessera sample firmware, not for real boards\0"
head = head.ljust(64, b"\0")
# The body: xorshift32 from a fixed seed, so every run gives the same bytes.
x = 0x5830C0DE
body = bytearray()
while len(head) + len(body) < SIZE - 4:
    x ^= (x << 13) & 0xFFFFFFFF
    x ^= x >> 17
    x ^= (x << 5) & 0xFFFFFFFF
    body += struct.pack("<I", x)
data = head + bytes(body[: SIZE - 4 - len(head)])
data += struct.pack("<I", zlib.crc32(data))  # trailer: CRC-32 of everything before it
assert len(data) == SIZE
open(sys.argv[1], "wb").write(data)
PY

# --- voice prompts ----------------------------------------------------------------
# name|text
prompts=(
  "power_on|Power on"
  "power_off|Power off"
  "connected|Connected"
)
for entry in "${prompts[@]}"; do
  name=${entry%%|*}
  text=${entry#*|}
  espeak-ng -v en-us -s 170 -w "$tmp/$name.raw.wav" "$text"
  # 8 kHz, 16-bit, mono, no dither; trim leading and trailing silence.
  sox -V1 -D "$tmp/$name.raw.wav" -r 8000 -b 16 -c 1 -e signed-integer "$tmp/$name.wav" \
      silence 1 0.02 0.5% reverse silence 1 0.02 0.5% reverse
  # Rewrite as a canonical 44-byte header (RIFF, fmt of 16 bytes, data at 36, size at 40,
  # samples from 44), whatever chunks sox wrote.
  python3 - "$tmp/$name.wav" "samples/prompts/$name.wav" <<'PY'
import struct, sys
src = open(sys.argv[1], "rb").read()
assert src[:4] == b"RIFF" and src[8:12] == b"WAVE", "not a RIFF/WAVE file"
pos, fmt, data = 12, None, None
while pos + 8 <= len(src):
    cid, size = src[pos:pos + 4], struct.unpack("<I", src[pos + 4:pos + 8])[0]
    body = src[pos + 8:pos + 8 + size]
    if cid == b"fmt ":
        fmt = body
    elif cid == b"data":
        data = body
    pos += 8 + size + (size & 1)
tag, channels, rate, _, _, bits = struct.unpack("<HHIIHH", fmt[:16])
assert tag in (1, 0xFFFE) and channels == 1 and bits == 16, (tag, channels, bits)
out = b"RIFF" + struct.pack("<I", 36 + len(data)) + b"WAVE"
out += b"fmt " + struct.pack("<IHHIIHH", 16, 1, 1, rate, rate * 2, 2, 16)
out += b"data" + struct.pack("<I", len(data)) + data
assert out[36:40] == b"data" and struct.unpack("<I", out[40:44])[0] == len(data)
open(sys.argv[2], "wb").write(out)
print(f"{sys.argv[2]}: {len(out)} bytes, {rate} Hz, {len(data) // 2} samples")
PY
done
ls -l samples/firmware.bin samples/prompts/
