#!/bin/sh
# Extraction speed and peak memory: `vhzip extract` (the setup's own extraction
# code: copy, descramble, verify, decode, verify, write) against `unzip` and
# `7z x` on the same tree, zipped at their defaults. Writes bench/extract.md.
set -eu
. "$(dirname "$0")/common.sh"
need_packages zip unzip p7zip-full time python3
build_native

TREE=$WORK/extract-tree
if [ ! -d "$TREE" ]; then
  echo "making the tree (about 560 MB)"
  python3 "$ROOT/bench/extract_tree.py" "$TREE.tmp" && mv "$TREE.tmp" "$TREE"
fi
files=$(find "$TREE" -type f | wc -l)
bytes=$(find "$TREE" -type f -printf '%s\n' | awk '{s+=$1} END {print s}')

A=$WORK/extract-archives
mkdir -p "$A"
[ -f "$A/tree.vhz" ] || "$VHZIP" pack "$TREE" -o "$A/tree.vhz"
[ -f "$A/tree.zip" ] || (cd "$TREE" && zip -q -r "$A/tree.zip" .)
[ -f "$A/tree-7z.zip" ] || (cd "$TREE" && 7z a -bd -tzip "$A/tree-7z.zip" . >/dev/null)

OUT=$WORK/extract-out
ROUNDS=3
# run NAME COMMAND...: best wall time and its peak RSS over the rounds, into a row.
run() {
  name=$1; shift
  best=""; mem=""
  for i in $(seq $ROUNDS); do
    rm -rf "$OUT"; mkdir -p "$OUT"; sync
    /usr/bin/time -f '%e %M' -o "$WORK/time.txt" "$@" >/dev/null 2>&1
    t=$(cut -d' ' -f1 "$WORK/time.txt"); m=$(cut -d' ' -f2 "$WORK/time.txt")
    if [ -z "$best" ] || [ "$(echo "$t < $best" | bc)" = 1 ]; then best=$t; mem=$m; fi
  done
  n=$(find "$OUT" -type f | wc -l)
  [ "$n" -eq "$files" ] || { echo "$name extracted $n of $files files" >&2; exit 1; }
  diff -rq "$TREE" "$OUT" >/dev/null || { echo "$name extracted a different tree" >&2; exit 1; }
  mbs=$(echo "scale=1; $bytes / 1000000 / $best" | bc)
  echo "| $name | $(stat -c %s "$ARCHIVE") | $best | $mbs | $((mem / 1024)) |" >> "$WORK/extract-rows.md"
}

need_packages bc
: > "$WORK/extract-rows.md"
ARCHIVE=$A/tree.vhz;    run '`vhzip extract`' "$VHZIP" extract "$A/tree.vhz" -C "$OUT"
ARCHIVE=$A/tree.zip;    run '`unzip -q`' unzip -q "$A/tree.zip" -d "$OUT"
ARCHIVE=$A/tree-7z.zip; run '`7z x`' 7z x -bd -y "-o$OUT" "$A/tree-7z.zip"

{
  echo "# Extraction"
  echo
  echo "Made by \`bench/extract.sh\` on $(date +%Y-%m-%d), $(nproc) cores, native Release build."
  echo "The tree: $files files, $bytes bytes ($((files - 10)) text files of 2 to 20 KiB,"
  echo "10 binaries of 32 MiB made of this machine's shared libraries; \`bench/extract_tree.py\`)."
  echo "Best of $ROUNDS rounds, each into an empty folder on the same disk; every result compared with the tree."
  echo "Peak memory is the maximum resident set size reported by \`/usr/bin/time\`."
  echo
  echo "| extractor | archive bytes | seconds | MB/s of output | peak memory (MiB) |"
  echo "|---|---:|---:|---:|---:|"
  cat "$WORK/extract-rows.md"
  echo
  echo "vhzip's archive was made by \`vhzip pack\` (default level); the zip files by \`zip -r\` and"
  echo "\`7z a -tzip\` at their default levels. \`vhzip extract\` copies the archive into the"
  echo "destination first and descrambles and checks it there before it writes any file,"
  echo "as the setup does."
} > "$ROOT/bench/extract.md"
cat "$ROOT/bench/extract.md"
