#!/usr/bin/env bash
# Kills `kestrel-cli burn` with SIGKILL at random moments and checks that the address
# sequence survives: no address may end up on two completed boards, and every address on
# a board must lie below the next address stored in the image file. Prints how many
# addresses were handed out but are on no completed board (wasted by the kills).
#
#   scripts/kill-test.sh [RUNS]   (default 100; BUILD=build/dev, SEED=random, DEBUG=1 shows the CLI's output)
#
# Four simulated boards with 1 MiB of flash each; the image holds a configuration record
# at 0x80000 whose address starts at 00:00:00:00:00:01. After each run the boards that
# hold the whole image are recorded and then wiped, so the next run starts from blank
# boards. Not part of the default test run: it takes a few minutes.
set -euo pipefail

RUNS=${1:-100}
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${BUILD:-$ROOT/build/dev}
CLI=$BUILD/kestrel/kestrel-cli
SIM=$BUILD/sim/kestrel-adapter-sim
SEED=${SEED:-$RANDOM}
for p in "$CLI" "$SIM"; do
  [[ -x $p ]] || { echo "kill-test: $p not built (cmake --build --preset dev --target kestrel-cli kestrel-adapter-sim)" >&2; exit 2; }
done

WORK=$(mktemp -d /tmp/kestrel-kill-XXXXXX)
SIM_PID=
cleanup() {
  [[ -n $SIM_PID ]] && kill "$SIM_PID" 2>/dev/null && wait "$SIM_PID" 2>/dev/null
  rm -rf "$WORK"
}
trap cleanup EXIT

mkdir -p "$WORK/sim"
"$SIM" "$WORK/sim" --boards 4 --flash-kb 1024 >/dev/null &
SIM_PID=$!
for _ in $(seq 100); do [[ -S $WORK/sim/control.sock ]] && break; sleep 0.05; done
[[ -S $WORK/sim/control.sock ]] || { echo "kill-test: the simulator did not start" >&2; exit 2; }

# The image, the check of one run's boards and the final count, in one helper.
cat >"$WORK/boards.py" <<'PY'
import os, sys
LEN, REC, ADDR = 0x81000, 0x80000, 0x80064
work = sys.argv[2]
image_path = os.path.join(work, "image.IMG")
found_path = os.path.join(work, "found.txt")

def pattern():
    d = bytearray((i * 7 + i // 251) & 0xFF for i in range(LEN))
    for i in range(REC, REC + 4096):
        d[i] = 0 if i < REC + 1178 else 0xFF
    d[REC] = 1
    d[REC + 0x34:REC + 0x34 + 10] = b"QR_SPEAKER"
    d[ADDR:ADDR + 6] = bytes([1, 0, 0, 0, 0, 0])
    return d

def address(b):
    return int.from_bytes(bytes(b), "little")

if sys.argv[1] == "image":
    open(image_path, "wb").write(pattern())
elif sys.argv[1] == "boards":
    # Boards holding the whole image (any address) completed; record their addresses,
    # then wipe every board so a board left untouched by the next run is not counted again.
    image = pattern()
    with open(found_path, "a") as found:
        for n in range(4):
            path = os.path.join(work, "sim", "board%d.bin" % n)
            with open(path, "r+b") as f:
                flash = f.read(LEN)
                if flash[:ADDR] == image[:ADDR] and flash[ADDR + 6:] == image[ADDR + 6:]:
                    found.write("%d\n" % address(flash[ADDR:ADDR + 6]))
                f.seek(0)
                f.write(b"\0" * LEN)
elif sys.argv[1] == "count":
    runs = int(sys.argv[3])
    nxt = address(open(image_path, "rb").read()[ADDR:ADDR + 6])
    found = [int(x) for x in open(found_path).read().split()] if os.path.exists(found_path) else []
    handed = nxt - 1
    twice = len(found) - len(set(found))
    ahead = sum(1 for a in found if a >= nxt)
    wasted = handed - len(set(a for a in found if a < nxt))
    print("runs %d, boards completed %d, addresses handed out %d" % (runs, len(found), handed))
    print("addresses found on two completed boards: %d" % twice)
    print("addresses on a board not below the image's next address: %d" % ahead)
    print("addresses wasted (handed out, on no completed board): %d" % wasted)
    sys.exit(1 if twice or ahead else 0)
PY

python3 "$WORK/boards.py" image "$WORK"
RANDOM=$SEED
killed=0
for run in $(seq "$RUNS"); do
  "$CLI" --sim "$WORK/sim" --readback-dir "$WORK/rb" burn "$WORK/image.IMG" >>"$WORK/cli.log" 2>&1 &
  pid=$!
  # A burn of four boards here takes about half a second; kill anywhere in the first
  # 1.2 s (a loaded machine is slower), so most runs die in the middle and some finish.
  r=$((RANDOM % 1200))
  sleep "$(printf '%d.%03d' $((r / 1000)) $((r % 1000)))"
  if kill -KILL "$pid" 2>/dev/null; then killed=$((killed + 1)); fi
  wait "$pid" 2>/dev/null || true
  sleep 0.3  # the simulator finishes what was already in its sockets
  python3 "$WORK/boards.py" boards "$WORK"
done
[[ -n ${DEBUG:-} ]] && cat "$WORK/cli.log"
echo "seed $SEED; killed $killed of $RUNS runs (the others had finished)"
python3 "$WORK/boards.py" count "$WORK" "$RUNS"
