#!/bin/sh
# make_corpus.sh VHZIP OUTDIR
# Seeds for the fuzz targets, all made by vhzip: delta patches between small
# related files (prefixed with the base's length and the base) and entry data
# (patches against an empty base), stored and deflated.
set -eu
T=$(mktemp -d)
trap 'rm -rf "$T"' EXIT
rm -rf "$2" && mkdir -p "$2/FuzzApplyPatchToBuffer" "$2/FuzzApplyPatchStream" "$2/FuzzDecodeEntryStream"
seq 1 3000 > "$T/a1" && seq 1 3000 | sed 's/9/nine/' > "$T/b1" && : > "$T/a3" && printf 'x' > "$T/b3"
head -c 20000 "$1" > "$T/a2" && { head -c 9000 "$T/a2"; printf 'inserted'; tail -c +9001 "$T/a2"; } > "$T/b2"
for i in 1 2 3; do
  for level in 0 6 12; do
    "$1" diff "$T/a$i" "$T/b$i" -o "$T/p" --level $level
    s=$(wc -c < "$T/a$i") n=s$i-$level
    le=$(printf '\\%03o\\%03o\\%03o\\%03o' $((s & 255)) $((s >> 8 & 255)) $((s >> 16 & 255)) $((s >> 24)))
    { printf "$le"; cat "$T/a$i" "$T/p"; } | tee "$2/FuzzApplyPatchStream/$n" > "$2/FuzzApplyPatchToBuffer/$n"
    "$1" diff "$T/a3" "$T/b$i" -o "$2/FuzzDecodeEntryStream/$n" --level $level
  done
done
