#!/usr/bin/env bash
# Start-up of the tessera window to its first painted frame, against a bare Qt window
# started by the same program the same way (bench/TesseraStartupBench), on the two
# platforms the window is started on here:
#   xcb        an X display (a virtual one from xvfb-run), as on a desktop: the display
#              connection and the window's mapping are part of every start;
#   offscreen  no display at all (the GUI tests' platform): nothing but the window's own
#              work, so the window's share of the start is at its largest.
# Target: the window takes no more than twice the bare window.
# Usage: scripts/bench-startup.sh [repetitions]   (release build; default 4 x 10 starts)
set -euo pipefail
cd "$(dirname "$0")/.."
reps=${1:-4}
cmake --preset release >/dev/null
cmake --build --preset release -j2 --target tessera TesseraStartupBench >/dev/null
bench=$PWD/build/release/bench/TesseraStartupBench
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

args=(--benchmark_repetitions="$reps" --benchmark_format=json)
xvfb-run -a -s "-screen 0 1280x1024x24" env -u QT_QPA_PLATFORM "$bench" "${args[@]}" >"$out/xcb.json"
env -u DISPLAY QT_QPA_PLATFORM=offscreen "$bench" "${args[@]}" >"$out/offscreen.json"

python3 - "$out" <<'PY'
import json, statistics, sys
for platform in ("xcb", "offscreen"):
    runs = json.load(open(f"{sys.argv[1]}/{platform}.json"))["benchmarks"]
    ms = {}
    for r in runs:
        if r.get("run_type") == "iteration":
            ms.setdefault(r["run_name"].split("/")[0], []).append(r["real_time"])
    bare = statistics.median(ms["BareWindow"])
    line = f"{platform:9s} bare {bare:6.1f} ms"
    for name, label in (("MainWindow", "English"), ("MainWindowChinese", "Chinese")):
        m = statistics.median(ms[name])
        line += f" | {label} {m:6.1f} ms = {m / bare:4.2f} x"
    print(line + f"  (medians of {len(ms['BareWindow'])} x 10 starts; target <= 2.00 x)")
PY
