#!/bin/sh
# bench/pack.sh: archive size and pack time of vhzip pack beside zip -9 and
# 7z -tzip -mx=9 on one tree: Wine's 64-bit PE programs and its data folder
# (executables, fonts, national language tables, an .inf), a product-like mix.
# Every vhzip archive is listed again. Writes bench/pack.md.
set -eu
. "$(dirname "$0")/common.sh"
need_packages zip p7zip-full bc
build_native

tree=$WORK/pack-tree
if [ ! -d "$tree" ]; then
  mkdir -p "$tree/programs" "$tree/data"
  cp -p "$WINE_PE"/*.exe "$tree/programs/"
  cp -rp /usr/share/wine/. "$tree/data/"
fi
files=$(find "$tree" -type f | wc -l)
bytes=$(du -sb "$tree" | awk '{print $1}')
tmp=$WORK/pack
mkdir -p "$tmp"
rm -f "$tmp"/*

timed t12 "$VHZIP" pack "$tree" -o "$tmp/tree12.vhz"
timed t9 "$VHZIP" pack "$tree" -o "$tmp/tree9.vhz" --level 9
"$VHZIP" list "$tmp/tree12.vhz" | grep -q " $files entries" || { echo "vhzip list disagrees with the tree" >&2; exit 1; }
timed tz sh -c "cd '$tree' && zip -q -9 -X -r '$tmp/tree.zip' ."
timed t7 sh -c "cd '$tree' && 7z a -bd -tzip -mx=9 '$tmp/tree.7z.zip' . >/dev/null"

out=$ROOT/bench/pack.md
cat > "$out" <<TABLE
# Archives

Made by \`bench/pack.sh\` on $(date -u +%Y-%m-%d), $(nproc) cores. The tree: $files files, $bytes bytes
(Wine's 64-bit PE programs and /usr/share/wine). Sizes in bytes; time in seconds (wall clock).

| packer | archive | time |
|---|---:|---:|
| \`vhzip pack\` (level 12, the default) | **$(size_of "$tmp/tree12.vhz")** | $t12 |
| \`vhzip pack --level 9\` | $(size_of "$tmp/tree9.vhz") | $t9 |
| \`zip -9 -X -r\` | $(size_of "$tmp/tree.zip") | $tz |
| \`7z a -tzip -mx=9\` | $(size_of "$tmp/tree.7z.zip") | $t7 |

Command: \`vhzip pack TREE -o ARCHIVE [--level N]\`; every vhzip archive is listed again and must hold all $files files.
vhzip's native build deflates with libdeflate (levels 1 to 12); level 13 adds zopfli and is not timed here.
TABLE
cat "$out"
