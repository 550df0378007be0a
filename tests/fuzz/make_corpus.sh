#!/bin/sh
# make_corpus.sh VHZIP OUTDIR
# Seeds for the fuzz targets, all made by vhzip: delta patches between small
# related files (prefixed with the base's length and the base) and entry data
# (patches against an empty base), stored and deflated.
set -eu
V=$1
OUT=$2
T=$(mktemp -d)
trap 'rm -rf "$T"' EXIT
rm -rf "$OUT" && mkdir -p "$OUT/FuzzApplyPatchToBuffer" "$OUT/FuzzApplyPatchStream" "$OUT/FuzzDecodeEntryStream"
seq 1 3000 > "$T/a1"; seq 1 3000 | sed 's/9/nine/' > "$T/b1"
head -c 20000 "$V" > "$T/a2"; { head -c 9000 "$T/a2"; printf 'inserted'; tail -c +9001 "$T/a2"; } > "$T/b2"
: > "$T/a3"; printf 'x' > "$T/b3"
n=0
for i in 1 2 3; do
  for level in 0 6 12; do
    n=$((n + 1))
    "$V" diff "$T/a$i" "$T/b$i" -o "$T/p" --level $level
    s=$(wc -c < "$T/a$i")
    { printf "$(printf '\\%03o\\%03o\\%03o\\%03o' $((s & 255)) $((s >> 8 & 255)) $((s >> 16 & 255)) $((s >> 24)))"; cat "$T/a$i" "$T/p"; } > "$OUT/FuzzApplyPatchToBuffer/seed$n"
    cp "$OUT/FuzzApplyPatchToBuffer/seed$n" "$OUT/FuzzApplyPatchStream/seed$n"
    "$V" diff "$T/a3" "$T/b$i" -o "$OUT/FuzzDecodeEntryStream/seed$n" --level $level
  done
done
echo "make_corpus: $n seeds per target in $OUT"
