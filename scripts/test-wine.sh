#!/usr/bin/env bash
# Builds the cores and their tests for 64-bit Windows (mingw-w64, the `wine` preset) and
# runs them under Wine: path splitting with both separators, the Windows file replacement
# and in-place address write, image loading, the engine, the pages and the document.
# Tests that cannot run there are left out by label; their reasons are printed.
# Then the command-line tools' zip (cpack), unpacked, against the Linux tessera-cli of a
# tree without the windows (tests/windows/cli-checks.sh): versions, the empty adapter
# list, sample images byte for byte, Chinese and space names for every file kind, and
# the independent cross-check.
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

echo "== The command-line tools for Windows =="
cli_start=$(date +%s)
# Linked statically: only the system's own DLLs may be imported.
for exe in build/wine/tessera/tessera-cli.exe build/wine/kestrel/kestrel-cli.exe; do
  if x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^\s*DLL Name: //p' | grep -viE \
      '^(kernel32|msvcrt|shell32|setupapi|cfgmgr32|advapi32|user32|ws2_32)\.dll$'; then
    echo "$exe needs a DLL that Windows does not have (above)"; exit 1
  fi
done
(cd build/wine && cpack >/dev/null)
rm -rf build/wine/zip-check && mkdir -p build/wine/zip-check
python3 -m zipfile -e build/wine/packages/qr-tools-cli-*-win64.zip build/wine/zip-check
unpacked=$(echo build/wine/zip-check/qr-tools-cli-*-win64)
for f in tessera-cli.exe kestrel-cli.exe docs/README.md docs/tessera-cli.md docs/kestrel-cli.md; do
  [ -f "$unpacked/$f" ] || { echo "the zip lacks $f"; exit 1; }
done
# The Linux tessera-cli to compare with, from a tree without the windows (no Qt).
cmake -S . -B build/cli-linux -G Ninja -DCMAKE_BUILD_TYPE=Release -DQR_BUILD_GUI=OFF -DQR_BUILD_TESTS=OFF >/dev/null
cmake --build build/cli-linux -j "$jobs" --target tessera-cli
LANG=C.UTF-8 bash tests/windows/cli-checks.sh "$unpacked" build/cli-linux/tessera/tessera-cli
echo "command-line tools: $(( $(date +%s) - cli_start )) s"
echo "test-wine.sh: $(( $(date +%s) - start )) s"
