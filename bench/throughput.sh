#!/bin/sh
# bench/throughput.sh: UpdateCrc32 beside zlib's crc32 (and the plain table),
# and the decode speed of ApplyPatchToBuffer. Writes bench/throughput.md.
set -eu
. "$(dirname "$0")/common.sh"
need_npm
build_native
ESB_OLD=$(npm_file @esbuild/win32-x64 0.19.11 esbuild.exe)
ESB_NEW=$(npm_file @esbuild/win32-x64 0.19.12 esbuild.exe)
"$VHZIP" diff "$ESB_OLD" "$ESB_NEW" -o "$WORK/esbuild.pch"
out=$ROOT/bench/throughput.md
{
  echo "# Throughput"
  echo
  echo "Made by \`bench/throughput.sh\` on $(date -u +%Y-%m-%d), $(nproc) cores, native Release build; best of several rounds over 64 MiB."
  echo
  echo "| what | speed | |"
  echo "|---|---:|---|"
  "$ROOT/build/native/bin/archive_bench" "$ESB_OLD" "$WORK/esbuild.pch" "$ESB_NEW"
} > "$out"
cat "$out"
