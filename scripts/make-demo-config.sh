#!/usr/bin/env bash
# Makes samples/demo.cfg (and its JSON form samples/demo.json): the configuration a
# freshly started tool writes ("GD_8Mbit", "QFN48_6X6", bin samples/firmware.bin), with
# the sample voice prompts on the POWER ON, CONNECTED and POWER OFF events and a demo
# device name. Prompt and bin paths are relative, so the configuration builds when
# tessera-cli runs from the repository root.
# Usage: scripts/make-demo-config.sh [path/to/tessera-cli]
set -euo pipefail
cd "$(dirname "$0")/.."
cli=${1:-build/release/tessera/tessera-cli}
if [ ! -x "$cli" ]; then
  cmake --preset release >/dev/null
  cmake --build --preset release -j2 --target tessera-cli
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$cli" new "$work/new.cfg" --bin samples/firmware.bin
"$cli" export "$work/new.cfg" --out "$work/new.json"
python3 - "$work/new.json" "$work/demo.json" <<'PY'
import json, struct, sys
doc = json.load(open(sys.argv[1]))

def wave_entry(event, path):
    # The size the Sound-effect page records when a file is chosen: the data chunk's
    # length, the u32 at offset 40 of the canonical header.
    with open(path, "rb") as f:
        size = struct.unpack("<I", f.read(44)[40:44])[0]
    return {"enabled": 1, "event": event, "kind": "cust. wave file", "path": path, "file_size": size,
            "pattern": "PATTERN0", "mode": "BURST", "duration": 0, "pause": 0, "f1_gain": 0, "f1_step": 0,
            "f1_enable": 0, "f2_gain": 0, "f2_step": 0, "f2_enable": 0}

doc["sound_effects"][0] = wave_entry("POWER ON", "samples/prompts/power_on.wav")
doc["sound_effects"][1] = wave_entry("CONNECTED", "samples/prompts/connected.wav")
doc["sound_effects"][2] = wave_entry("POWER OFF", "samples/prompts/power_off.wav")
doc["record"]["device_name"] = "TESSERA_DEMO"
json.dump(doc, open(sys.argv[2], "w"), indent=2, ensure_ascii=False)
open(sys.argv[2], "a").write("\n")
PY
# --recollect runs Read Config and Write Config, so the record's prompt slots follow the table.
"$cli" import "$work/demo.json" --out samples/demo.cfg --recollect
"$cli" export samples/demo.cfg --out samples/demo.json
echo "wrote samples/demo.cfg and samples/demo.json"
