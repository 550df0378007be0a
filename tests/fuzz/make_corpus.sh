#!/bin/sh
# make_corpus.sh VHZIP OUTDIR
# Seeds for the fuzz targets, all made by vhzip: delta patches between small
# related files (prefixed with their base, see FuzzInput.h) and entry data
# (patch streams against an empty base), stored and deflated.
set -eu
V=$1
OUT=$2
T=$(mktemp -d)
trap 'rm -rf "$T"' EXIT
rm -rf "$OUT"
mkdir -p "$OUT/FuzzApplyPatchToBuffer" "$OUT/FuzzApplyPatchStream" "$OUT/FuzzDecodeEntryStream"

# Small related pairs: text with edits, and binary data with an insertion.
seq 1 3000 > "$T/a1"; seq 1 3000 | sed 's/9/nine/' > "$T/b1"
printf 'Trawlmark 5.3' > "$T/a2"; printf 'Trawlmark 5.4 by Varnholt' > "$T/b2"
head -c 20000 "$V" > "$T/a3"; { head -c 9000 "$T/a3"; printf 'inserted'; tail -c +9001 "$T/a3"; } > "$T/b3"
: > "$T/a4"; printf 'x' > "$T/b4"
head -c 4000 "$T/a1" > "$T/a5"; : > "$T/b5"

u32() { printf "$(printf '\\%03o\\%03o\\%03o\\%03o' $(($1 & 255)) $((($1 >> 8) & 255)) $((($1 >> 16) & 255)) $((($1 >> 24) & 255)))"; }

n=0
for i in 1 2 3 4 5; do
  for level in 0 6 12; do
    n=$((n + 1))
    "$V" diff "$T/a$i" "$T/b$i" -o "$T/p" --level $level
    { u32 "$(wc -c < "$T/a$i")"; cat "$T/a$i" "$T/p"; } > "$OUT/FuzzApplyPatchToBuffer/seed$n"
    cp "$OUT/FuzzApplyPatchToBuffer/seed$n" "$OUT/FuzzApplyPatchStream/seed$n"
    "$V" diff "$T/a4" "$T/b$i" -o "$OUT/FuzzDecodeEntryStream/seed$n" --level $level
  done
done
echo "make_corpus: $n seeds per target in $OUT"
