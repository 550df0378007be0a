#!/bin/sh
# check_imports.sh EXE OBJDUMP FUNCTION... -- RUNTIME-LIBRARY...
# The setup links the code that needs each FUNCTION (so the check of its import
# table covers what the setup really uses), and names each RUNTIME-LIBRARY only
# as a string for loading at run time, never in its import table.
exe=$1; objdump=$2; shift 2
table=$("$objdump" -p "$exe") || exit 1
bad=0
while [ $# -gt 0 ] && [ "$1" != "--" ]; do
  if printf '%s\n' "$table" | grep -Eq "^[[:space:]]+[0-9a-f]+[[:space:]]+[0-9]+[[:space:]]+$1\$"; then
    echo "imports $1"
  else
    echo "does not import $1: is the code that needs it linked?" >&2; bad=1
  fi
  shift
done
[ "${1:-}" = "--" ] && shift
for library in "$@"; do
  if printf '%s\n' "$table" | grep -iq "DLL Name: $library\$"; then
    echo "$library is in the import table; load it from the system folder at run time" >&2; bad=1
  elif grep -aq "$library" "$exe"; then
    echo "loads $library at run time"
  else
    echo "$library is not mentioned at all: is the code that loads it linked?" >&2; bad=1
  fi
done
exit $bad
