#!/usr/bin/env bash
# Measures `tessera-cli build` of a "GD_32Mbit" image whose prompt area is as full as a
# buildable image gets (42 distinct prompts), against copying its four output files
# with `cp`. Target: the build takes no more than twice as long as the copy.
# Usage: scripts/bench-cli.sh [runs]   (release build; default 15 runs, medians reported)
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-15}
cmake --preset release >/dev/null
cmake --build --preset release -j2 --target tessera-cli >/dev/null
cli=$PWD/build/release/tessera/tessera-cli
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

python3 - "$cli" "$work" "$runs" <<'PY'
import json, os, random, shutil, statistics, struct, subprocess, sys, time, wave
cli, work, runs = sys.argv[1], sys.argv[2], int(sys.argv[3])
os.makedirs(f"{work}/prompts")
# 42 distinct 16-bit mono prompts of 77000 data bytes: each counts 80 KiB against the
# page's 3535 KiB (3360 in all) and takes 76 KiB of the image; one more block per
# prompt would make the CRC image outgrow its 4084 KiB buffer.
rng = random.Random(5830)
paths = []
for i in range(42):
    p = f"{work}/prompts/p{i:02d}.wav"
    with wave.open(p, "wb") as w:
        w.setnchannels(1); w.setsampwidth(2); w.setframerate(8000)
        w.writeframes(bytes(rng.getrandbits(8) for _ in range(77000)))
    paths.append(p)
subprocess.run([cli, "new", f"{work}/full.cfg", "--flash", "GD_32Mbit", "--bin", "samples/firmware.bin"], check=True)
subprocess.run([cli, "export", f"{work}/full.cfg", "--out", f"{work}/full.json"], check=True)
doc = json.load(open(f"{work}/full.json"))
for i, p in enumerate(paths):
    doc["sound_effects"][i] = {"enabled": 1, "event": i + 1, "kind": 0, "path": p, "file_size": 77000,
                               "pattern": 0, "mode": 0, "duration": 0, "pause": 0, "f1_gain": 0, "f1_step": 0,
                               "f1_enable": 0, "f2_gain": 0, "f2_step": 0, "f2_enable": 0}
json.dump(doc, open(f"{work}/full.json", "w"))
subprocess.run([cli, "import", f"{work}/full.json", "--out", f"{work}/full.cfg", "--recollect"], check=True)

os.makedirs(f"{work}/out"); os.makedirs(f"{work}/copy")
build = [cli, "build", f"{work}/full.cfg", "--out", f"{work}/out/QR5830.IMG"]
subprocess.run(build, check=True, stdout=subprocess.DEVNULL)
outs = [f"{work}/out/{n}" for n in ("QR5830.IMG", "QR5830_CRC.IMG", "QR5830_CRC.QR1", "QR5830_CRC.TU1")]
total = sum(os.path.getsize(o) for o in outs)
copy = ["cp"] + outs + [f"{work}/copy/"]

def timed(cmd):
    t = []
    for _ in range(runs):
        t0 = time.perf_counter()
        subprocess.run(cmd, check=True, stdout=subprocess.DEVNULL)
        t.append(time.perf_counter() - t0)
    return t

timed(build[:]); timed(copy)  # warm the page cache and the binaries
tb, tc = timed(build), timed(copy)
mb, mc = statistics.median(tb), statistics.median(tc)
print(f"image {os.path.getsize(outs[0])} bytes, four files {total} bytes, {runs} runs each")
print(f"tessera-cli build: median {mb*1000:.1f} ms (min {min(tb)*1000:.1f}, max {max(tb)*1000:.1f})")
print(f"cp of the outputs: median {mc*1000:.1f} ms (min {min(tc)*1000:.1f}, max {max(tc)*1000:.1f})")
print(f"ratio build/cp: {mb/mc:.2f} (target <= 2.00)")
PY
