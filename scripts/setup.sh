#!/usr/bin/env bash
# Installs what building and testing need on a Debian 12 machine; skips what is there.
# Usage: scripts/setup.sh [--minimal] [--with-gui] [--with-cross] [--with-wine] [--with-packaging]
#                        [--with-postgres] [--with-umockdev] [--with-samples] [--with-fresh-machine]
#   --minimal   only what the command-line tools and the simulators need (scripts/demo.sh):
#               no test libraries, no clang
# When another package manager (an unattended upgrade, a second terminal) holds apt's or
# dpkg's locks, waits for them, at most QR_APT_LOCK_TIMEOUT seconds (default 600).
# QR_SETUP_REFRESH=1 refreshes the package lists even when nothing is missing.
set -euo pipefail

tools=(cmake ninja-build g++ pkg-config libcli11-dev nlohmann-json3-dev libusb-1.0-0-dev libpq-dev)
tests=(libgtest-dev libgmock-dev libbenchmark-dev clang-14 libclang-rt-14-dev python3)
minimal=0
postgres=0
extra=()
for arg in "$@"; do
  case "$arg" in
    --minimal) minimal=1 ;;
    --with-gui) extra+=(qt6-base-dev qt6-serialport-dev qt6-tools-dev qt6-tools-dev-tools
                        qt6-l10n-tools qt6-svg-dev libqt6opengl6-dev libgl-dev
                        libxkbcommon-dev xvfb xauth
                        fonts-noto-cjk qt6-translations-l10n) ;;
    --with-cross) extra+=(g++-mingw-w64-x86-64-posix) ;;
    # The Windows build's tests under Wine; GoogleTest built from its Debian sources.
    --with-wine) extra+=(g++-mingw-w64-x86-64-posix wine64 googletest) ;;
    # Debian packages with CPack (dpkg-shlibdeps finds their dependencies).
    --with-packaging) extra+=(dpkg-dev file) ;;
    # USB adapters and serial ports emulated at the kernel's interfaces (tests labelled os).
    --with-umockdev) extra+=(umockdev libumockdev-dev gir1.2-umockdev-1.0) ;;
    --with-samples) extra+=(espeak-ng sox) ;;
    # The server the address pool's tests start a throwaway cluster of (initdb, pg_ctl).
    --with-postgres) extra+=(postgresql-15); postgres=1 ;;
    # A fresh Debian 12 system in a folder, for ../shared/tools/fresh-machine.sh.
    --with-fresh-machine) extra+=(debootstrap) ;;
    *) echo "setup.sh: unknown option $arg" >&2; exit 2 ;;
  esac
done
pkgs=("${tools[@]}")
[ "$minimal" -eq 1 ] || pkgs+=("${tests[@]}")
pkgs+=("${extra[@]}")

missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -gt 0 ] || [ "${QR_SETUP_REFRESH:-0}" = 1 ] || exit 0

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO=sudo
export DEBIAN_FRONTEND=noninteractive
lock_timeout=${QR_APT_LOCK_TIMEOUT:-600}
deadline=$((SECONDS + lock_timeout))
locks=(/var/lib/dpkg/lock-frontend /var/lib/dpkg/lock /var/lib/apt/lists/lock /var/cache/apt/archives/lock)

# Runs an apt-get command, waiting while another program holds one of the locks. apt
# itself locks with fcntl and waits only for the dpkg locks (DPkg::Lock::Timeout), so the
# lists lock is waited for by trying again; flock(1) holders are waited for here too.
apt_waiting() {
  local said=0 out rc left log
  log=$(mktemp)
  while :; do
    left=$((deadline - SECONDS))
    [ "$left" -gt 0 ] || left=0
    for lock in "${locks[@]}"; do
      [ -r "$lock" ] || continue  # without read access flock(1) cannot tell; apt waits then
      if ! flock -n "$lock" true 2>/dev/null; then
        [ "$said" -eq 1 ] || { echo "setup.sh: another package manager holds $lock; waiting up to ${left} s" >&2; said=1; }
        flock -w "$left" "$lock" true 2>/dev/null ||
          { echo "setup.sh: $lock still held after ${lock_timeout} s; try again when the other package manager has finished (QR_APT_LOCK_TIMEOUT sets the wait)" >&2; return 1; }
      fi
    done
    set +e
    $SUDO apt-get -o DPkg::Lock::Timeout="$left" "$@" 2>&1 | tee "$log" | grep -v 'Could not get lock\|Unable to lock\|^E: Unable to acquire'
    rc=${PIPESTATUS[0]}
    set -e
    out=$(cat "$log")
    if [ "$rc" -ne 0 ] && grep -q 'Could not get lock' <<<"$out" && [ "$SECONDS" -lt "$deadline" ]; then
      [ "$said" -eq 1 ] || { echo "setup.sh: another package manager holds apt's lock; waiting up to $((deadline - SECONDS)) s" >&2; said=1; }
      sleep 2
      continue
    fi
    rm -f "$log"
    if [ "$rc" -ne 0 ] && grep -q 'Could not get lock' <<<"$out"; then
      echo "setup.sh: apt's lock still held after ${lock_timeout} s; try again when the other package manager has finished (QR_APT_LOCK_TIMEOUT sets the wait)" >&2
    fi
    return "$rc"
  done
}

if [ "$postgres" -eq 1 ]; then
  # Before the server package: it would otherwise create and start a cluster "main"
  # that nothing here uses. createcluster.conf reads this folder.
  $SUDO mkdir -p /etc/postgresql-common/createcluster.d
  echo 'create_main_cluster = false' | $SUDO tee /etc/postgresql-common/createcluster.d/kestrel-no-main.conf >/dev/null
fi
apt_waiting update -qq
[ ${#missing[@]} -eq 0 ] || apt_waiting install -y -qq --no-install-recommends "${missing[@]}"
