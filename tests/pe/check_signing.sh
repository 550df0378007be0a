#!/bin/sh
# check_signing.sh VHZIP SETUP STUB ARCHIVE PACKED OUT
# The release pipeline on the built setup: signed with a throwaway key and
# certificate made here, the signature verifies and the payload still reads
# and extracts whole (OUT/TrawlixSetup.exe is the signed setup the scenarios
# install); a byte changed inside the payload breaks both the signature and
# the archive's check; a setup bundled to an unaligned length and then signed
# is named as such. Needs openssl and osslsigncode (scripts/bootstrap).
set -u
vhzip=$1 setup=$2 stub=$3 archive=$4 packed=$5 out=$6
fails=0
fail() { echo "FAILED: $*"; fails=$((fails + 1)); }
rm -rf "$out" && mkdir -p "$out" || exit 1
cd "$out" || exit 1

# The certificate table's file offset, from the image's security entry.
table_offset() {
  pe=$(od -An -tu4 -j60 -N4 "$1" | tr -d ' ')
  magic=$(od -An -tx2 -j$((pe + 24)) -N2 "$1" | tr -d ' ')
  entry=$((pe + 24 + 128))  # PE32: the fifth directory entry
  [ "$magic" = 020b ] && entry=$((pe + 24 + 144))
  od -An -tu4 -j$entry -N4 "$1" | tr -d ' '
}
sign() {
  osslsigncode sign -certs cert.pem -key key.pem -n "Trawlmark 5.3 Setup" -h sha256 -in "$1" -out "$2" >sign.log 2>&1 ||
    { cat sign.log; fail "osslsigncode could not sign $1"; }
}

openssl req -x509 -newkey rsa:2048 -nodes -days 2 -keyout key.pem -out cert.pem \
  -subj "/CN=Varnholt Technologies test signing" -addext "extendedKeyUsage=codeSigning" \
  -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,digitalSignature,keyCertSign" \
  >openssl.log 2>&1 || { cat openssl.log; echo "FAILED: no throwaway certificate"; exit 1; }

# Signed as built: no padding between the archive and the certificate table.
size=$(wc -c <"$setup")
[ $((size % 8)) -eq 0 ] || fail "the bundled setup is $size bytes long, not a multiple of 8"
sign "$setup" TrawlixSetup.exe
[ "$(table_offset TrawlixSetup.exe)" = "$size" ] ||
  fail "the certificate table starts at $(table_offset TrawlixSetup.exe), not right after the archive ($size)"
osslsigncode verify -CAfile cert.pem -in TrawlixSetup.exe >verify.log 2>&1 || { cat verify.log; fail "the signature does not verify"; }
"$vhzip" verify TrawlixSetup.exe || fail "vhzip verify refuses the signed setup"
"$vhzip" list TrawlixSetup.exe >list.txt || fail "vhzip list refuses the signed setup"
"$vhzip" extract TrawlixSetup.exe -C extracted >/dev/null && diff -r "$packed" extracted ||
  fail "the signed setup's payload does not extract to the packed tree"

# One byte changed inside the payload, before the certificate table: all its
# bits flipped, so that it differs whatever the build put there.
cp TrawlixSetup.exe damaged.exe
at=$(($(table_offset damaged.exe) - 5000))
byte=$(od -An -tu1 -j$at -N1 damaged.exe | tr -d ' ')
printf "\\$(printf '%03o' $((byte ^ 255)))" | dd of=damaged.exe bs=1 seek=$at conv=notrunc status=none
cmp -s damaged.exe TrawlixSetup.exe && fail "the damaged copy is no different"
osslsigncode verify -CAfile cert.pem -in damaged.exe >damaged.log 2>&1 && fail "the damaged setup's signature verifies"
"$vhzip" verify damaged.exe 2>damaged.txt && fail "vhzip verify takes the damaged setup"
grep -q 'code -5' damaged.txt || { cat damaged.txt; fail "the damaged setup is not reported as a failed check"; }

# Bundled without the alignment (one byte more before the marker than the
# packer puts there), then signed: the signing tool's padding ends up inside
# the archive as read, and vhzip says what happened.
pad=$((size - $(wc -c <"$stub") - $(wc -c <"$archive") - 24 + 1))
{ cat "$stub"; head -c $pad /dev/zero; printf '<VHZIP FILE BEGINS HERE>'; cat "$archive"; } >unaligned.exe
"$vhzip" verify unaligned.exe >/dev/null || fail "the unaligned bundle does not verify before signing"
sign unaligned.exe unaligned-signed.exe
"$vhzip" verify unaligned-signed.exe 2>unaligned.txt && fail "vhzip verify takes the unaligned signed setup"
grep -q 'signed after an unaligned bundle: re-bundle with this vhzip' unaligned.txt ||
  { cat unaligned.txt; fail "vhzip verify does not name the unaligned bundle"; }

[ $fails -eq 0 ] && echo "signed setup: signature verified, payload whole; a changed byte and an unaligned bundle refused"
exit $fails
