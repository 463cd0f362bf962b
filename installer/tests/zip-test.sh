#!/usr/bin/env bash
# The zip for installing by hand: exactly the module, the readme and the
# license; the module as built, the texts with CRLF line ends for Notepad.
#   zip-test.sh ZIP MODULE
set -u
zip=$1 module=$2
failed=0
fail() { echo "FAIL: $*"; failed=1; }

names=$(unzip -Z1 "$zip" | sort | tr '\n' ' ')
[ "$names" = "gen_Nightcap.dll license.txt readme.txt " ] || fail "the zip holds: $names"
cmp -s <(unzip -p "$zip" gen_Nightcap.dll) "$module" || fail "its gen_Nightcap.dll is not the built module"
for text in readme.txt license.txt; do
  lines=$(unzip -p "$zip" "$text" | wc -l)
  crlf=$(unzip -p "$zip" "$text" | grep -c $'\r$')
  (( lines > 10 && crlf == lines )) || fail "$text: $lines lines, $crlf of them ending in CRLF"
done

[ $failed -eq 0 ] && echo "1 passed, 0 failed" || echo "0 passed, 1 failed"
exit $failed
