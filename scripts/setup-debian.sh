#!/usr/bin/env bash
# Installs what building and testing StillSentinel needs on Debian 12 or 13, and the
# packages given as arguments (what only one script needs, such as fuzz.sh's clang).
# The package names are the same on both.
set -euo pipefail

packages=(
  cmake make g++
  g++-mingw-w64-x86-64-posix mingw-w64-tools
  googletest libgtest-dev  # sources for the Windows build; the native one links the built library
  wine wine64
  xvfb xauth x11-utils xdotool imagemagick
  fonts-ipafont-gothic
  python3 python3-pytest python3-pefile
  chromium poppler-utils
  liblnk-utils icoutils e2fsprogs
  openssl osslsigncode
)

missing=()
packages+=("$@")
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
echo "Installing: ${missing[*]}"
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
