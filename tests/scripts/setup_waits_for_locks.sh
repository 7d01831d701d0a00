#!/usr/bin/env bash
# scripts/setup.sh waits while another package manager holds apt's or dpkg's locks, and
# gives up with a message when the wait runs out. Holds the real locks (root only):
#   1. the dpkg front-end lock with flock(1) for 4 s: setup waits, then refreshes the lists;
#   2. apt's lists lock with fcntl, as apt itself locks, for 4 s: the same;
#   3. the front-end lock for 20 s with a 2 s limit: setup fails, saying why, within ~2 s.
set -u
root=$(cd "$(dirname "$0")/../.." && pwd)
[ "$(id -u)" -eq 0 ] || { echo "skipped: holding apt's locks needs root"; exit 77; }
command -v python3 >/dev/null || { echo "skipped: python3 holds the fcntl lock"; exit 77; }
fail=0
out=$(mktemp)
trap 'rm -f "$out"; kill $(jobs -p) 2>/dev/null' EXIT

run_setup() {  # run_setup TIMEOUT -> sets rc, took
  local t0=$SECONDS
  QR_SETUP_REFRESH=1 QR_APT_LOCK_TIMEOUT=$1 bash "$root/scripts/setup.sh" --minimal >"$out" 2>&1
  rc=$?
  took=$((SECONDS - t0))
}
check() {  # check WHAT CONDITION...
  local what=$1; shift
  if "$@"; then echo "ok: $what"; else echo "FAILED: $what"; sed 's/^/    /' "$out"; fail=1; fi
}
hold_ready() { for _ in $(seq 50); do [ -e "$1" ] && return 0; sleep 0.1; done; return 1; }

# 1. flock(1) holder of the front-end lock.
ready=$(mktemp -u)
flock /var/lib/dpkg/lock-frontend sh -c "touch $ready; sleep 4" &
hold_ready "$ready"
run_setup 60
wait
check "waits for a flock holder of lock-frontend, then succeeds (rc $rc, $took s)" \
  test "$rc" -eq 0 -a "$took" -ge 3
check "says that it waits" grep -q 'another package manager holds /var/lib/dpkg/lock-frontend' "$out"
rm -f "$ready"

# 2. An fcntl holder of the lists lock, the way apt-get update takes it.
python3 - "$ready" <<'PY' &
import fcntl, sys, time, pathlib
f = open("/var/lib/apt/lists/lock", "w")
fcntl.lockf(f, fcntl.LOCK_EX)
pathlib.Path(sys.argv[1]).touch()
time.sleep(4)
PY
hold_ready "$ready"
run_setup 60
wait
check "waits for apt's lists lock, then succeeds (rc $rc, $took s)" test "$rc" -eq 0 -a "$took" -ge 3
check "says that it waits for apt" grep -q "another package manager holds apt's lock" "$out"
rm -f "$ready"

# 3. A wait that runs out.
flock /var/lib/dpkg/lock-frontend sh -c "touch $ready; sleep 20" &
holder=$!
hold_ready "$ready"
run_setup 2
kill "$holder" 2>/dev/null; wait
check "gives up after the limit (rc $rc, $took s)" test "$rc" -ne 0 -a "$took" -le 8
check "says why it gave up" grep -q 'still held after 2 s' "$out"
rm -f "$ready"
exit $fail
