#!/usr/bin/env bash
# Fuzzing campaign: each target of fuzz/targets.conf for N minutes (AddressSanitizer and
# UndefinedBehaviorSanitizer, stopping at the first report), one after the other, from
# its seed corpus. What a target grows is merged back into fuzz/corpus/<target>/ (only
# inputs that add coverage), so the next run and CI start from it; commit the result.
# Crashes land in build/fuzz/findings/<target>/; the log of each run beside them.
# Usage: scripts/fuzz-campaign.sh [MINUTES] [TARGET...]   (default 10 minutes, all targets)
#        scripts/fuzz-campaign.sh --smoke SECONDS          (CI: a short run of each target
#                                                          from the corpus, nothing kept)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
smoke=""
if [ "${1:-}" = "--smoke" ]; then
  smoke=${2:?seconds}
  shift 2
fi
minutes=${1:-10}
[ $# -gt 0 ] && shift
wanted="$*"

export ASAN_OPTIONS="${ASAN_OPTIONS:-abort_on_error=1:detect_leaks=1:allocator_may_return_null=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-halt_on_error=1:abort_on_error=1:print_stacktrace=1}"

targets=$(awk '!/^#/ && NF {print $1}' fuzz/targets.conf)
[ -n "$wanted" ] && targets="$wanted"
cmake --preset fuzz >/dev/null
# shellcheck disable=SC2086
cmake --build --preset fuzz -j "${QR_JOBS:-$(nproc)}" --target $targets

status=0
for t in $targets; do
  line=$(awk -v t="$t" '$1 == t' fuzz/targets.conf)
  [ -n "$line" ] || { echo "$t is not in fuzz/targets.conf" >&2; exit 2; }
  maxlen=$(echo "$line" | awk '{print $2}')
  dict=$(echo "$line" | awk '{print $3}')
  opts=(-max_len="$maxlen" -print_final_stats=1)
  [ -n "$dict" ] && opts+=(-dict="$root/fuzz/$dict")
  seeds="$root/fuzz/corpus/$t"
  findings="$root/build/fuzz/findings/$t"
  mkdir -p "$findings"
  bin="$root/build/fuzz/fuzz/$t"
  if [ -n "$smoke" ]; then
    # From the committed corpus into a scratch folder; the corpus itself stays unchanged.
    scratch=$(mktemp -d)
    if ! "$bin" "${opts[@]}" -max_total_time="$smoke" -seed=1 -artifact_prefix="$findings/" \
        "$scratch" "$seeds" >"$findings/smoke.log" 2>&1; then
      tail -n 40 "$findings/smoke.log"
      status=1
    fi
    rm -rf "$scratch"
    echo "$t: $(grep -E '^#[0-9]+.*(INITED|DONE)' "$findings/smoke.log" | sed 's/  */ /g' | paste -sd ';')"
    continue
  fi
  grown="$root/build/fuzz/grown/$t"
  mkdir -p "$grown"
  log="$findings/campaign.log"
  echo "== $t: $minutes min, max_len $maxlen${dict:+, dictionary $dict}"
  if ! "$bin" "${opts[@]}" -max_total_time=$((minutes * 60)) -artifact_prefix="$findings/" \
      "$grown" "$seeds" >"$log" 2>&1; then
    echo "$t stopped with a finding; see $log and $findings/"
    status=1
  fi
  start=$(grep -m1 -E 'INITED' "$log" | grep -oE 'cov: [0-9]+' || true)
  end=$(grep -E '^#[0-9]+' "$log" | tail -n 1 | grep -oE 'cov: [0-9]+' || true)
  execs=$(grep -oE 'stat::number_of_executed_units: *[0-9]+' "$log" | grep -oE '[0-9]+$' || true)
  echo "$t: executions ${execs:-?}, coverage at start ${start#cov: }, at end ${end#cov: }"
  # Keep only what adds coverage to the committed corpus.
  "$bin" -merge=1 -max_len="$maxlen" "$seeds" "$grown" >"$findings/merge.log" 2>&1 || true
done
exit $status
