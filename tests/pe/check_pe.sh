#!/bin/sh
# check_pe.sh EXE "FILE-DESCRIPTION" OBJDUMP FUNCTION... -- RUNTIME-LIBRARY...
# The executable has the expected PE format and imports only system libraries
# that every Windows has (nothing that must be shipped beside the setup). It
# links the code that needs each FUNCTION (so the check of its import table
# covers what the setup really uses), and names each RUNTIME-LIBRARY only as a
# string for loading at run time, never in its import table.
exe=$1; expected=$2; objdump=$3; shift 3
desc=$(file -b "$exe")
case "$desc" in
  "$expected"*) ;;
  *) echo "expected a '$expected', got '$desc'" >&2; exit 1 ;;
esac
table=$("$objdump" -p "$exe") || exit 1
bad=0
for dll in $(printf '%s\n' "$table" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z' | sort -u); do
  case "$dll" in
    kernel32.dll|user32.dll|gdi32.dll|advapi32.dll|shell32.dll|ole32.dll|oleaut32.dll|msvcrt.dll) ;;
    *) echo "imports a library that is not always present: $dll" >&2; bad=1 ;;
  esac
done
while [ $# -gt 0 ] && [ "$1" != "--" ]; do
  printf '%s\n' "$table" | grep -Eq "^[[:space:]]+[0-9a-f]+[[:space:]]+[0-9]+[[:space:]]+$1\$" ||
    { echo "does not import $1: is the code that needs it linked?" >&2; bad=1; }
  shift
done
[ "${1:-}" = "--" ] && shift
for library in "$@"; do
  if printf '%s\n' "$table" | grep -iq "DLL Name: $library\$"; then
    echo "$library is in the import table; load it from the system folder at run time" >&2; bad=1
  elif ! grep -aq "$library" "$exe"; then
    echo "$library is not mentioned at all: is the code that loads it linked?" >&2; bad=1
  fi
done
exit $bad
