#!/usr/bin/env bash
# The shipped module as a player on Windows XP SP3 or later would load it:
# only allow-listed imports, a Windows GUI DLL whose OS and subsystem
# versions XP accepts, ASLR and DEP, no thread-local data, one export by its
# undecorated name, and at most 64 KB once stripped.
set -u
module=$1 objdump=$2 strip=$3
allowList=$(dirname "$0")/module-imports.txt
failed=0
fail() { echo "FAIL: $*"; failed=1; }

headers=$("$objdump" -p "$module")
field() { printf '%s\n' "$headers" | sed -n "s/^$1\s\+//p" | head -n 1; }

# "DLL function" for every import.
imports=$(printf '%s\n' "$headers" | sed -n '/^The Import Tables/,/^The Export Tables/p' | while read -r a b c d; do
  if [ "$a $b" = "DLL Name:" ]; then dll=$c
  elif [ -n "${dll:-}" ] && [ -n "$c" ] && [ -z "$d" ] && [[ $a =~ ^[0-9a-f]+$ && $b =~ ^[0-9]+$ ]]; then echo "$dll $c"
  fi
done)
[ -n "$imports" ] || fail "no imports read from the module"
allowed=$(grep -vE '^\s*(#|$)' "$allowList")
while read -r import; do
  [ -z "$import" ] && continue
  grep -qxF "$import" <<<"$allowed" || fail "imports $import, which is not in $(basename "$allowList")"
done <<<"$imports"

[ "$(field Subsystem | awk '{print $1}')" = 00000002 ] || fail "not a Windows GUI module: $(field Subsystem)"
for kind in OSystem Subsystem; do
  version="$(field "Major${kind}Version").$(field "Minor${kind}Version")"
  [[ $version == 4.0 || $version == 5.1 ]] || fail "$kind version $version: Windows XP wants 4.0 or 5.1"
done

flags=$(field DllCharacteristics)
(( 0x$flags & 0x40 )) || fail "no ASLR (DYNAMIC_BASE) flag: $flags"
(( 0x$flags & 0x100 )) || fail "no DEP (NX_COMPAT) flag: $flags"

# The runtime's TLS directory may stay, inert: on XP a DLL loaded with
# LoadLibrary gets no TLS slot, so it must hold no thread-local variables.
# Its section then holds only the runtime's two one-word markers.
tls=$("$objdump" -h "$module" | awk '$2 == ".tls" { print $3 }')
[ -z "$tls" ] || (( 0x$tls <= 8 )) || fail "the module has $((0x$tls)) bytes of thread-local data"

exports=$(printf '%s\n' "$headers" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' | sed -n 's/^\s*\[ *[0-9]*\] //p')
[ "$exports" = "winampGetGeneralPurposePlugin" ] || fail "exports: $exports"

stripped=$(mktemp)
"$strip" -o "$stripped" "$module"
size=$(stat -c %s "$stripped")
rm -f "$stripped"
(( size <= 64 * 1024 )) || fail "stripped size $size bytes is over 64 KB"

echo "module: $(basename "$module"), stripped $size bytes, $(wc -l <<<"$imports") imports," \
  "DllCharacteristics $flags, exports $exports"
[ $failed -eq 0 ] && echo "1 passed, 0 failed" || echo "0 passed, 1 failed"
exit $failed
