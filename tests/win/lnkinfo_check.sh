#!/bin/sh
# lnkinfo_check.sh RUN TWXMKLNK OUT-FOLDER
# A shortcut written by the setup's code under Wine, read on the host by
# Debian's lnkinfo: target, description and working folder; and the hot-key
# word at offset 0x40 of the file (which lnkinfo does not show).
set -u
run=$1; maker=$2; out=$3
rm -rf "$out"
mkdir -p "$out/App" || exit 1
: >"$out/App/Trawlix.exe"
# Wine's drive Z: is the host's root.
win_out="Z:$(printf '%s' "$out" | tr '/' '\\')"
"$run" "$maker" "$win_out\\App\\Trawlix.exe" "$win_out" Trawlix 0x0673
rc=$?
[ $rc -eq 77 ] && exit 77  # this machine cannot run the build's programs: skipped
[ $rc -eq 0 ] || { echo "twxmklnk failed" >&2; exit 1; }
lnk="$out/Trawlix.lnk"
[ -f "$lnk" ] || { echo "no $lnk" >&2; exit 1; }
lnkinfo "$lnk" >"$out/lnkinfo.txt" 2>&1 || { cat "$out/lnkinfo.txt" >&2; exit 1; }
field() { sed -n "s/^[[:space:]]*$1[[:space:]]*: //p" "$out/lnkinfo.txt" | head -n 1; }
bad=0
expect() {
  # printf, not echo: the paths are full of backslashes.
  if [ "$2" = "$3" ]; then printf 'ok: %s = %s\n' "$1" "$2"
  else printf "%s: expected '%s', got '%s'\n" "$1" "$3" "$2" >&2; bad=1; fi
}
expect "Local path" "$(field 'Local path')" "$win_out\\App\\Trawlix.exe"
expect "Description" "$(field 'Description')" "Trawlix"
expect "Working directory" "$(field 'Working directory')" "$win_out\\App"
expect "hot-key word" "$(od -An -tx2 -j64 -N2 "$lnk" | tr -d ' ')" "0673"
exit $bad
