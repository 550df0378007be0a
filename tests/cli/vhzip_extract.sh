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

# Hostile destinations: a link at the temporary archive's name, symbolic or
# hard, never carries the archive out of DIR, and FILE is never the temporary
# file itself, by its name or through a link.
printf 'keep' > outside.txt
for kind in -s -P; do
  rm -rf planted && mkdir planted
  ln $kind "$W/outside.txt" "planted/tempfile.\$\$\$" || fail "ln $kind"
  "$V" extract t.vhz -C planted || fail "extract over a planted link ($kind)"
  [ "$(cat outside.txt)" = keep ] || fail "the temporary archive went through a link ($kind)"
  diff -r tree planted || fail "tree beside a planted link ($kind)"
done
rm -rf self && mkdir self && cp t.vhz "self/tempfile.\$\$\$" && cp t.vhz t.copy
"$V" extract "self/tempfile.\$\$\$" -C self 2> err.txt
[ $? -eq 2 ] || fail "extracting the temporary file itself must exit 2"
cmp -s t.vhz "self/tempfile.\$\$\$" || fail "FILE was changed"
rm -f "self/tempfile.\$\$\$" && ln -s "$W/t.vhz" "self/tempfile.\$\$\$"
"$V" extract t.vhz -C self 2> err.txt
[ $? -eq 2 ] || fail "extracting through a link to FILE must exit 2"
cmp -s t.vhz t.copy || fail "FILE was changed through the link"

# A short relative DIR, a FILE from before 1980; FILE must be a plain file, and
# a large file that holds no archive is refused before it is copied (the file
# size limit would stop a copy).
rm -rf d && "$V" extract t.vhz -C d && diff -r tree d || fail "extract into a short relative DIR"
cp t.vhz old.vhz && touch -d '1975-06-01' old.vhz
"$V" verify old.vhz > /dev/null || fail "a FILE from before 1980"
mkfifo fifo || fail "mkfifo"
for c in list verify "extract -C f"; do
  timeout 20 "$V" $c fifo 2> err.txt
  [ $? -eq 1 ] || fail "$c of a pipe must exit 1"
  grep -q "'fifo' is not a regular file" err.txt || fail "message for a pipe: $(cat err.txt)"
done
truncate -s 1G sparse.bin || fail "truncate"
(trap '' XFSZ; ulimit -f 2048; "$V" extract sparse.bin -C sparse) 2> err.txt
[ $? -eq 1 ] || fail "a large file without an archive must exit 1"
grep -q '(code -5)$' err.txt || fail "message for a large file without an archive: $(cat err.txt)"
[ -z "$(ls sparse)" ] || fail "a file without an archive left something behind"
rm -f sparse.bin

# The failure names the entry that failed, and bundle refuses such a name.
mkdir -p evil && printf ok > evil/a.txt && printf x > evil/CON
"$V" pack evil -o evil.vhz || fail "pack evil"
rm -rf e && "$V" extract evil.vhz -C e 2> err.txt
[ $? -eq 1 ] || fail "an unsafe name must exit 1"
grep -Fq "CON') (code -6)" err.txt || fail "the failing entry is not named: $(cat err.txt)"
"$V" bundle stub.exe evil.vhz -o evil.exe 2> err.txt
[ $? -eq 1 ] || fail "bundle must refuse an unsafe name"

"$V" extract 2> /dev/null
[ $? -eq 2 ] || fail "extract without FILE must exit 2"
"$V" extract t.vhz 2> err.txt
[ $? -eq 2 ] || fail "extract without -C must exit 2"
"$V" extract missing.vhz -C x 2> err.txt
[ $? -eq 1 ] || fail "extract of a missing file must exit 1"
echo "vhzip extract and verify: all checks passed"
