#!/usr/bin/env bash
# Generates a suite-like payload folder for the benchmarks: about <size MB> of program files
# in <files> files below office6/, templates/, utility/ and wtoolex/ (see payload_gen.cpp for
# the mix). The same seed and the same PE files give the same folder, byte for byte.
#   make_payload.sh <out folder> [size MB, default 150] [files, default 640]
# Environment:
#   PAYLOAD_SEED      seed of the generator (default 1)
#   PAYLOAD_PE_FILES  the PE files the payload's programs are made from (space-separated); default: the
#                     programs in <repo>/build/x64/bin and the MinGW-w64 runtime DLLs
#   CXX               host C++ compiler for the generator (default c++)
# <out folder> must be missing, empty, or an earlier payload (it is then replaced). Symbols
# are stripped from copies of the PE files first (shipped programs carry none).
set -euo pipefail
[ $# -ge 1 ] && [ $# -le 3 ] || { echo "usage: make_payload.sh <out folder> [size MB] [files]" >&2; exit 2; }
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")
out=${1%/}
size_mb=${2:-150}
files=${3:-640}
seed=${PAYLOAD_SEED:-1}
[[ $size_mb =~ ^[0-9]+$ && $files =~ ^[0-9]+$ && $seed =~ ^[0-9]+$ ]] || { echo "make_payload.sh: size, files and seed are numbers" >&2; exit 2; }

if [ -e "$out" ] && [ -n "$(ls -A "$out")" ] && ! { [ -d "$out/office6" ] && [ -d "$out/templates" ]; }; then
  echo "make_payload.sh: $out is neither empty nor an earlier payload; not touching it" >&2
  exit 2
fi

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

"${CXX:-c++}" -O2 -std=c++17 -o "$tmp/payload_gen" "$here/payload_gen.cpp"

# PE sources: stripped copies, one per file name.
if [ -n "${PAYLOAD_PE_FILES:-}" ]; then
  read -r -a sources <<<"$PAYLOAD_PE_FILES"
else
  gcc_dlls=
  for d in /usr/lib/gcc/x86_64-w64-mingw32/*-posix /usr/lib/gcc/x86_64-w64-mingw32/*; do
    [ -d "$d" ] && compgen -G "$d/*.dll" >/dev/null && { gcc_dlls=$d; break; }
  done
  shopt -s nullglob
  sources=("$root"/build/x64/bin/*.exe /usr/x86_64-w64-mingw32/lib/*.dll)
  [ -n "$gcc_dlls" ] && sources+=("$gcc_dlls"/*.dll "$gcc_dlls"/adalib/*.dll)
  shopt -u nullglob
fi
strip=$(command -v x86_64-w64-mingw32-strip || true)
mkdir "$tmp/pe"
for f in "${sources[@]}"; do
  name=$(basename "$f")
  [ -e "$tmp/pe/$name" ] && continue
  if [ -n "$strip" ]; then "$strip" -o "$tmp/pe/$name" "$f" 2>/dev/null || cp "$f" "$tmp/pe/$name"; else cp "$f" "$tmp/pe/$name"; fi
done
compgen -G "$tmp/pe/*" >/dev/null || { echo "make_payload.sh: no PE files found" >&2; exit 1; }

# Built beside the target and moved in place when complete: an interrupted run leaves no
# half payload behind.
mkdir -p "$(dirname "$out")"
new=$(mktemp -d "$out.new.XXXXXX")
chmod 755 "$new"
if ! "$tmp/payload_gen" "$new" $((size_mb * 1048576)) "$files" "$seed" "$tmp"/pe/*; then
  rm -rf "$new"
  exit 1
fi
rm -rf "$out"
mv "$new" "$out"
echo "PE sources: $(cd "$tmp/pe" && ls | tr '\n' ' ')"
# One hash over every path and content: equal fingerprints, equal payloads. (The programs in
# build/x64/bin change with every build of the setup program, and with them the payload.)
echo "fingerprint: $(cd "$out" && find . -type f -print0 | LC_ALL=C sort -z | xargs -0 sha256sum | sha256sum | cut -c1-16)"
