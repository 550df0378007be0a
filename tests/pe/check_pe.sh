#!/bin/sh
# check_pe.sh EXE "FILE-DESCRIPTION" OBJDUMP
# The executable has the expected PE format and imports only system libraries
# that every Windows has (nothing that must be shipped beside the setup).
exe=$1; expected=$2; objdump=$3
desc=$(file -b "$exe")
echo "file: $desc"
case "$desc" in
  "$expected"*) ;;
  *) echo "expected a '$expected', got '$desc'" >&2; exit 1 ;;
esac
dlls=$("$objdump" -p "$exe" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z' | sort -u)
echo "imports:" $dlls
bad=0
for dll in $dlls; do
  case "$dll" in
    kernel32.dll|user32.dll|gdi32.dll|advapi32.dll|shell32.dll|ole32.dll|oleaut32.dll|msvcrt.dll) ;;
    *) echo "imports a library that is not always present: $dll" >&2; bad=1 ;;
  esac
done
exit $bad
