#!/usr/bin/env bash
# Makes the release files from a built module: the installer and the zip.
#   make-release.sh MODULE VERSION VERSION_FULL OUTDIR
# The same module and sources always give the same bytes, wherever they lie:
# every file is dated SOURCE_DATE_EPOCH (by default the commit's time, from
# commit-date.sh), zipped in a fixed order without extra fields, in UTC.
set -euo pipefail
module=$1 version=$2 versionFull=$3 out=$4
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
# A UTF-8 locale, or makensis cannot take a path that is not ASCII; C.UTF-8
# comes with every Debian's C library.
export TZ=UTC LC_ALL=C.UTF-8
# A tree that cannot tell its commit's time only makes the tests' copies
# (script/package stops instead): 2026-01-01.
epoch=${SOURCE_DATE_EPOCH:-$(bash "$here/commit-date.sh" "$root" 2>/dev/null || echo 1767225600)}
export SOURCE_DATE_EPOCH=$epoch

stage=$out/stage
rm -rf "$stage"
mkdir -p "$stage"
cp "$module" "$stage/gen_Nightcap.dll"
# Text for Notepad: CRLF line ends. The texts carry the plug-in's name, so
# that unzipped into the player's Plugins folder they replace no other's;
# the readme gets the version it belongs to.
sed "s/@VERSION@/$version/g; s/@VERSION_FULL@/$versionFull/g; s/\$/\r/" \
  "$here/readme.txt" >"$stage/Nightcap-readme.txt"
sed 's/$/\r/' "$root/LICENSE" >"$stage/Nightcap-license.txt"
chmod 644 "$stage"/*
touch -d "@$epoch" "$stage"/*

setup=$out/Nightcap-$version-setup.exe
makensis -V2 -NOCD -DVERSION="$version" -DVERSION_FULL="$versionFull" -DSTAGE="$stage" \
  -DOUTFILE="$setup" "$here/Nightcap.nsi" >"$out/makensis.log" || { cat "$out/makensis.log" >&2; exit 1; }

zip=$out/Nightcap-$version.zip
rm -f "$zip"
(cd "$stage" && zip -q -X -D "$zip" gen_Nightcap.dll Nightcap-readme.txt Nightcap-license.txt)
