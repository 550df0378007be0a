#!/bin/sh
# vhzip_cli.sh VHZIP WORKDIR
# The packer as a user drives it, with the setup's extraction behind extract and
# verify: round trips, exit codes and messages for bad input, and hostile files
# and links that must neither be followed nor lose data.
set -u
V=$1
fail() { echo "FAIL: $*" >&2; exit 1; }
# code WANT COMMAND...: COMMAND ends with exit code WANT; its output is in out.txt and err.txt.
code() { want=$1; shift; "$@" > out.txt 2> err.txt; rc=$?; [ $rc -eq "$want" ] || fail "$* gave $rc: $(cat err.txt)"; }
said() { grep -Eq -- "$2" "$1" || fail "$1 does not say '$2': $(cat "$1")"; }
same() { cmp -s "$1" "$2" || fail "$1 differs from $2"; }
absent() { [ ! -e "$1" ] || fail "$1 was written"; }
empty() { [ -z "$(ls "$1")" ] || fail "$1 holds $(ls "$1")"; }
rm -rf "$2" && mkdir -p "$2/tree/Help/Deep" "$2/tree/sub dir" && cd "$2" && W=$(pwd) || fail "cannot make $2"
N="tree/sub dir/numbers.txt"
printf 'Trawlmark Query Folder\r\n' > tree/NONAME.TWX
touch -d '2019-12-31 23:59:58' tree/NONAME.TWX
chmod a-w tree/NONAME.TWX
head -c 3000000 /dev/urandom > tree/Help/Deep/big.bin  # more than one block
seq 1 100000 > "$N"
: > tree/empty.txt

# Round trips: the archive and the bundled setup extract to the tree, times and modes kept.
code 0 "$V" pack tree -o t.vhz
code 0 "$V" list t.vhz
said out.txt '^ +24  R---  2019-12-31 23:59:58 +[0-9]+  NONAME\.TWX$'
printf 'MZ stands in for the setup program' > stub.exe
code 0 "$V" bundle stub.exe t.vhz -o setup.exe
code 1 "$V" bundle setup.exe t.vhz -o twice.exe
absent twice.exe
for input in t.vhz setup.exe; do
  rm -rf out
  code 0 "$V" extract "$input" -C out/new
  code 0 "$V" verify "$input"
  [ -f "$input" ] || fail "extract or verify removed $input"
  diff -r tree out/new || fail "extracted $input"
  [ "$(stat -c %Y.%a tree/NONAME.TWX)" = "$(stat -c %Y.%a out/new/NONAME.TWX)" ] || fail "time or mode"
done

# Damaged, not a plain file, an unsafe name: exit 1, nothing written, the failing entry named.
cp t.vhz bad.vhz
printf '\377' | dd of=bad.vhz bs=1 seek=$(($(stat -c %s t.vhz) - 5)) conv=notrunc 2> /dev/null
code 1 "$V" extract bad.vhz -C bad
said err.txt '\(code -5\)$'
empty bad
code 1 "$V" list bad.vhz
code 2 "$V" pack tree
mkfifo fifo
code 1 timeout 20 "$V" extract fifo -C f
said err.txt "'fifo' is not a regular file"
mkdir -p evil
printf ok > evil/a.txt
printf x > evil/CON
code 0 "$V" pack evil -o evil.vhz
code 1 "$V" extract evil.vhz -C e
said err.txt "CON'\) \(code -6\)"
code 1 "$V" bundle stub.exe evil.vhz -o evil.exe
absent evil.exe

# FILE is never the temporary archive itself, by name or through a link (a
# link planted at that name is the extraction's own test).
cp t.vhz t.copy
mkdir self
ln -s "$W/t.vhz" "self/tempfile.\$\$\$"
code 2 "$V" extract t.vhz -C self
code 2 "$V" extract "self/tempfile.\$\$\$" -C self
same t.vhz t.copy

# Patches rebuild NEW, in place too; on a full disk (the file size limit) the base stays whole.
seq 1 100000 | sed 's/77/seventy-seven/' > new.txt
code 0 "$V" diff "$N" new.txt -o p.pch --level 6
code 0 "$V" apply "$N" p.pch -o rebuilt.txt
same rebuilt.txt new.txt
cp new.txt full.txt
code 0 "$V" diff new.txt "$N" -o back.pch --level 6
(trap '' XFSZ; ulimit -f 64; "$V" apply full.txt back.pch -o full.txt) 2> err.txt && fail "an apply on a full disk"
same full.txt new.txt
[ -z "$(ls full.txt?* 2> /dev/null)" ] || fail "a failed apply left $(ls full.txt?*)"
code 0 "$V" apply full.txt back.pch -o full.txt
same full.txt "$N"
code 1 "$V" apply tree/empty.txt p.pch -o wrong.txt
absent wrong.txt
truncate -s 2G huge.bin
code 1 "$V" diff huge.bin new.txt -o huge.pch
said err.txt "'huge.bin' is too large"
rm huge.bin

# An entry that fills the disk: -3, named, and its part removed.
mkdir zeros
head -c 1000000 /dev/zero > zeros/z.bin
code 0 "$V" pack zeros -o z.vhz
(trap '' XFSZ; ulimit -f 64; "$V" extract z.vhz -C z) 2> err.txt
said err.txt "z.bin'\) \(code -3\)$"
empty z

# Every level --help offers is taken by pack and diff, the first past each end
# refused; a pass phrase must be given again to read what it scrambled.
mkdir lv
seq 1 3000 > lv/a.txt
seq 2 3001 > b.txt
for l in $(seq 0 13); do
  code 0 "$V" pack lv -o l.vhz --level $l
  code 0 "$V" extract l.vhz -C "l$l"
  diff -r lv "l$l" || fail "pack $l"
  code 0 "$V" diff lv/a.txt b.txt -o l.pch --level=$l
  code 0 "$V" apply lv/a.txt l.pch -o l.txt
  same l.txt b.txt
done
for l in -1 14; do
  code 2 "$V" pack lv -o o.vhz --level=$l
  code 2 "$V" diff lv/a.txt b.txt -o o.pch --level $l
  said err.txt '--level takes a number from 0 to 13'
  absent o.vhz
  absent o.pch
done
code 0 "$V" pack lv -o p.vhz --pass-phrase 'a b'
code 1 "$V" verify p.vhz
code 0 "$V" verify p.vhz --pass-phrase 'a b'
code 0 "$V" extract p.vhz -C p --pass-phrase='a b'

# Only plain files and folders are packed: a pipe would be waited on for ever,
# a link out of the tree would bring in any file.
mkdir -p linked/in
printf 'in' > linked/in/a.txt
ln -s in/a.txt linked/alias.txt
code 0 "$V" pack linked -o linked.vhz
for hostile in "ln -s $W/new.txt linked/out.txt" "ln -s .. linked/in/up" "mkfifo linked/pipe"; do
  $hostile || fail "$hostile"
  code 1 timeout 20 "$V" pack linked -o hostile.vhz
  said err.txt "${hostile##*/}'"
  absent hostile.vhz
  rm -f "${hostile##* }"
done
echo "vhzip command line: all checks passed"
