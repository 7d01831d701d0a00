#!/usr/bin/env bash
# tessera-cli.exe and kestrel-cli.exe under Wine, against the Linux tessera-cli:
#   - --version of both; the live-tuning commands are refused (exit 1, "not in this build")
#   - kestrel-cli.exe list without adapters: "0 adapter(s)", exit 0
#   - build of every sample configuration: the four images byte for byte the Linux ones
#   - names with spaces and Chinese characters for every file tessera-cli reads or writes
#     (JSON in and out, configuration in and out, bin, prompts, the image and its copies),
#     each output compared with the Linux program's from the same command line
#   - the independent cross-check (tests/crosscheck) against tessera-cli.exe: seed 1 with
#     the counts the Linux run uses (QR_WINE_CROSSCHECK_COUNT / _EQ to change them)
# kestrel's own files (image, production log, read-back, the address written back) under
# such names are covered by the engine tests, which run under Wine with fake adapters.
# Usage: tests/windows/cli-checks.sh FOLDER LINUX_TESSERA_CLI
# FOLDER holds tessera-cli.exe and kestrel-cli.exe (the unpacked zip). WINEPREFIX and a
# running wineserver as scripts/test-wine.sh sets them up.
set -euo pipefail
tcli_exe=$(realpath "$1/tessera-cli.exe")
kcli_exe=$(realpath "$1/kestrel-cli.exe")
linux_cli=$(realpath "$2")
root=$(realpath "$(dirname "$0")/../..")
wine=${QR_WINE:-/usr/lib/wine/wine64}
work=$(mktemp -d "${TMPDIR:-/tmp}/qr-wine-cli.XXXXXXXX")
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
pass() { echo "ok:   $*"; }
tcli() { "$wine" "$tcli_exe" "$@"; }
# The Wine session's own processes outlive the program that starts them and keep its
# output open: a command substitution would wait for them. Start them here, on /dev/null.
"$wine" wineboot -i >/dev/null 2>&1
kcli() { "$wine" "$kcli_exe" "$@"; }

# -- versions, refused commands, the empty adapter list
version=$(grep -m1 -o 'project(qr_tools VERSION [0-9.]*' "$root/CMakeLists.txt" | awk '{print $3}')
[ "$(tcli --version)" = "tessera-cli $version" ] && pass "tessera-cli.exe --version" || fail "tessera-cli.exe --version"
[ "$(kcli --version)" = "kestrel-cli $version" ] && pass "kestrel-cli.exe --version" || fail "kestrel-cli.exe --version"
for cmd in "tune-eq x.cfg --port COM3" "tune-echo x.cfg --port COM3" "tune-rf dut-on --port COM3" "monitor"; do
  # shellcheck disable=SC2086
  if tcli $cmd >"$work/out" 2>"$work/err"; then rc=0; else rc=$?; fi
  if [ "$rc" = 1 ] && grep -q "${cmd%% *} is not in this build" "$work/err" && [ ! -s "$work/out" ]; then
    pass "tessera-cli.exe $cmd: refused"
  else
    fail "tessera-cli.exe $cmd: exit $rc, $(cat "$work/err")"
  fi
done
if kcli list >"$work/out" 2>"$work/err"; then rc=0; else rc=$?; fi
[ "$rc" = 0 ] && [ "$(cat "$work/out")" = "0 adapter(s)" ] && pass "kestrel-cli.exe list: 0 adapter(s)" ||
  fail "kestrel-cli.exe list: exit $rc, $(cat "$work/out" "$work/err")"

# -- runs one tessera-cli command line in two copies of a folder, Linux and Windows, and
# compares exit status, standard output and every file in the folders afterwards.
same() {  # same NAME ARGS...
  local name=$1 lrc=0 wrc=0
  shift
  (cd "$work/linux" && "$linux_cli" "$@" >"$work/linux.out" 2>"$work/linux.err") || lrc=$?
  (cd "$work/windows" && tcli "$@" >"$work/windows.out" 2>"$work/windows.err") || wrc=$?
  if [ "$lrc" != 0 ] || [ "$wrc" != 0 ]; then
    fail "$name: exit $lrc on Linux, $wrc on Windows: $(cat "$work/windows.err")"
  elif ! cmp -s "$work/linux.out" "$work/windows.out"; then
    fail "$name: standard output differs"
  elif ! diff -r "$work/linux" "$work/windows" >"$work/diff" 2>&1; then
    fail "$name: files differ: $(head -c 600 "$work/diff")"
  else
    pass "$name"
  fi
}

# -- the sample configurations, built from the repository root as the demo does
for cfg in "$root"/samples/*.cfg; do
  base=$(basename "$cfg" .cfg)
  mkdir -p "$work/samples-linux" "$work/samples-windows"
  (cd "$root" && "$linux_cli" build "samples/$base.cfg" --out "$work/samples-linux/$base.bin" >/dev/null)
  (cd "$root" && tcli build "samples/$base.cfg" --out "$work/samples-windows/$base.bin" >/dev/null) ||
    fail "build samples/$base.cfg: tessera-cli.exe failed"
  for f in "$base.bin" "${base}_CRC.bin" "${base}_CRC.QR1" "${base}_CRC.TU1"; do
    if [ -s "$work/samples-linux/$f" ] && cmp -s "$work/samples-linux/$f" "$work/samples-windows/$f"; then
      pass "samples/$base.cfg: $f identical"
    else
      fail "samples/$base.cfg: $f differs or is missing"
    fi
  done
done

# -- every kind of file under a name with a space and Chinese characters. The demo's
# configuration is moved into such a folder with its bin and prompts; its JSON form
# points at the moved prompts.
dir="演示 目录"
for side in linux windows; do
  mkdir -p "$work/$side/$dir/提示 音"
  cp "$root/samples/firmware.bin" "$work/$side/$dir/固件 fw.bin"
  for w in power_on power_off connected; do cp "$root/samples/prompts/$w.wav" "$work/$side/$dir/提示 音/$w 声.wav"; done
  sed -e "s#samples/prompts/\([a-z_]*\)\.wav#$dir/提示 音/\1 声.wav#" -e "s#samples/firmware.bin#$dir/固件 fw.bin#" \
    "$root/samples/demo.json" >"$work/$side/$dir/配置 demo.json"
done
grep -q "提示 音/power_on 声.wav" "$work/windows/$dir/配置 demo.json" || fail "the demo's JSON names no prompt to move"
same "import --recollect: JSON in, configuration out" import "$dir/配置 demo.json" --out "$dir/配置 demo.cfg" --recollect
same "export: configuration in, JSON out" export "$dir/配置 demo.cfg" --out "$dir/导出 out.json"
same "show: configuration in" show "$dir/配置 demo.cfg"
same "new: configuration out" new "$dir/新 new.cfg" --bin "$dir/固件 fw.bin"
same "build: configuration, bin and prompts in; image and copies out" \
  build "$dir/配置 demo.cfg" --out "$dir/镜像 image.bin" --bin "$dir/固件 fw.bin"
# The build above must have read the prompts: the image carries their wave data.
if python3 - "$work/windows/$dir" <<'EOF'; then pass "the image holds the moved prompts"; else fail "the image lacks a prompt"; fi
import sys, pathlib
d = pathlib.Path(sys.argv[1])
image = (d / "镜像 image.bin").read_bytes()
sys.exit(0 if all((d / "提示 音" / (w + " 声.wav")).read_bytes()[48:48 + 512] in image
                  for w in ("power_on", "power_off", "connected")) else 1)
EOF
for f in "镜像 image_CRC.bin" "镜像 image_CRC.QR1" "镜像 image_CRC.TU1"; do
  [ -s "$work/windows/$dir/$f" ] && pass "build wrote $f" || fail "build did not write $f"
done

# -- the independent model of the formats, against the Windows program
# tessera-cli explains every failure on stderr. A failure that says nothing came from Wine
# starting the program (seen once on a loaded machine), not from tessera-cli: that one
# command is run again, once, and counted, so the count shows in the result.
cat >"$work/tessera-cli-wine" <<EOF
#!/bin/sh
out=\$(mktemp) err=\$(mktemp)
"$wine" "$tcli_exe" "\$@" >"\$out" 2>"\$err"; rc=\$?
if [ \$rc -ne 0 ] && [ ! -s "\$err" ]; then
  echo "\$rc: \$*" >>"$work/wine-silent-failures"
  "$wine" "$tcli_exe" "\$@" >"\$out" 2>"\$err"; rc=\$?
fi
cat "\$out"; cat "\$err" >&2; rm -f "\$out" "\$err"
exit \$rc
EOF
chmod +x "$work/tessera-cli-wine"
if python3 "$root/tests/crosscheck/tessera_crosscheck.py" --cli "$work/tessera-cli-wine" --seed 1 \
    --count "${QR_WINE_CROSSCHECK_COUNT:-40}" --eq-count "${QR_WINE_CROSSCHECK_EQ:-200}" >"$work/xcheck" 2>&1; then
  pass "cross-check, seed 1: $(tail -n 1 "$work/xcheck"); commands Wine failed silently and were run again: $(cat "$work/wine-silent-failures" 2>/dev/null | wc -l)"
  if [ -s "$work/wine-silent-failures" ]; then sed 's/^/    /' "$work/wine-silent-failures"; fi
else
  fail "cross-check, seed 1: $(tail -n 20 "$work/xcheck")"
fi

[ "$failures" = 0 ] || { echo "cli-checks.sh: $failures failed"; exit 1; }
echo "cli-checks.sh: all passed"
