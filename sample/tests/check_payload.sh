#!/bin/sh
# check_payload.sh PAYLOAD SOURCES "PE32[+] executable" CPU OBJDUMP CHECK_PE
# The staged payload tree is what the packer will take: exactly the expected
# files at their installation names (their contents are read under Wine), and
# Windows programs of this build's kind that import only system libraries. The
# programs the delta patches make lie beside it, the main program there a later
# build than the payload's.
payload=$1; sources=$2; machine=$3; cpu=$4; objdump=$5; check_pe=$6
fail=0
problem() { echo "payload: $*" >&2; fail=1; }

expected_payload='Filters/AuxFiles/mkphelp.ini
Filters/Gridor.dll
Filters/Gridor.ini
Filters/Markup.ini
Filters/Slidor.dll
Filters/Slidor.ini
Filters/Textor.dll
Filters/Textor.ini
Help/Contents.txt
Language/Chinese Simplified(GB2312).TWL
Language/Dutch.TWL
Language/English.TWL
Language/Flags/Chinese Simplified(GB2312).ico
Language/German.TWL
Language/User Defined(Other).TWL
License.txt
QBox.exe
Queries/NONAME.TWX
TWXData/Entry.db
TWXData/Set.db
Trawlix.exe
renew.dat
uninst.exe'
expected_sources='Help/TWXHelp.exe
SrchCfg.exe
Trawlix.exe'

list() { (cd "$1" && find . -type f | sed 's|^\./||' | LC_ALL=C sort); }
[ "$(list "$payload")" = "$(printf '%s\n' "$expected_payload" | LC_ALL=C sort)" ] ||
  { problem "files differ from the expected tree:"; list "$payload" >&2; }
[ "$(list "$sources")" = "$(printf '%s\n' "$expected_sources" | LC_ALL=C sort)" ] ||
  { problem "patch sources differ:"; list "$sources" >&2; }

for exe in "$payload/Trawlix.exe" "$payload/QBox.exe" "$payload/uninst.exe" "$sources/Trawlix.exe" \
           "$sources/SrchCfg.exe" "$sources/Help/TWXHelp.exe"; do
  sh "$check_pe" "$exe" "$machine (GUI) $cpu" "$objdump" >/dev/null || problem "$exe: wrong kind or imports"
done
for dll in Textor Slidor Gridor; do
  sh "$check_pe" "$payload/Filters/$dll.dll" "$machine (DLL) (GUI) $cpu" "$objdump" >/dev/null ||
    problem "$dll.dll: wrong kind or imports"
  "$objdump" -p "$payload/Filters/$dll.dll" | grep -q 'TWXFilterName$' || problem "$dll.dll lacks its export"
done

# The base of the patches is the pre-release build; the release replaces it.
cmp -s "$payload/Trawlix.exe" "$sources/Trawlix.exe" && problem "payload and release Trawlix.exe are the same"
grep -q 'Trawlmark 5.3 pre-release' "$payload/Trawlix.exe" || problem "payload Trawlix.exe is not the pre-release"
grep -q 'Trawlmark 5.3 pre-release' "$sources/Trawlix.exe" && problem "release Trawlix.exe is the pre-release"

[ $fail -eq 0 ] && echo "payload tree as expected: $(list "$payload" | wc -l) files, $(du -sk "$payload" | cut -f1) KB"
exit $fail
