#!/usr/bin/env bash
# The zip for installing by hand: exactly the module, the readme and the
# license, the texts named for the plug-in so that they clobber nothing in
# the player's Plugins folder; the module as built, the texts with CRLF line
# ends for Notepad, the readme naming its version. Then both release files
# made again from their sources copied to a folder whose name is not ASCII
# (makensis once refused such paths): the same bytes.
#   zip-test.sh ZIP SETUP MODULE VERSION VERSION_FULL
set -u
zip=$1 setup=$2 module=$3 version=$4 versionFull=$5
root=$(cd "$(dirname "$0")/../.." && pwd)
failed=0
fail() { echo "FAIL: $*"; failed=1; }

names=$(unzip -Z1 "$zip" | LC_ALL=C sort | tr '\n' ' ')
[ "$names" = "Nightcap-license.txt Nightcap-readme.txt gen_Nightcap.dll " ] || fail "the zip holds: $names"
cmp -s <(unzip -p "$zip" gen_Nightcap.dll) "$module" || fail "its gen_Nightcap.dll is not the built module"
for text in Nightcap-readme.txt Nightcap-license.txt; do
  lines=$(unzip -p "$zip" "$text" | wc -l)
  crlf=$(unzip -p "$zip" "$text" | grep -c $'\r$')
  (( lines > 10 && crlf == lines )) || fail "$text: $lines lines, $crlf of them ending in CRLF"
done
readme=$(unzip -p "$zip" Nightcap-readme.txt | tr -d '\r')
grep -qxF "Version $version (gen_Nightcap.dll $versionFull)" <<<"$readme" || fail "the readme does not name its version"
! grep -q '@[A-Z_]*@' <<<"$readme" || fail "the readme keeps a placeholder: $(grep -m1 '@[A-Z_]*@' <<<"$readme")"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
copy="$work/Schlafmütze ナイトキャップ"
mkdir -p "$copy/installer"
cp "$root"/installer/{make-release.sh,commit-date.sh,Nightcap.nsi,readme.txt} "$copy/installer/"
cp "$root/LICENSE" "$copy/"
cp "$module" "$copy/gen_Nightcap.dll"
# Dated as the build dated its own files: its staged copies carry the date.
epoch=$(stat -c %Y "$(dirname "$zip")/stage/gen_Nightcap.dll")
if SOURCE_DATE_EPOCH=$epoch bash "$copy/installer/make-release.sh" "$copy/gen_Nightcap.dll" "$version" \
    "$versionFull" "$copy/out" >"$work/log" 2>&1; then
  for file in "$zip" "$setup"; do
    cmp -s "$file" "$copy/out/$(basename "$file")" || fail "$(basename "$file") differs when made from $copy"
  done
else
  fail "the release script failed in $copy: $(tail -n 3 "$work/log")"
fi

[ $failed -eq 0 ] && echo "1 passed, 0 failed" || echo "0 passed, 1 failed"
exit $failed
