#!/usr/bin/env bash
# Builds everything and runs every test: the Windows cross-build of the platform-
# independent parts, the download engine's threaded tests under ThreadSanitizer, a
# short fixed-seed run of each fuzz target, the debug build with all unit, CLI and
# simulator tests, and the cross-check of built images against an independent model.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh --with-gui --with-cross
jobs=$(nproc)

if [ -f kestrel/transport/win32/CMakeLists.txt ] || ls kestrel/transport/win32/*.cpp >/dev/null 2>&1; then
  echo "== Windows cross-build (mingw-w64) =="
  cmake --preset mingw >/dev/null
  cmake --build --preset mingw -j "$jobs"
fi

if ls tests/kestrel/*.cpp >/dev/null 2>&1 && [ "${QR_SKIP_TSAN:-0}" != 1 ]; then
  echo "== Download engine under ThreadSanitizer =="
  cmake --preset tsan >/dev/null
  cmake --build --preset tsan -j "$jobs" --target kestrel_tests
  ctest --preset tsan -R '^(Engine|Burn|Parallel)' --no-tests=ignore
fi

if ls fuzz/*.cpp >/dev/null 2>&1; then
  echo "== Fuzz targets (clang-14 + libFuzzer), a fixed-seed smoke run each =="
  targets=$(for f in fuzz/*.cpp; do basename "$f" .cpp; done)
  cmake --preset fuzz >/dev/null
  # shellcheck disable=SC2086
  cmake --build --preset fuzz -j "$jobs" --target $targets
  for t in $targets; do
    ./build/fuzz/fuzz/"$t" -runs=200000 -seed=1 2>&1 | tail -n 1
  done
fi

echo "== Debug build and all tests =="
cmake --preset dev >/dev/null
cmake --build --preset dev -j "$jobs"
ctest --preset dev -j "$jobs"

echo "== Configuration files and images checked against an independent model =="
python3 tests/crosscheck/tessera_crosscheck.py --cli build/dev/tessera/tessera-cli --seed 1 --count 40
