#!/usr/bin/env bash
# Builds the Debian packages (one per tool, CPack), unpacks them into a clean folder and
# runs the command-line programs from there.
# Usage: scripts/test-packages.sh [PRESET]   (default release; CI passes a tree it built)
set -euo pipefail
cd "$(dirname "$0")/.."
# The packages carry the windows too, so the build needs Qt.
bash scripts/setup.sh --with-gui --with-packaging
preset=${1:-release}
jobs=${QR_JOBS:-$(nproc)}
start=$(date +%s)
tree=build/$preset

cmake --preset "$preset" >/dev/null
# Only the programs the packages carry (the windows and the board simulator where built).
available=$(cmake --build --preset "$preset" --target help | sed -n 's/^\([a-z-]*\): .*/\1/p')
targets=()
for t in tessera-cli kestrel-cli kestrel-adapter-sim tessera kestrel tessera-board-sim; do
  grep -qx "$t" <<<"$available" && targets+=("$t")
done
cmake --build --preset "$preset" -j "$jobs" --target "${targets[@]}"

rm -rf "$tree/packages"
(cd "$tree" && cpack -G DEB -B "$PWD/packages" >/dev/null)
debs=("$tree"/packages/*.deb)
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
for deb in "${debs[@]}"; do
  echo "== $(basename "$deb")"
  dpkg-deb -f "$deb" Package Version Depends
  dpkg-deb -c "$deb" | awk '{print "  " $6}' | grep -v '/$'
  dpkg -x "$deb" "$root"
done

version=$(sed -n 's/^project(qr_tools VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
status=0
programs=(tessera-cli kestrel-cli)
# tessera-cli hands its live-tuning commands to tessera-tune beside it (built with Qt).
[ -x "$root/usr/bin/tessera-tune" ] && programs+=(tessera-tune)
for program in "${programs[@]}"; do
  got=$("$root/usr/bin/$program" --version) || { echo "$program --version failed" >&2; status=1; continue; }
  echo "$got"
  [ "$got" = "$program $version" ] || { echo "expected \"$program $version\"" >&2; status=1; }
done
echo "test-packages.sh: $(( $(date +%s) - start )) s"
exit $status
