#!/usr/bin/env bash
# Fetches the third-party sources from Debian's source packages into the given folder:
#   <dest>/7zip, <dest>/tinyxml2, <dest>/googletest
# Nothing third-party lives in the repository; a fetched folder is reused while its stamp exists.
set -euo pipefail
dest=${1:?usage: fetch_third_party.sh <folder>}
mkdir -p "$dest"
cd "$dest"
for pkg in 7zip tinyxml2 googletest; do
  [ -f "$pkg/.fetched" ] && continue
  rm -rf "$pkg" "$pkg".tmp
  mkdir "$pkg".tmp
  ( cd "$pkg".tmp && apt-get source -q "$pkg" >/dev/null 2>apt.err ) || {
    cat "$pkg".tmp/apt.err >&2; echo "fetch: apt-get source $pkg failed" >&2; exit 1; }
  src=$(find "$pkg".tmp -mindepth 1 -maxdepth 1 -type d | head -n 1)
  [ -n "$src" ] || { echo "fetch: no source tree for $pkg" >&2; exit 1; }
  mv "$src" "$pkg"
  rm -rf "$pkg".tmp
  touch "$pkg/.fetched"
  echo "fetch: $pkg ready in $dest/$pkg"
done
