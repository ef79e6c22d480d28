#!/usr/bin/env bash
# Installs every Debian package the build, the tests and the demo need, and enables source
# packages (the build fetches the 7-Zip, tinyxml2 and GoogleTest sources with apt-get source; the
# Linux packer links the system's zstd and bzip2 libraries and runs bsdiff for an update's patches).
# Idempotent: when everything is there it only checks and returns.
set -euo pipefail

PACKAGES=(
  cmake make ninja-build g++ dpkg-dev libzstd-dev libbz2-dev zstd
  mingw-w64 g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix g++-mingw-w64-i686-win32
  wine wine64 xvfb x11-utils imagemagick librsvg2-bin xdotool fonts-wqy-microhei locales
  7zip nsis osslsigncode openssl bsdiff
)

SUDO=""
[ "$(id -u)" = 0 ] || SUDO=sudo

need_update=0
# Source packages: add deb-src to the Debian sources when it is missing.
if [ -f /etc/apt/sources.list.d/debian.sources ] &&
   ! grep -q '^Types:.*deb-src' /etc/apt/sources.list.d/debian.sources; then
  $SUDO sed -i 's/^Types: deb$/Types: deb deb-src/' /etc/apt/sources.list.d/debian.sources
  need_update=1
fi
if [ -f /etc/apt/sources.list ] && grep -q '^deb ' /etc/apt/sources.list &&
   ! grep -q '^deb-src ' /etc/apt/sources.list; then
  grep '^deb ' /etc/apt/sources.list | sed 's/^deb /deb-src /' | $SUDO tee -a /etc/apt/sources.list >/dev/null
  need_update=1
fi

# Wine's 32-bit half (i386 multiarch) runs the shipped 32-bit program as 64-bit Windows does.
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
  need_update=1
fi
PACKAGES+=(wine32:i386)
missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
# apt-get source needs package lists that know about deb-src.
ls /var/lib/apt/lists/*Sources* >/dev/null 2>&1 || need_update=1

if [ ${#missing[@]} -gt 0 ] || [ $need_update = 1 ]; then
  $SUDO apt-get update -q
fi
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
echo "setup: all packages present"
