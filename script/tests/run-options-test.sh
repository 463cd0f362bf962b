#!/usr/bin/env bash
# script/run's command line, read as script/run reads it: the paths a user
# types reach the bench player from the folder they were typed in (the
# player runs elsewhere, under Wine), and an option without its value stops
# script/run before anything is built.
set -u
. "$(dirname "$0")/../lib/run-options.sh"
failed=0
fail() { echo "FAIL: $*"; failed=1; }

typed=$(mktemp -d)
trap 'rm -rf "$typed"' EXIT
cd "$typed"

nightcap_run_options --script --playlist my.m3u --speed 20 --shots shots --home ../away --plugin 'C:\Winamp\Plugins\gen_Nightcap.dll' \
  --idle-shot /tmp/idle.bmp
[ "$scripted" = 1 ] || fail "--script was not taken"
[ "$shots" = "$typed/shots" ] || fail "--shots: $shots"
wanted=(--playlist "Z:$typed/my.m3u" --speed 20 --home "Z:$(dirname "$typed")/away"
  --plugin 'C:\Winamp\Plugins\gen_Nightcap.dll' --idle-shot Z:/tmp/idle.bmp)
[ "${args[*]}" = "${wanted[*]}" ] || fail "to the bench player: ${args[*]}"

if (nightcap_run_options --speed 20 --playlist 2>/dev/null); then
  fail "--playlist without a file was taken"
fi

[ $failed -eq 0 ] && echo "script/run's options: ok"
exit $failed
