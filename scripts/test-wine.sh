#!/usr/bin/env bash
# Builds the cores and their tests for 64-bit Windows (mingw-w64, the `wine` preset) and
# runs them under Wine: path splitting with both separators, the Windows file replacement
# and in-place address write, image loading, the engine, the pages and the document.
# Tests that cannot run there are left out by label; their reasons are printed.
# Usage: scripts/test-wine.sh   (QR_JOBS=n to limit the build)
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh --with-wine
jobs=${QR_JOBS:-$(nproc)}
start=$(date +%s)

export WINEDEBUG=-all
export WINEPREFIX="$PWD/build/wine-prefix"   # the preset's; made on first use (about 30 s)
wine_dir=/usr/lib/wine
# Make the prefix and start the Wine session once, alone (tests that start it in
# parallel can hang), then keep one server for the whole run: a test starts in ~0.1 s.
"$wine_dir/wine64" wineboot -i 2>/dev/null
"$wine_dir/wineserver" -p 60 || true  # an already running one is kept
trap '"$wine_dir/wineserver" -k 2>/dev/null || true' EXIT
cmake --preset wine >/dev/null
cmake --build --preset wine -j "$jobs"

excluded='needs-unix-socket|needs-libusb|needs-posix-shell'
echo "== Left out under Wine (label: file: reason) =="
sed -n 's/^  "\(needs-[^|]*\)|\([^|]*\)|\([^"]*\)"$/  \1: \2: \3/p' tests/windows/CMakeLists.txt
ctest --preset wine -j "$jobs" -L wine -LE "$excluded"
echo "test-wine.sh: $(( $(date +%s) - start )) s"
