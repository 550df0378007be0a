#!/bin/sh
# bench/delta.sh: delta patch size, time and peak memory of vhzip diff beside
# xdelta3 -9, bsdiff and zstd --patch-from --ultra -22 --long=27, on different
# programs of one toolchain (Wine's PE programs) and on versions of one program
# (npm), then how time and memory grow with the size of the pair. Every vhzip
# patch is applied again and compared with NEW. Writes bench/delta.md.
# Heavy (about 40 minutes on 2 cores): run it alone, e.g. under nice -n 19.
# Times are CPU seconds (user + system, both of vhzip's threads counted) and
# wall-clock seconds; on a shared machine only the CPU times compare well.
set -eu
. "$(dirname "$0")/common.sh"
need_packages xdelta3 bsdiff zstd bc time python3
need_npm
build_native

ESB_OLD=$(npm_file @esbuild/win32-x64 0.19.11 esbuild.exe)
ESB_NEW=$(npm_file @esbuild/win32-x64 0.19.12 esbuild.exe)
DPR_OLD=$(npm_file @dprint/win32-x64 0.47.2 dprint.exe)
DPR_NEW=$(npm_file @dprint/win32-x64 0.47.4 dprint.exe)
RSP_OLD=$(npm_file @rspack/binding-win32-x64-msvc 2.3.3 rspack.win32-x64-msvc.node)
RSP_NEW=$(npm_file @rspack/binding-win32-x64-msvc 2.3.4 rspack.win32-x64-msvc.node)
NXT_OLD=$(npm_file @next/swc-win32-x64-msvc 16.4.5 next-swc.win32-x64-msvc.node)
NXT_NEW=$(npm_file @next/swc-win32-x64-msvc 16.4.6 next-swc.win32-x64-msvc.node)

out=$ROOT/bench/delta.md
tmp=$WORK/delta
mkdir -p "$tmp"
# The largest pair joins two real programs: each side is one version of each.
JOIN_OLD=$tmp/next-swc-16.4.5+rspack-2.3.3.bin
JOIN_NEW=$tmp/next-swc-16.4.6+rspack-2.3.4.bin

# measured PREFIX COMMAND...: CPU seconds (user + system) into PREFIX_c, wall
# seconds into PREFIX_s, peak resident KiB and MiB into PREFIX_k and PREFIX_m.
# A command done in under 5 seconds runs three times and keeps its least CPU
# and wall time: on shared cores one run of a second varies by a tenth.
measured() {
  prefix=$1; shift
  runs=0; c=""; s=""
  while :; do
    /usr/bin/time -f '%e %M %U %S' -o "$tmp/time.txt" "$@" >/dev/null 2>&1 || { echo "failed: $*" >&2; return 1; }
    runs=$((runs + 1))
    rs=$(cut -d' ' -f1 "$tmp/time.txt"); rc=$(awk '{ printf "%.2f", $3 + $4 }' "$tmp/time.txt")
    if [ "$runs" -eq 1 ]; then s=$rs; c=$rc; k=$(cut -d' ' -f2 "$tmp/time.txt"); fi
    [ "$(echo "$rs < $s" | bc)" -eq 1 ] && s=$rs
    [ "$(echo "$rc < $c" | bc)" -eq 1 ] && c=$rc
    { [ "$runs" -ge 3 ] || [ "$(echo "$s >= 5" | bc)" -eq 1 ]; } && break
  done
  eval "${prefix}_s=\$s ${prefix}_c=\$c ${prefix}_k=\$k"
  eval "${prefix}_m=\$(echo \"(\$k + 512) / 1024\" | bc)"
}

# Resident bytes per byte of NEW beyond holding BASE and NEW.
per_byte() {  # per_byte PEAK_KIB BASE NEW
  echo "($1 * 1024 - $(size_of "$2") - $(size_of "$3")) / $(size_of "$3")" | bc -l | xargs printf '%.1f'
}

check_rebuilds() {  # check_rebuilds BASE PATCH NEW
  "$VHZIP" apply "$1" "$2" -o "$tmp/rebuilt"
  cmp -s "$tmp/rebuilt" "$3" || { echo "vhzip patch $2 does not rebuild NEW" >&2; exit 1; }
  rm -f "$tmp/rebuilt"
}

# The default level's sizes before this encoder worked in segments (level 13
# then, commit 7947f70's bench/delta.md), for the pairs measured then.
before() {
  case $1 in
    regedit*) echo 242752 ;; winecfg*) echo 313762 ;; wordpad*) echo 289206 ;;
    esbuild*) echo 671444 ;; dprint*) echo 2701103 ;; *) echo "" ;;
  esac
}

pct() { echo "100 * ($1 - $2) / $2" | bc -l | xargs printf '%+.2f %%'; }

rows=$tmp/rows.md
scaling=$tmp/scaling.md

# pair NAME KIND BASE NEW: one row of the main table; the scaling table takes its times and memory.
pair() {
  name=$1; kind=$2; base=$3; new=$4
  # zstd right after vhzip, so that the two whose times are compared meet the same load.
  measured v "$VHZIP" diff "$base" "$new" -o "$tmp/p.pch"
  measured z zstd -q -f --patch-from="$base" --ultra -22 --long=27 "$new" -o "$tmp/p.zst"
  check_rebuilds "$base" "$tmp/p.pch" "$new"
  v=$(size_of "$tmp/p.pch")
  vf=$(python3 "$ROOT/bench/command_fields.py" "$tmp/p.pch")
  was=$(before "$name")
  if [ -n "$was" ]; then
    measured h "$VHZIP" diff "$base" "$new" -o "$tmp/p13.pch" --level 13
    check_rebuilds "$base" "$tmp/p13.pch" "$new"
    h=$(size_of "$tmp/p13.pch")
    vs="$(pct "$v" "$was")"; hcol="$h ($(pct "$h" "$was")) | $h_c | $(per_byte "$h_k" "$base" "$new")"
  else
    was="—"; vs="—"; hcol="not run | | "
  fi
  measured x xdelta3 -9 -f -e -s "$base" "$new" "$tmp/p.xd3"
  xdelta3 -9 -S none -f -e -s "$base" "$new" "$tmp/p.plain.xd3"
  measured b bsdiff "$base" "$new" "$tmp/p.bsd"
  x=$(size_of "$tmp/p.xd3"); b=$(size_of "$tmp/p.bsd"); z=$(size_of "$tmp/p.zst")
  xn=$(size_of "$tmp/p.plain.xd3")
  # Copies whose address lies in the target window read bytes of NEW itself.
  xt=$(xdelta3 printdelta "$tmp/p.xd3" | awk '{ for (i = 1; i <= NF; i++) if ($i ~ /^[ST]@/) { n++; if ($i ~ /^T@/) t++ } }
                                            END { printf "%d of %d", t, n }')
  okx=no; [ "$v" -le "$x" ] && okx=yes
  okz=no; [ "$v" -le "$z" ] && okz=yes
  okt=no; [ "$(echo "$v_c <= $z_c" | bc)" -eq 1 ] && okt=yes
  okw=no; [ "$(echo "$v_s <= $z_s" | bc)" -eq 1 ] && okw=yes
  echo "| $name | $kind | $(size_of "$new") | $was | **$v** ($vs) | $v_c | $v_s | $(per_byte "$v_k" "$base" "$new") | $hcol | $vf | $x | $x_c | $xn | $xt | $b | $b_c | $z | $z_c | $z_s | $okx | $okz | $okt | $okw |" >> "$rows"
  echo "$name: vhzip $v ($v_c s CPU, $v_s s, $v_m MiB), xdelta3 $x, bsdiff $b, zstd $z ($z_c s CPU, $z_s s)"
}

# scale NAME BASE NEW: one row of the scaling table (default level and the peers, time and peak memory).
scale() {
  name=$1; base=$2; new=$3
  measured v "$VHZIP" diff "$base" "$new" -o "$tmp/s.pch"
  measured z zstd -q -f --patch-from="$base" --ultra -22 --long=27 "$new" -o "$tmp/s.zst"
  check_rebuilds "$base" "$tmp/s.pch" "$new"
  measured x xdelta3 -9 -f -e -s "$base" "$new" "$tmp/s.xd3"
  measured b bsdiff "$base" "$new" "$tmp/s.bsd"
  scale_row "$name" "$base" "$new" "$(size_of "$tmp/s.pch")" "$(size_of "$tmp/s.xd3")" "$(size_of "$tmp/s.bsd")" "$(size_of "$tmp/s.zst")"
  rm -f "$tmp"/s.*
}

scale_row() {  # NAME BASE NEW V X B Z, with the v_, x_, b_, z_ measurements set
  mb=$(echo "$(size_of "$3") / 1000000" | bc -l | xargs printf '%.1f')
  vr=$(echo "$v_c / $mb" | bc -l | xargs printf '%.2f')
  share=$(echo "100 * $4 / $(size_of "$3")" | bc -l | xargs printf '%.1f %%')
  echo "| $1 | $mb | $4 | $share | $v_c | $vr | $v_s | $v_m | $(per_byte "$v_k" "$2" "$3") | $5 | $x_c | $x_m | $6 | $b_c | $b_m | $7 | $z_c | $z_s | $z_m |" >> "$scaling"
}

# write_md: the whole report from the rows so far, after every pair, so that a run cut short leaves what it measured.
write_md() {
  {
    echo "# Delta patches"
    echo
    echo "Made by \`bench/delta.sh\` on $(date -u +%Y-%m-%d) under \`nice -n 19\`, $(nproc) cores shared with other work, in one run:"
    echo "every program of one row ran one after the other under the same load. Sizes in bytes. Times are encoding only,"
    echo "from \`/usr/bin/time\`: \"CPU s\" is user + system seconds, which the load changes far less than wall-clock time (for vhzip, which runs"
    echo "two threads, both threads' time added up; the peers run one), \"wall s\" is wall-clock seconds, which vary with"
    echo "the load of the other work. A command done in under 5 seconds ran three times, and its least CPU and wall time"
    echo "are given (vhzip's and the peers' alike). Memory is the peak resident set size, for vhzip given as bytes per byte of NEW"
    echo "beyond the BASE and NEW it holds (B/B)."
    echo "Peers: xdelta3 $(xdelta3 -V 2>&1 | head -1 | sed 's/.*version \([0-9.]*\).*/\1/'), bsdiff 4.3, zstd $(zstd -V | sed 's/.*v\([0-9.]*\).*/\1/')."
    echo
    echo "| pair | kind | NEW | before (level 13, old encoder) | vhzip diff (default level 12) | CPU s | wall s | B/B | vhzip --level 13 | CPU s | B/B | its commands, fields apart, LZMA | xdelta3 -9 | CPU s | xdelta3 -9 -S none | xdelta3 copies reading NEW | bsdiff | CPU s | zstd -22 --long=27 | CPU s | wall s | vhzip ≤ xdelta3 | vhzip ≤ zstd | vhzip CPU ≤ zstd | vhzip wall ≤ zstd |"
    echo "|---|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|:-:|:-:|:-:|:-:|"
    cat "$rows"
    echo
    echo "Commands: \`vhzip diff BASE NEW -o P\` (default level 12) and with \`--level 13\`, \`xdelta3 -9 -e -s BASE NEW P\`,"
    echo "\`bsdiff BASE NEW P\`, \`zstd --patch-from=BASE --ultra -22 --long=27 NEW -o P\`. The esbuild, dprint, rspack and"
    echo "next-swc programs come from the npm packages @esbuild/win32-x64, @dprint/win32-x64, @rspack/binding-win32-x64-msvc"
    echo "and @next/swc-win32-x64-msvc (\`npm pack\`); the others from Debian's Wine package. \"before\" is the size the"
    echo "previous encoder (whole-target parse, re-pricing, zopfli at its default level 13) made, from the table this"
    echo "one replaces; level 13 is run on those pairs only (zopfli takes minutes on the larger ones)."
    echo
    echo "## Scaling"
    echo
    echo "Time and peak memory against the size of NEW, default level. The joined pair puts two real programs on each"
    echo "side (next-swc.win32-x64-msvc.node followed by rspack.win32-x64-msvc.node, each side one version of both);"
    echo "its first 10 and 40 MB (both sides cut alike, so the same program's versions) show how the same kind of"
    echo "content scales; the esbuild and rspack rows are the runs of the table above. \"patch share\" is the default"
    echo "patch's size against NEW: how much of NEW is new, which sets the time per MB (see below the table)."
    echo
    echo "| pair | NEW (MB) | vhzip diff | patch share | CPU s | CPU s per MB | wall s | peak MiB | B/B | xdelta3 -9 | CPU s | peak MiB | bsdiff | CPU s | peak MiB | zstd -22 --long=27 | CPU s | wall s | peak MiB |"
    echo "|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|"
    cat "$scaling"
    echo
    echo "What is not linear, measured in this table: vhzip's CPU time per MB follows the patch share, not the size."
    echo "Copies cost little to find and to price, literals cost the trial deflations and the regional prices; the"
    echo "rows sorted by patch share (next-swc's first 10 and 40 MB, esbuild, the joined pair, rspack) are also sorted"
    echo "by CPU seconds per MB, whatever their size. Peak memory is a fixed part (two segments of up to 1 MiB in flight"
    echo "with their tables, the block encoder's tables) plus BASE, NEW and the suffix array (4 bytes per byte of BASE),"
    echo "all linear in the size: the next-swc rows and the joined pair lie near one line of about 120 MiB plus 6.9 MiB per"
    echo "MB; rspack, whose patch carries a third of NEW, holds more commands. So vhzip's bytes per byte of NEW fall as"
    echo "NEW grows. The peers' memory is set by their window (zstd --long=27: 128 MiB plus the inputs) or grows with"
    echo "the inputs (bsdiff)."
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
  } > "$out.tmp"
  mv "$out.tmp" "$out"
}

# --rewrite: the report again from the last run's rows, after a change of its text.
if [ "${1:-}" = "--rewrite" ]; then write_md; cat "$out"; exit 0; fi
: > "$rows"
: > "$scaling"
pair "regedit.exe → winefile.exe" "different programs" "$WINE_PE/regedit.exe" "$WINE_PE/winefile.exe"
write_md
pair "winecfg.exe → taskmgr.exe" "different programs" "$WINE_PE/winecfg.exe" "$WINE_PE/taskmgr.exe"
write_md
pair "wordpad.exe → winhlp32.exe" "different programs" "$WINE_PE/wordpad.exe" "$WINE_PE/winhlp32.exe"
write_md
pair "esbuild.exe 0.19.11 → 0.19.12" "versions" "$ESB_OLD" "$ESB_NEW"
scale_row "esbuild.exe 0.19.11 → 0.19.12" "$ESB_OLD" "$ESB_NEW" "$v" "$x" "$b" "$z"
write_md
pair "dprint.exe 0.47.2 → 0.47.4" "versions" "$DPR_OLD" "$DPR_NEW"
write_md
pair "rspack.win32-x64-msvc.node 2.3.3 → 2.3.4" "versions" "$RSP_OLD" "$RSP_NEW"
scale_row "rspack.win32-x64-msvc.node 2.3.3 → 2.3.4" "$RSP_OLD" "$RSP_NEW" "$v" "$x" "$b" "$z"
write_md
cat "$NXT_OLD" "$RSP_OLD" > "$JOIN_OLD"
cat "$NXT_NEW" "$RSP_NEW" > "$JOIN_NEW"
for first in 10 40; do
  head -c "${first}000000" "$JOIN_OLD" > "$tmp/old-$first.bin"
  head -c "${first}000000" "$JOIN_NEW" > "$tmp/new-$first.bin"
  scale "joined pair, first $first MB (next-swc 16.4.5 → 16.4.6)" "$tmp/old-$first.bin" "$tmp/new-$first.bin"
  rm -f "$tmp/old-$first.bin" "$tmp/new-$first.bin"
  write_md
done
scale "next-swc 16.4.5 + rspack 2.3.3 → next-swc 16.4.6 + rspack 2.3.4 (joined)" "$JOIN_OLD" "$JOIN_NEW"
write_md

rm -f "$JOIN_OLD" "$JOIN_NEW"
cat "$out"
