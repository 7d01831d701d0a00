#!/usr/bin/env bash
# Makes the fuzz targets' seed corpora (fuzz/corpus/<target>/) and the JSON dictionary
# (fuzz/dict/FuzzConfigJson.dict) from real inputs: configurations written by
# `tessera-cli new` for every flash and chip type, the sample configuration and its JSON,
# the sample voice prompts, canonical and broken wave files, and images built by
# `tessera-cli build` with and without a configuration record, the board's replies on the
# serial link. Re-run it when a file format changes; the result is committed. Inputs a
# campaign added (named by their hash) stay; delete fuzz/corpus/TARGET to start over.
# Usage: scripts/fuzz-corpus.sh [path/to/tessera-cli]
set -euo pipefail
cd "$(dirname "$0")/.."
cli=${1:-build/dev/tessera/tessera-cli}
if [ ! -x "$cli" ]; then
  cmake --preset release >/dev/null
  cmake --build --preset release -j2 --target tessera-cli
  cli=build/release/tessera/tessera-cli
fi
cli=$(realpath "$cli")
root=$(pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p fuzz/dict
for t in FuzzConfigFile FuzzDocument FuzzConfigJson FuzzWaveLoader FuzzImageFile AdapterReplyFuzz FuzzLinkReplies; do
  mkdir -p "fuzz/corpus/$t"
done

# Configurations as a freshly started tool writes them. FuzzDocument runs in a folder
# holding fw.bin and w1.wav .. w3.wav, so its seeds name those.
flashes="GD_4Mbit GD_8Mbit GD_16Mbit GD_32Mbit"
chips="QFN40_5X5 QFN48_6X6 QFN56_7X7"
for f in $flashes; do
  for c in $chips; do
    "$cli" new "$work/$f-$c.cfg" --flash "$f" --chip "$c" --bin fw.bin >/dev/null
  done
  cp "$work/$f-QFN48_6X6.cfg" "fuzz/corpus/FuzzDocument/new-$f.cfg"
  cp "$work/$f-QFN48_6X6.cfg" "fuzz/corpus/FuzzConfigFile/new-$f.cfg"
done
for c in QFN40_5X5 QFN56_7X7; do
  cp "$work/GD_8Mbit-$c.cfg" "fuzz/corpus/FuzzDocument/new-$c.cfg"
  cp "$work/GD_8Mbit-$c.cfg" "fuzz/corpus/FuzzConfigFile/new-$c.cfg"
done
cp samples/demo.cfg fuzz/corpus/FuzzConfigFile/demo.cfg

# The sample configuration with its prompts moved onto the fixture waves, one of each
# kind, and with a DTMF entry; then the same with the selections out of range.
"$cli" export samples/demo.cfg --out "$work/demo.json" >/dev/null
python3 - "$work" <<'PY'
import json, sys
work = sys.argv[1]
doc = json.load(open(f"{work}/demo.json"))
doc["bin_path"] = "fw.bin"
for i, name in enumerate(["w1.wav", "w2.wav", "w3.wav"]):
    doc["sound_effects"][i]["path"] = name
json.dump(doc, open(f"{work}/doc-waves.json", "w"), indent=2, ensure_ascii=False)
for key, value in (("flash_type", 7), ("chip_type", -1)):
    bad = json.loads(json.dumps(doc))
    bad[key] = value
    json.dump(bad, open(f"{work}/doc-{key}.json", "w"), indent=2, ensure_ascii=False)
PY
for j in doc-waves doc-flash_type doc-chip_type; do
  "$cli" import "$work/$j.json" --out "fuzz/corpus/FuzzDocument/$j.cfg" >/dev/null
done

# Configuration files at the reader's limits: one byte short, a path longer than the
# 255 bytes read, a path with a zero inside.
python3 - "$work/GD_8Mbit-QFN48_6X6.cfg" fuzz/corpus/FuzzConfigFile <<'PY'
import sys
base = open(sys.argv[1], "rb").read()[:15838]
out = sys.argv[2]
open(f"{out}/short.cfg", "wb").write(base[:15837])
open(f"{out}/long-path.cfg", "wb").write(base + b"d/" * 150)
open(f"{out}/nul-path.cfg", "wb").write(base + b"fw\0.bin")
PY

# JSON: the sample and fresh configurations; the dictionary holds every member name and
# every text value that appears in them, plus the value forms of the format.
cp samples/demo.json fuzz/corpus/FuzzConfigJson/demo.json
for f in GD_4Mbit GD_32Mbit; do
  "$cli" export "$work/$f-QFN40_5X5.cfg" --out "fuzz/corpus/FuzzConfigJson/new-$f.json" >/dev/null
done
python3 - samples/demo.json fuzz/dict/FuzzConfigJson.dict <<'PY'
import json, sys
doc = json.load(open(sys.argv[1]))
words = set()
def walk(v):
    if isinstance(v, dict):
        for k, x in v.items():
            words.add(json.dumps(k)); walk(x)
    elif isinstance(v, list):
        for x in v: walk(x)
    elif isinstance(v, str) and len(v) <= 40:
        words.add(json.dumps(v, ensure_ascii=False))
walk(doc)
words |= {'{"hex": "', '{"bits": "0x7FC00000"}', '"0x', "null", "true", "false", "-1", "4294967295",
          '"UNUSED"', '"GPIO31"', '"DTMF tone"', '"CONTINEOUS"', '"Peak"', '"high"', "1e999"}
with open(sys.argv[2], "w") as out:
    out.write("# Member names and texts of the configuration JSON (scripts/fuzz-corpus.sh)\n")
    for w in sorted(words):
        out.write('"' + w.replace("\\", "\\\\").replace('"', '\\"') + '"\n')
PY

# Wave files: input byte 0 picks the offset (x5), byte 1 the limit (x16, 0xFF none).
python3 - fuzz/corpus/FuzzWaveLoader samples/prompts <<'PY'
import os, struct, sys
out, prompts = sys.argv[1], sys.argv[2]
def wave(claimed, data):
    return (b"RIFF" + struct.pack("<I", 36 + len(data)) + b"WAVEfmt " + struct.pack("<IHHIIHH", 16, 1, 1, 8000, 16000, 2, 16)
            + b"data" + struct.pack("<I", claimed) + data)
samples = bytes((i * 37) & 0xFF for i in range(600))
seeds = {
    "canonical": b"\x00\xff" + wave(600, samples),
    "canonical-at-end": b"\xc8\xff" + wave(600, samples),
    "size-beyond-data": b"\x10\xff" + wave(0xFFFFFFF0, samples[:100]),
    "size-below-four": b"\x00\xff" + wave(3, samples[:3]),
    "header-only": b"\x00\xff" + wave(0, b""),
    "short": b"\x00\xff" + b"RIFF" + b"\0" * 30,
    "over-limit": b"\x00\x02" + wave(600, samples),
}
for name in sorted(os.listdir(prompts)):
    data = open(os.path.join(prompts, name), "rb").read()
    seeds["sample-" + name[:-4]] = b"\x04\xff" + data[:2048]
for name, data in seeds.items():
    open(os.path.join(out, name + ".bin"), "wb").write(data)
PY

# Images: the window's image of the sample (448 KiB and 512 KiB code areas, so a record
# at 0x70000 and at 0x80000), and images without a record. The target takes three length
# bytes, a fill byte for everything below 0x70000 and the image from 0x70000 on.
mkdir -p "$work/img"
cp samples/firmware.bin "$work/img/fw.bin"
cp -r samples/prompts "$work/img/"
for f in GD_4Mbit GD_8Mbit; do
  python3 - "$work/demo.json" "$work/img/$f.json" "$f" <<'PY'
import json, sys
doc = json.load(open(sys.argv[1]))
doc["bin_path"] = "fw.bin"
doc["flash_type"] = sys.argv[3]
for e in doc["sound_effects"]:
    if isinstance(e, dict) and isinstance(e.get("path"), str):
        e["path"] = e["path"].replace("samples/", "")
json.dump(doc, open(sys.argv[2], "w"), indent=2, ensure_ascii=False)
PY
  (cd "$work/img" && "$cli" import "$f.json" --out "$f.cfg" --recollect >/dev/null &&
    "$cli" build "$f.cfg" --out "$f.IMG" >/dev/null)
done
python3 - "$work/img" fuzz/corpus/FuzzImageFile <<'PY'
import struct, sys
src, out = sys.argv[1], sys.argv[2]
def seed(image, fill=0xFF):
    length = len(image)
    assert 0x6F000 <= length < 0x82000, hex(length)
    return struct.pack("<I", length - 0x6F000)[:3] + bytes([fill]) + image[0x70000:]
def fit(image):
    return image[:0x81FFF] if len(image) >= 0x82000 else image + b"\xff" * max(0, 0x6F000 - len(image))
for flash in ("GD_4Mbit", "GD_8Mbit"):
    img = fit(open(f"{src}/{flash}.IMG", "rb").read())
    open(f"{out}/{flash}-record.bin", "wb").write(seed(img))
    no = bytearray(img)
    at = 0x70000 if flash == "GD_4Mbit" else 0x80000
    no[at] = 0  # config_valid cleared: not a record
    open(f"{out}/{flash}-no-record.bin", "wb").write(seed(bytes(no)))
    open(f"{out}/{flash}-cut-in-record.bin", "wb").write(seed(img[:at + 0xA0]))
fw = open(f"{src}/fw.bin", "rb").read()
open(f"{out}/firmware-only.bin", "wb").write(seed(fit(fw), fill=0x5A))
PY

# Adapter conversations: each reply is a length byte and that many bytes (0: the read
# fails). Byte 0 picks the burn (even) or the 512 KiB read (odd) sequence.
python3 - fuzz/corpus/AdapterReplyFuzz <<'PY'
import sys
out = sys.argv[1]
ACK, CONFIRMED = 0xEE, 0x03
def reply(*b): return bytes([len(b)]) + bytes(b)
def readback(n, value=0x5A):
    s = b""
    while n:
        k = min(n, 255); s += bytes([k]) + bytes([value]) * k; n -= k
    return s
connect = reply(ACK, CONFIRMED)
ok = reply(ACK, 0)
seeds = {
    "burn-ok": b"\x00" + connect + ok + ok * 8 + reply(ACK, 0, 0, 0, 0) * 2 + readback(3000) + ok,
    "burn-verify-fails": b"\x00" + connect + ok + ok * 8 + reply(ACK, 0, 0, 0, 0) * 2 + readback(3000, 0x00) + ok,
    "burn-not-confirmed": b"\x00" + reply(ACK, 0x01),
    "burn-silent": b"\x00" + b"\x00" * 40,
    "read-ok": b"\x01" + connect + readback(4000) + ok,
}
for name, data in seeds.items():
    open(f"{out}/{name}.bin", "wb").write(data)
PY
# The board on the serial link: pieces as a port hands them over (a length byte each),
# with the link probe split across reads, the replies the pages rewrite, and a zero byte
# that ends a piece's text.
python3 - fuzz/corpus/FuzzLinkReplies <<'PY'
import sys
out = sys.argv[1]
def pieces(*ps): return b"".join(bytes([len(p)]) + p for p in ps)
seeds = {
    "probe": pieces(b"LINK+CHECK"),
    "probe-split": pieces(b"xxLINK+CH", b"ECKLINK+", b"CHECK\r\n"),
    "replies": pieces(b"CMD+OK\"\r\n", b"CMD+FAIL\"REG+OK\"", b"REG+FAIL\"\r\n"),
    "zero-in-piece": pieces(b"CMD+OK\0REG+FAIL", b"LINK+\0CHECK"),
    "long-log": pieces(*[b"REG+OK\" " + bytes([65 + i % 26]) * 200 for i in range(12)]),
}
for name, data in seeds.items():
    open(f"{out}/{name}.bin", "wb").write(data)
PY
echo "seed corpora in fuzz/corpus/, dictionary in fuzz/dict/"
