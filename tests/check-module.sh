#!/usr/bin/env bash
# The shipped module imports system DLLs only, stays small once stripped,
# carries the ASLR and DEP flags, and exports its one function by name.
set -u
module=$1 objdump=$2 strip=$3
failed=0
fail() { echo "FAIL: $*"; failed=1; }

headers=$("$objdump" -p "$module")

allowed='^(KERNEL32|USER32|ADVAPI32|GDI32|msvcrt|COMCTL32|SHELL32)\.dll$'
while read -r dll; do
  [[ $dll =~ $allowed ]] || fail "imports $dll"
done < <(printf '%s\n' "$headers" | sed -n 's/^\s*DLL Name: //p')

flags=$(printf '%s\n' "$headers" | sed -n 's/^DllCharacteristics\s*//p')
(( 0x$flags & 0x40 )) || fail "no ASLR (DYNAMIC_BASE) flag: $flags"
(( 0x$flags & 0x100 )) || fail "no DEP (NX_COMPAT) flag: $flags"

exports=$(printf '%s\n' "$headers" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' | sed -n 's/^\s*\[ *[0-9]*\] //p')
[ "$exports" = "winampGetGeneralPurposePlugin" ] || fail "exports: $exports"

stripped=$(mktemp)
"$strip" -o "$stripped" "$module"
size=$(stat -c %s "$stripped")
rm -f "$stripped"
(( size <= 150 * 1024 )) || fail "stripped size $size bytes is over 150 KB"

echo "module: $(basename "$module"), stripped $size bytes, DllCharacteristics $flags, exports $exports"
[ $failed -eq 0 ] && echo "1 passed, 0 failed" || echo "0 passed, 1 failed"
exit $failed
