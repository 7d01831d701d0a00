#!/usr/bin/env bash
# Installs what building and testing need on a Debian 12 machine; skips what is there.
# Usage: scripts/setup.sh [--with-gui] [--with-cross] [--with-wine] [--with-packaging] [--with-umockdev]
set -euo pipefail

pkgs=(cmake ninja-build g++ pkg-config
      libgtest-dev libgmock-dev libbenchmark-dev
      libcli11-dev nlohmann-json3-dev libusb-1.0-0-dev
      clang-14 libclang-rt-14-dev python3)
for arg in "$@"; do
  case "$arg" in
    --with-gui) pkgs+=(qt6-base-dev qt6-serialport-dev qt6-tools-dev qt6-tools-dev-tools
                       qt6-l10n-tools qt6-svg-dev qt6-charts-dev libqt6opengl6-dev libgl-dev
                       libxkbcommon-dev xvfb xauth
                       fonts-noto-cjk qt6-translations-l10n) ;;
    --with-cross) pkgs+=(g++-mingw-w64-x86-64-posix) ;;
    # The Windows build's tests under Wine; GoogleTest built from its Debian sources.
    --with-wine) pkgs+=(g++-mingw-w64-x86-64-posix wine64 googletest) ;;
    # Debian packages with CPack (dpkg-shlibdeps finds their dependencies).
    --with-packaging) pkgs+=(dpkg-dev file) ;;
    --with-samples) pkgs+=(espeak-ng sox) ;;
    # The device links at the kernel's interfaces, emulated (ctest -L os).
    --with-umockdev) pkgs+=(umockdev libumockdev-dev gir1.2-umockdev-1.0) ;;
    *) echo "setup.sh: unknown option $arg" >&2; exit 2 ;;
  esac
done

missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO=sudo
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
