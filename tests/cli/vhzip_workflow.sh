#!/bin/sh
# vhzip_workflow.sh VHZIP WORKDIR
# The packer as a user drives it: pack, list, bundle, diff and apply, with the
# exit codes and messages for bad data.
set -u
V=$1
W=$2
fail() { echo "FAIL: $*" >&2; exit 1; }
rm -rf "$W"
mkdir -p "$W/tree/sub dir/deeper" || fail "cannot make $W"
cd "$W" || fail "cannot enter $W"

printf 'hello' > tree/a.txt
seq 1 100000 > "tree/sub dir/numbers.txt"
: > "tree/sub dir/deeper/empty.dat"
touch -d '2021-03-04 05:06:08' tree/a.txt
chmod a-w tree/a.txt

"$V" pack tree -o t.vhz || fail "pack"
"$V" pack tree -o t2.vhz || fail "second pack"
cmp -s t.vhz t2.vhz || fail "two packs of one tree differ"

"$V" list t.vhz > list.txt || fail "list"
cat list.txt
grep -Eq '^ +5  R---  2021-03-04 05:06:08 +[0-9]+  a\.txt$' list.txt || fail "a.txt listed wrongly"
grep -Eq '^ +588895  ---A  .*  sub dir\\numbers\.txt$' list.txt || fail "numbers.txt listed wrongly"
grep -Eq '^ +0  ---A  .* +4  sub dir\\deeper\\empty\.dat$' list.txt || fail "empty file listed wrongly"
grep -Eq ' 3 entries ' list.txt || fail "entry count"

printf 'MZ this stands in for the setup program' > stub.exe
"$V" bundle stub.exe t.vhz -o setup.exe || fail "bundle"
"$V" list setup.exe | cmp -s - list.txt || fail "the setup's listing differs from the archive's"
"$V" bundle setup.exe t.vhz -o twice.exe 2> err.txt
[ $? -eq 1 ] || fail "bundling a bundled stub must exit 1"
grep -q 'already contains the payload marker' err.txt || fail "message for a bundled stub"
[ ! -e twice.exe ] || fail "a refused bundle wrote its output"

# Names reach the terminal escaped; an archive whose check value fails is
# listed as far as it can be read, and the exit code says it failed.
mkdir -p odd && printf x > "odd/esc$(printf '\033')[31mred" && printf y > "odd/two
lines"
"$V" pack odd -o odd.vhz || fail "pack odd names"
"$V" list odd.vhz > list2.txt || fail "list odd names"
grep -Fq 'esc\x1B[31mred' list2.txt && grep -Fq 'two\x0Alines' list2.txt || fail "names not escaped: $(cat list2.txt)"
grep -q "$(printf '\033')" list2.txt && fail "a raw escape character reached the listing"
size=$(stat -c %s odd.vhz)
printf '\377' | dd of=odd.vhz bs=1 seek=$((size - 1)) conv=notrunc 2>/dev/null
"$V" list odd.vhz > list2.txt 2> err.txt
[ $? -eq 1 ] || fail "listing an archive whose check value fails must exit 1"
grep -q ' 2 entries ' list2.txt || fail "what could be read was not listed"
grep -q 'check value does not match' err.txt || fail "message for a failed check value"

head -c 1000 t.vhz > cut.vhz
"$V" list cut.vhz 2> err.txt
[ $? -eq 1 ] || fail "listing a damaged archive must exit 1"
grep -q 'check value does not match' err.txt || fail "message for a damaged archive"

seq 1 100000 | sed 's/77/seventy-seven/' > new.txt
"$V" diff "tree/sub dir/numbers.txt" new.txt -o p.pch --level 6 || fail "diff"
"$V" apply "tree/sub dir/numbers.txt" p.pch -o out.txt || fail "apply"
cmp -s out.txt new.txt || fail "apply did not rebuild NEW"
cp new.txt inplace.txt
"$V" diff new.txt "tree/sub dir/numbers.txt" -o back.pch --level 6 || fail "diff back"
"$V" apply inplace.txt back.pch -o inplace.txt || fail "apply onto its own base"
cmp -s inplace.txt "tree/sub dir/numbers.txt" || fail "in-place apply"

# In place on a full disk (the file size limit): the base stays whole.
cp new.txt full.txt
(trap '' XFSZ; ulimit -f 64; "$V" apply full.txt back.pch -o full.txt) 2> err.txt
[ $? -eq 1 ] || fail "an apply that cannot write must exit 1"
cmp -s full.txt new.txt || fail "a failed in-place apply lost its base"
[ -z "$(ls full.txt?* 2> /dev/null)" ] || fail "a failed apply left its temporary file"

"$V" apply tree/a.txt p.pch -o wrong.txt 2> err.txt
[ $? -eq 1 ] || fail "applying to the wrong base must exit 1"
grep -Eq '\(code -[1-5]\)$' err.txt || fail "decoder failure without its code"
[ ! -e wrong.txt ] || fail "a failed apply wrote its output"

for c in pack bundle list diff apply extract verify; do
  "$V" $c --help | grep -q "^Usage: vhzip $c" || fail "$c --help"
done
"$V" pack tree 2> err.txt
[ $? -eq 2 ] || fail "pack without -o must exit 2"
grep -q 'missing -o ARCHIVE' err.txt || fail "message for a missing -o"
"$V" apply a b -o c --frobnicate 1 2> /dev/null
[ $? -eq 2 ] || fail "an unknown option must exit 2"
"$V" pack no-such-folder -o x.vhz 2> err.txt
[ $? -eq 1 ] || fail "packing a missing folder must exit 1"
# Only plain files and folders: a pipe would be waited on for ever, a link out
# of the tree would bring in any file; a link inside the tree is packed.
mkdir -p linked/in && printf 'inside' > linked/in/a.txt && ln -s in/a.txt linked/alias.txt
"$V" pack linked -o linked.vhz && "$V" list linked.vhz | grep -q 'alias\.txt$' || fail "a link inside the tree"
for hostile in "ln -s $W/new.txt linked/out.txt" "ln -s .. linked/in/up" "mkfifo linked/pipe"; do
  $hostile || fail "$hostile"
  path=${hostile##* }
  timeout 20 "$V" pack linked -o hostile.vhz 2> err.txt
  [ $? -eq 1 ] || fail "pack beside '$hostile' must exit 1"
  grep -Fq "${path##*/}'" err.txt || fail "the message does not name $path: $(cat err.txt)"
  [ ! -e hostile.vhz ] || fail "a refused pack wrote its output"
  rm -f "$path"
done
# A file no archive field can describe (sparse: takes no disk space).
truncate -s 2G huge.bin || fail "cannot make a sparse file"
"$V" diff huge.bin new.txt -o huge.pch 2> err.txt
[ $? -eq 1 ] || fail "a base of 2 GiB must exit 1"
grep -q "'huge.bin' is too large" err.txt || fail "message for a base of 2 GiB"
[ ! -e huge.pch ] || fail "a refused diff wrote its output"
rm -f huge.bin
echo "vhzip workflow: all checks passed"
