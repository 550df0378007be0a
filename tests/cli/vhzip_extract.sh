#!/bin/sh
# vhzip_extract.sh VHZIP WORKDIR
# Extraction and verification from the command line, with the setup's code: a
# packed tree comes back byte for byte with its times and read-only state, the
# input file is never consumed, and every failure ends with its result code.
set -u
V=$1
W=$2
fail() { echo "FAIL: $*" >&2; exit 1; }
rm -rf "$W"
mkdir -p "$W/tree/Help/Deep" "$W/tree/Language" || fail "cannot make $W"
cd "$W" || fail "cannot enter $W"

printf 'Trawlmark Query Folder\r\n' > tree/NONAME.TWX
head -c 3000000 /dev/urandom > tree/Help/Deep/big.bin     # more than one block
seq 1 200000 > "tree/Language/User Defined(Other).TWL"
: > tree/empty.txt
touch -d '2019-12-31 23:59:58' tree/NONAME.TWX
chmod a-w tree/NONAME.TWX

"$V" pack tree -o t.vhz || fail "pack"
printf 'MZ stands in for the setup program' > stub.exe
"$V" bundle stub.exe t.vhz -o setup.exe || fail "bundle"

for input in t.vhz setup.exe; do
  rm -rf out
  "$V" extract "$input" -C out/new/folder || fail "extract $input"
  [ -f "$input" ] || fail "extract consumed $input"
  [ ! -e out/new/folder/tempfile.\$\$\$ ] || fail "temporary archive left behind"
  diff -r tree out/new/folder || fail "extracted tree of $input differs"
  [ "$(stat -c %Y tree/NONAME.TWX)" = "$(stat -c %Y out/new/folder/NONAME.TWX)" ] || fail "time stamp"
  [ -w out/new/folder/NONAME.TWX ] && [ "$(id -u)" != 0 ] && fail "read-only state lost"
  [ "$(stat -c %a out/new/folder/NONAME.TWX)" = "$(stat -c %a tree/NONAME.TWX)" ] || fail "mode"
  "$V" verify "$input" | grep -q 'every entry verified' || fail "verify $input"
done

# Extracting over an existing, read-only copy replaces it.
chmod u+w out/new/folder/NONAME.TWX && printf 'old' > out/new/folder/NONAME.TWX && chmod a-w out/new/folder/NONAME.TWX
"$V" extract t.vhz -C out/new/folder || fail "extract over a read-only file"
cmp -s tree/NONAME.TWX out/new/folder/NONAME.TWX || fail "read-only file not replaced"

# A damaged archive: the last body byte flipped.
size=$(stat -c %s t.vhz)
cp t.vhz bad.vhz
printf '\377' | dd of=bad.vhz bs=1 seek=$((size - 5)) conv=notrunc 2>/dev/null
cmp -s t.vhz bad.vhz && fail "the archive was not damaged"
rm -rf bad
"$V" extract bad.vhz -C bad 2> err.txt
[ $? -eq 1 ] || fail "extracting a damaged archive must exit 1"
grep -Eq 'damaged.*\(code -5\)$' err.txt || fail "message for a damaged archive: $(cat err.txt)"
[ -z "$(ls bad)" ] || fail "a damaged archive wrote files"
"$V" verify bad.vhz 2> err.txt
[ $? -eq 1 ] || fail "verifying a damaged archive must exit 1"
grep -q '(code -5)$' err.txt || fail "verify message"
[ -f bad.vhz ] || fail "verify consumed its input"

# A program without a payload: the whole file is taken as the archive and refused.
"$V" verify stub.exe 2> err.txt
[ $? -eq 1 ] || fail "a stub without payload must not verify"
grep -q '(code -5)$' err.txt || fail "stub message"

"$V" extract 2> /dev/null
[ $? -eq 2 ] || fail "extract without FILE must exit 2"
"$V" extract t.vhz 2> err.txt
[ $? -eq 2 ] || fail "extract without -C must exit 2"
"$V" extract missing.vhz -C x 2> err.txt
[ $? -eq 1 ] || fail "extract of a missing file must exit 1"
echo "vhzip extract and verify: all checks passed"
