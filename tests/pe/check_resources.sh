#!/bin/sh
# check_resources.sh EXE OBJDUMP EXPECTED
# The executable carries every resource named in EXPECTED (lines "TYPE NAME",
# types and numeric names in decimal), read from its resource directory. This
# checks the build that cannot run here as well as the one that can.
exe=$1; objdump=$2; expected=$3
# objdump indents the directory by level: 3 blanks for a type, 5 for a name.
found=$("$objdump" -p "$exe" | sed -n '/The .rsrc Resource Directory section/,/^$/p' |
  sed -n -e 's/^[0-9a-f]*   Entry: ID: 0x\([0-9a-f]*\),.*/T \1/p' \
         -e 's/^[0-9a-f]*   Entry: name: \[[^]]*\]: \([^,]*\),.*/T \1/p' \
         -e 's/^[0-9a-f]*     Entry: ID: 0x\([0-9a-f]*\),.*/N \1/p' \
         -e 's/^[0-9a-f]*     Entry: name: \[[^]]*\]: \([^,]*\),.*/N \1/p' |
  while read -r level value; do
    case "$value" in
      *[!0-9a-f]*) ;;
      *) value=$((0x$value)) ;;
    esac
    if [ "$level" = T ]; then type=$value; else echo "$type $value"; fi
  done)
if [ -z "$found" ]; then
  echo "no resource directory in $exe" >&2
  exit 1
fi
missing=0
while read -r type name; do
  case "$type" in ''|'#'*) continue ;; esac
  if ! printf '%s\n' "$found" | grep -qx "$type $name"; then
    echo "missing resource: type $type, name $name" >&2
    missing=$((missing + 1))
  fi
done <"$expected"
echo "resources: $(printf '%s\n' "$found" | wc -l) found, $missing missing"
[ $missing -eq 0 ]
