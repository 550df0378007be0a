#!/bin/sh
# bench/delta.sh: delta patch size and time of vhzip diff beside xdelta3 -9,
# bsdiff and zstd --patch-from --ultra -22 --long=27, on different programs of
# one toolchain (Wine's PE programs) and on two versions of one program (npm).
# Every vhzip patch is applied again and compared with NEW. Writes bench/delta.md.
set -eu
. "$(dirname "$0")/common.sh"
need_packages xdelta3 bsdiff zstd bc
need_npm
build_native

ESB_OLD=$(npm_file @esbuild/win32-x64 0.19.11 esbuild.exe)
ESB_NEW=$(npm_file @esbuild/win32-x64 0.19.12 esbuild.exe)
DPR_OLD=$(npm_file @dprint/win32-x64 0.47.2 dprint.exe)
DPR_NEW=$(npm_file @dprint/win32-x64 0.47.4 dprint.exe)

out=$ROOT/bench/delta.md
tmp=$WORK/delta
mkdir -p "$tmp"
{
  echo "# Delta patches"
  echo
  echo "Made by \`bench/delta.sh\` on $(date -u +%Y-%m-%d), $(nproc) cores. Sizes in bytes; time in seconds (wall clock, encoding only)."
  echo "Peers: xdelta3 $(xdelta3 -V 2>&1 | head -1 | sed 's/.*version \([0-9.]*\).*/\1/'), bsdiff 4.3, zstd $(zstd -V | sed 's/.*v\([0-9.]*\).*/\1/')."
  echo
  echo "| pair | kind | NEW | vhzip diff | s | its commands, fields apart, LZMA | xdelta3 -9 | s | xdelta3 -9 -S none | xdelta3 copies reading NEW | bsdiff | s | zstd -22 --long=27 | s | vhzip ≤ xdelta3 | vhzip ≤ zstd |"
  echo "|---|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|:-:|:-:|"
} > "$out.tmp"

row() {  # row NAME KIND BASE NEW
  name=$1; kind=$2; base=$3; new=$4
  timed tv "$VHZIP" diff "$base" "$new" -o "$tmp/$name.pch"
  "$VHZIP" apply "$base" "$tmp/$name.pch" -o "$tmp/$name.out"
  cmp -s "$tmp/$name.out" "$new" || { echo "vhzip patch for $name does not rebuild NEW" >&2; exit 1; }
  timed tx xdelta3 -9 -f -e -s "$base" "$new" "$tmp/$name.xd3"
  xdelta3 -9 -S none -f -e -s "$base" "$new" "$tmp/$name.plain.xd3"
  timed tb bsdiff "$base" "$new" "$tmp/$name.bsd"
  timed tz zstd -q -f --patch-from="$base" --ultra -22 --long=27 "$new" -o "$tmp/$name.zst"
  v=$(size_of "$tmp/$name.pch"); x=$(size_of "$tmp/$name.xd3"); b=$(size_of "$tmp/$name.bsd"); z=$(size_of "$tmp/$name.zst")
  xn=$(size_of "$tmp/$name.plain.xd3")
  vf=$(python3 "$ROOT/bench/command_fields.py" "$tmp/$name.pch")
  # Copies whose address lies in the target window read bytes of NEW itself.
  xt=$(xdelta3 printdelta "$tmp/$name.xd3" | awk '{ for (i = 1; i <= NF; i++) if ($i ~ /^[ST]@/) { n++; if ($i ~ /^T@/) t++ } }
                                                 END { printf "%d of %d", t, n }')
  okx=no; [ "$v" -le "$x" ] && okx=yes
  okz=no; [ "$v" -le "$z" ] && okz=yes
  echo "| $name | $kind | $(size_of "$new") | **$v** | $tv | $vf | $x | $tx | $xn | $xt | $b | $tb | $z | $tz | $okx | $okz |" >> "$out.tmp"
  echo "$name: vhzip $v, xdelta3 $x, bsdiff $b, zstd $z"
}

row "regedit.exe → winefile.exe" "different programs" "$WINE_PE/regedit.exe" "$WINE_PE/winefile.exe"
row "winecfg.exe → taskmgr.exe" "different programs" "$WINE_PE/winecfg.exe" "$WINE_PE/taskmgr.exe"
row "wordpad.exe → winhlp32.exe" "different programs" "$WINE_PE/wordpad.exe" "$WINE_PE/winhlp32.exe"
row "esbuild.exe 0.19.11 → 0.19.12" "versions" "$ESB_OLD" "$ESB_NEW"
row "dprint.exe 0.47.2 → 0.47.4" "versions" "$DPR_OLD" "$DPR_NEW"
{
  echo
  echo "Commands: \`vhzip diff BASE NEW -o P\` (default level 13), \`xdelta3 -9 -e -s BASE NEW P\`, \`bsdiff BASE NEW P\`,"
  echo "\`zstd --patch-from=BASE --ultra -22 --long=27 NEW -o P\`. The esbuild and dprint programs come from the npm"
  echo "packages @esbuild/win32-x64 and @dprint/win32-x64 (\`npm pack\`); the others from Debian's Wine package."
  echo
  echo "Why the peers can be smaller: Debian's xdelta3 compresses its instruction, address and data sections"
  echo "separately with LZMA (\`-S none\` column: the same encoder without that stage), and its copies may read"
  echo "the part of NEW already rebuilt (counted with \`xdelta3 printdelta\`). zstd codes repeat offsets and entropy-codes each"
  echo "field on its own; bsdiff stores byte differences. A patch of ours can only copy from BASE or carry literal"
  echo "bytes, and each block is one deflate stream with a 32 KiB window over the interleaved command bytes."
  echo "The column \"its commands, fields apart, LZMA\" (\`bench/command_fields.py\`) takes our patch's own commands"
  echo "and compresses opcodes, offsets, lengths and literal bytes each on its own with \`xz -9e\`'s LZMA, as a"
  echo "format with separate sections could: it measures the choice of commands apart from the entropy stage"
  echo "our format prescribes."
} >> "$out.tmp"
mv "$out.tmp" "$out"
cat "$out"
