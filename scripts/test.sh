#!/usr/bin/env bash
# Builds everything and runs every test, in stages, and prints each stage's time:
#   mingw    the Windows cross-build of the platform-independent parts
#   wine     the Windows tests under Wine (scripts/test-wine.sh, when present)
#   dev      the debug build; its tests by CTest label: core, sim (the command-line tools,
#            the simulators and the independent cross-check), gui (windows, offscreen),
#            os (USB adapters and a USB serial port emulated with umockdev; debug stage
#            only, the preload library does not mix with the sanitizers),
#            pool (the address pool against a throwaway PostgreSQL 15 cluster, and a line
#            of eight stations killed at random), setup (scripts/setup.sh waiting for
#            apt's locks; root only, skipped otherwise)
#   asan     the whole suite again under AddressSanitizer and UndefinedBehaviorSanitizer,
#            stopping at the first report (leaks of Qt's own libraries: tests/lsan.supp)
#   tsan     the download engine's tests and the simulator runs under ThreadSanitizer
#   fuzz     each fuzz target for a few seconds from its seed corpus
#   packages the Debian packages, installed in a clean folder (scripts/test-packages.sh,
#            when present)
# Tests labelled hw need real adapters and are left out. QR_SKIP="tsan asan" skips stages.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh --with-gui --with-cross --with-postgres --with-umockdev
jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen
times=()

skipped() { case " ${QR_SKIP:-} " in *" $1 "*) echo "== $1: skipped (QR_SKIP)"; return 0 ;; esac; return 1; }
stage() {  # stage NAME FUNCTION
  skipped "$1" && return 0
  echo "== $1 =="
  local t0=$SECONDS
  "$2"
  times+=("$(printf '%-9s %4d s' "$1" $((SECONDS - t0)))")
}

# Each label is a step and must select tests: an empty selection is an error. A test
# with two labels (a window test that starts the simulated board: gui and sim) runs in
# the first of its steps only.
run_labels() {  # run_labels PRESET LABEL...
  local preset=$1 done_labels=""
  shift
  for label in "$@"; do
    echo "-- $preset: label $label"
    local exclude=()
    [ -n "$done_labels" ] && exclude=(-LE "^(${done_labels})\$")
    ctest --preset "$preset" -j "$jobs" -L "^${label}\$" "${exclude[@]}" --no-tests=error
    done_labels="${done_labels:+$done_labels|}$label"
  done
}
# gui tests exist once a test folder declares them.
gui_label() { grep -rlqE 'LABELS? +"?gui' tests --include=CMakeLists.txt && echo gui || true; }

s_mingw() {
  cmake --preset mingw >/dev/null
  cmake --build --preset mingw -j "$jobs"
}

s_wine() { bash scripts/test-wine.sh; }

s_dev() {
  cmake --preset dev >/dev/null
  cmake --build --preset dev -j "$jobs"
  # shellcheck disable=SC2046
  run_labels dev core $(gui_label) sim os pool setup
  echo "-- hw: left out (needs adapters): $(ctest --preset dev -N -L '^hw$' | tail -n 1)"
}

s_asan() {
  cmake --preset asan >/dev/null
  cmake --build --preset asan -j "$jobs"
  # shellcheck disable=SC2046
  run_labels asan core $(gui_label) sim
}

s_tsan() {
  # The threads live in the download engine: its tests, the simulator runs, and
  # tessera-cli for the cross-check that shares the sim label.
  cmake --preset tsan >/dev/null
  cmake --build --preset tsan -j "$jobs" --target kestrel_tests kestrel_sim_tests tessera-cli
  run_labels tsan core sim
}

s_fuzz() { bash scripts/fuzz-campaign.sh --smoke "${QR_FUZZ_SECONDS:-20}"; }

s_packages() { bash scripts/test-packages.sh dev; }  # the dev tree is built by then

stage mingw s_mingw
[ -f scripts/test-wine.sh ] && stage wine s_wine
stage dev s_dev
stage asan s_asan
stage tsan s_tsan
stage fuzz s_fuzz
[ -f scripts/test-packages.sh ] && stage packages s_packages

echo "== stage times =="
printf '%s\n' "${times[@]}"
