#!/usr/bin/env bash
# The installer and its uninstaller as a listener's Windows runs them, in
# throw-away Wine prefixes: a copy of the build's (32-bit) one for the life
# of an installation, and a 64-bit one for the player's 64-bit uninstall
# entry. The player is the bench player, copied into a folder as winamp.exe.
#   installer-test.sh SETUP BENCH_PLAYER MODULE
set -u
setup=$1 bench=$2 module=$3
build=${NIGHTCAP_BUILD:?NIGHTCAP_BUILD must name the build folder}
. "$(dirname "$0")/../../script/lib/wine-env.sh"
template=$WINEPREFIX
mkdir -p "$build/installer/tests"
work=$(mktemp -d "$build/installer/tests/run.XXXXXX")
prefixes=()
finish() {
  local prefix
  for prefix in "${prefixes[@]}"; do
    WINEPREFIX=$prefix wineserver -k >/dev/null 2>&1
    WINEPREFIX=$prefix wineserver -w >/dev/null 2>&1
  done
  rm -rf "$work"
}
trap finish EXIT

passed=0 failed=0 caseFailed=0
fail() { echo "FAIL ($case): $*"; caseFailed=1; }
begin() { case=$1; caseFailed=0; }
end() { if [ $caseFailed -eq 0 ]; then passed=$((passed + 1)); echo "ok: $case"; else failed=$((failed + 1)); fi; }

use_prefix() {
  export WINEPREFIX=$1
  prefixes+=("$1")
  drive=$WINEPREFIX/drive_c
}
# Windows path -> the file in the prefix (C: only).
unix() { local p=${1#C:\\}; echo "$drive/${p//\\//}"; }
run() { wine "$@" </dev/null >>"$work/wine.log" 2>&1; }
# As run, with Wine's shell tracing what it is asked to start; the trace
# and the programs' own standard error go to $work/stderr.log.
traced() { WINEDEBUG=-all,trace+exec wine "$@" </dev/null >>"$work/wine.log" 2>"$work/stderr.log"; }
# The command lines the last traced run asked the shell to start for an
# administrator (the "runas" verb), one a line, as the copy receives them.
# Wine has no UAC: the copy runs with the same rights, which is how a test
# sees what was handed down.
handed_down() {
  sed -n 's/.*verb=L"runas" file=L"[^"]*" parm=L"\(.*\)" dir=.*/\1/p' "$work/stderr.log" | sed 's/\\"/"/g; s/\\\\/\\/g'
}
# What the last traced run wrote to standard error itself.
message() { grep -v '^[0-9a-f]*:\(trace\|fixme\|err\|warn\):' "$work/stderr.log" | tr -d '\r'; }
key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'
uninstall='Software\Microsoft\Windows\CurrentVersion\Uninstall'
# The Add/Remove Programs entries of Nightcap under HKCU or HKLM, a key a line.
entries() { wine reg query "$1\\$uninstall" 2>/dev/null | tr -d '\r' | sed -n 's/.*\\Uninstall\\\(Nightcap.*\)$/\1/p'; }
# ROOT KEY NAME: a value of one entry.
value() { wine reg query "$1\\$uninstall\\$2" /v "$3" 2>/dev/null | tr -d '\r' | sed -n "s/^ *$3 *REG_[A-Z_]* *//p"; }
# The HKCU entry whose InstallLocation is the folder.
entry_for() { local k; for k in $(entries HKCU); do [ "$(value HKCU "$k" InstallLocation)" = "$1" ] && echo "$k"; done; }
# A folder's files with their checksums, one a line, for before and after.
listing() { (cd "$1" && find . -type f -print0 | sort -z | xargs -0r md5sum; find . -type d | sort); }
make_player() { mkdir -p "$(unix "$1")" && cp "$bench" "$(unix "$1")/winamp.exe"; }

begin "the setup asks for no administrator itself"
# Its manifest: the listener's own rights (asInvoker), nothing more.
level=$(grep -ao 'requestedExecutionLevel level="[A-Za-z]*"' "$setup")
[ "$level" = 'requestedExecutionLevel level="asInvoker"' ] || fail "the manifest asks for: '$level'"
end

# --- 32-bit prefix: a whole installation, beginning to end -------------------
use_prefix "$work/prefix32"
cp -a "$template" "$WINEPREFIX"
player='C:\Music Players\Winamp'
make_player "$player"
plugins=$(unix "$player")/Plugins
run reg add "$key\\Winamp" /v UninstallString /d "\"$player\\UninstWA.exe\"" /f
before=$(listing "$(unix "$player")")
appdataWin=$(wine cmd /c echo %APPDATA% 2>/dev/null | tr -d '\r')
appdata=$(unix "$appdataWin")

begin "a folder without winamp.exe is refused, and standard error says why"
# Wine quotes an argument with spaces, and /D= must not be quoted.
mkdir -p "$drive/NotAPlayer"
traced "$setup" /S '/D=C:\NotAPlayer'
status=$?
[ $status -eq 2 ] || fail "the installer exited $status, not 2"
[[ "$(message)" == "There is no winamp.exe in C:\NotAPlayer, so nothing was installed."* ]] ||
  fail "the message: '$(message)'"
[ -z "$(ls -A "$drive/NotAPlayer")" ] || fail "it wrote into the folder: $(ls -A "$drive/NotAPlayer")"
[ -z "$(entries HKCU)$(entries HKLM)" ] || fail "it wrote an Add/Remove Programs entry"
end

begin "a quoted /D= is refused, not replaced by the player found"
# As a shell passes a folder with a blank; NSIS does not read it, and would
# install into the registered player instead.
other='C:\Other Players\Winamp'
make_player "$other"
traced "$setup" /S "/D=$other"
status=$?
[ $status -eq 4 ] || fail "the installer exited $status, not 4"
[[ "$(message)" == "The folder after /D= came in quotes"* ]] || fail "the message: '$(message)'"
[ ! -e "$plugins" ] && [ ! -e "$(unix "$other")/Plugins" ] || fail "it installed"
[ -z "$(entries HKCU)$(entries HKLM)" ] || fail "it wrote an Add/Remove Programs entry"
end

begin "a silent install finds the player and installs as the listener"
traced "$setup" /S
status=$?
[ $status -eq 0 ] || fail "the installer exited $status"
[ -z "$(handed_down)" ] || fail "it asked for an administrator: $(handed_down)"
cmp -s "$module" "$plugins/gen_Nightcap.dll" || fail "Plugins does not hold this build's module"
[ -f "$(unix "$player")/Uninstall Nightcap.exe" ] || fail "no uninstaller in the player's folder"
ours=$(entries HKCU)
[ "$(wc -w <<<"$ours")" -eq 1 ] || fail "entries under HKCU: '$ours'"
[ -z "$(entries HKLM)" ] || fail "an entry under HKLM: $(entries HKLM)"
[ "$(value HKCU "$ours" InstallLocation)" = "$player" ] || fail "InstallLocation: '$(value HKCU "$ours" InstallLocation)'"
[ "$(value HKCU "$ours" DisplayVersion)" = 2.0 ] || fail "DisplayVersion: '$(value HKCU "$ours" DisplayVersion)'"
[ "$(value HKCU "$ours" Publisher)" = "The Nightcap project" ] || fail "Publisher: '$(value HKCU "$ours" Publisher)'"
[ "$(value HKCU "$ours" DisplayName)" = "Nightcap 2.0 (Winamp plug-in)" ] || fail "DisplayName: '$(value HKCU "$ours" DisplayName)'"
size=$(( $(value HKCU "$ours" EstimatedSize) ))
(( size >= 25 && size < 1024 )) || fail "EstimatedSize: $size KB"
[ "$(value HKCU "$ours" UninstallString)" = "\"$player\\Uninstall Nightcap.exe\"" ] || fail "UninstallString: '$(value HKCU "$ours" UninstallString)'"
end

begin "the player loads the installed module and opens its dialog"
wine "$player\\winamp.exe" --script --simulated --plugin "$player\\Plugins\\gen_Nightcap.dll" --limit 60 \
  </dev/null >"$work/session.log" 2>&1
status=$?
[ $status -eq 0 ] || fail "the scripted session exited $status: $(tail -n 5 "$work/session.log")"
grep -qF "from $player\\Plugins\\gen_Nightcap.dll" "$work/session.log" || fail "it did not load the installed copy"
grep -qF "you: press \"start now\"" "$work/session.log" || fail "the dialog was not used"
[ -f "$plugins/gen_nightcap.dat" ] || fail "no settings were saved beside the installed module"
end
settings=$(md5sum <"$plugins/gen_nightcap.dat" 2>/dev/null)

begin "a reinstall over it works, keeps the settings and the one entry"
echo stale >"$plugins/gen_Nightcap.dll"
run "$setup" /S
status=$?
[ $status -eq 0 ] || fail "the installer exited $status"
cmp -s "$module" "$plugins/gen_Nightcap.dll" || fail "the module was not replaced"
[ "$(md5sum <"$plugins/gen_nightcap.dat")" = "$settings" ] || fail "the settings file changed"
[ "$(entries HKCU)" = "$ours" ] || fail "entries under HKCU: '$(entries HKCU)'"
end

begin "a silent install fails while the player has the module loaded"
cp "$module" "$work/module.copy"
wine "$player\\winamp.exe" --plugin "$player\\Plugins\\gen_Nightcap.dll" </dev/null >"$work/running.log" 2>&1 &
playerPid=$!
# Up to 20 s, longer where Wine runs on an emulated processor.
for _ in $(seq $((100 * ${NIGHTCAP_TIME_FACTOR:-1}))); do
  grep -q "pluginInit" "$work/running.log" && break
  sleep 0.2
done
if grep -q "pluginInit: ready" "$work/running.log"; then
  traced "$setup" /S
  status=$?
  [ $status -eq 3 ] || fail "the installer exited $status, not 3"
  [[ "$(message)" == "Winamp is running with Nightcap loaded, so"* ]] || fail "the message: '$(message)'"
  cmp -s "$work/module.copy" "$plugins/gen_Nightcap.dll" || fail "the loaded module was changed"
else
  fail "the player did not start: $(cat "$work/running.log")"
fi
wineserver -k >/dev/null 2>&1
wineserver -w >/dev/null 2>&1
wait $playerPid 2>/dev/null
end

# The per-user settings, as a Plugins folder that refused them leaves them,
# beside the player's own per-user folder, which is not ours.
mkdir -p "$appdata/Nightcap" "$appdata/Winamp"
printf '\1\0\0\0\1\0\0\0\1\0\0\0\4\0\0\0\12\0\0\0' >"$appdata/Nightcap/gen_nightcap.dat"
echo "[Winamp]" >"$appdata/Winamp/winamp.ini"
perUser=$(md5sum <"$appdata/Nightcap/gen_nightcap.dat")

begin "the uninstaller leaves the folder as it was, but for the settings"
# It runs on from a copy in the temporary folder, so that it can delete
# itself: wait for the whole prefix.
run "$(unix "$player")/Uninstall Nightcap.exe" /S
wineserver -w
after=$(listing "$(unix "$player")")
wanted=$(printf '%s  ./Plugins/gen_nightcap.dat\n%s\n%s\n' "${settings%% *}" "$before" ./Plugins | sort)
[ "$(printf '%s\n' "$after" | sort)" = "$wanted" ] || fail "the folder differs: $(diff <(printf '%s\n' "$wanted") <(printf '%s\n' "$after" | sort) | grep '^[<>]')"
[ "$(md5sum <"$appdata/Nightcap/gen_nightcap.dat" 2>/dev/null)" = "$perUser" ] || fail "the per-user settings changed"
[ -z "$(entries HKCU)" ] || fail "the Add/Remove Programs entry is still there"
end

begin "with \"My settings\" ticked, the uninstaller removes both settings files"
run "$setup" /S
run "$(unix "$player")/Uninstall Nightcap.exe" /S /REMOVESETTINGS
wineserver -w
[ ! -e "$plugins/gen_nightcap.dat" ] || fail "gen_nightcap.dat is still beside the module"
[ ! -e "$appdata/Nightcap" ] || fail "the per-user folder is still there: $(ls -A "$appdata/Nightcap")"
[ -f "$appdata/Winamp/winamp.ini" ] || fail "it removed the player's own per-user folder"
after=$(listing "$(unix "$player")")
wanted=$(printf '%s\n%s\n' "$before" ./Plugins | sort)
[ "$(printf '%s\n' "$after" | sort)" = "$wanted" ] || fail "the folder differs: $(diff <(printf '%s\n' "$wanted") <(printf '%s\n' "$after" | sort) | grep '^[<>]')"
[ -z "$(entries HKCU)$(entries HKLM)" ] || fail "entries are left: $(entries HKCU) $(entries HKLM)"
end

begin "two player folders get an entry each, and each uninstalls its own"
portable='C:\Portable\Winamp'
make_player "$portable"
run "$setup" /S
run "$setup" /S "/D=$portable"
first=$(entry_for "$player") second=$(entry_for "$portable")
[ -n "$first" ] && [ -n "$second" ] && [ "$(entries HKCU | wc -l)" -eq 2 ] || fail "entries: $(entries HKCU | tr '\n' ' ')"
[ "$(value HKCU "$second" DisplayName)" = "Nightcap 2.0 (Winamp plug-in in $portable)" ] ||
  fail "the second's DisplayName: '$(value HKCU "$second" DisplayName)'"
run "$(unix "$portable")/Uninstall Nightcap.exe" /S
wineserver -w
[ ! -e "$(unix "$portable")/Plugins/gen_Nightcap.dll" ] || fail "the second folder's module is still there"
cmp -s "$module" "$plugins/gen_Nightcap.dll" || fail "the first folder's module went too"
[ "$(entries HKCU)" = "$first" ] || fail "entries left: $(entries HKCU | tr '\n' ' ')"
end

begin "an upgrade over 2.0 replaces its entry for the same folder only"
# 2.0 wrote one plain "Nightcap" key under HKLM, whatever the folder.
run reg add "$key\\Nightcap" /v InstallLocation /d 'C:\Other Winamp' /f
run "$setup" /S
[ "$(value HKLM Nightcap InstallLocation)" = 'C:\Other Winamp' ] || fail "2.0's entry for another folder went"
run reg add "$key\\Nightcap" /v InstallLocation /d "$player" /f
run "$setup" /S
[ -z "$(entries HKLM)" ] || fail "under HKLM: $(entries HKLM | tr '\n' ' ')"
[ "$(entries HKCU)" = "$first" ] || fail "under HKCU: $(entries HKCU | tr '\n' ' ')"
end

# A Plugins folder the listener may not change. Root ignores permissions,
# and Wine has no UAC, so: a file named Plugins stands in the way, which
# no one can write through, elevated or not.
locked='C:\Locked\Winamp'
make_player "$locked"
echo "not a folder" >"$(unix "$locked")/Plugins"
lockedBefore=$(listing "$(unix "$locked")")

begin "an unwritable Plugins folder: setup hands over to a copy for an administrator"
traced "$setup" /S "/D=$locked"
status=$?
[ $status -eq 5 ] || fail "the installer exited $status, not 5"
# The copy got the folder, the listener's application-data folder and the
# silent flag; it could not write either, and asked no further.
[ "$(handed_down)" = "/S /LISTENERAPPDATA=\"$appdataWin\" /D=$locked" ] || fail "handed down: '$(handed_down)'"
[ "$(listing "$(unix "$locked")")" = "$lockedBefore" ] || fail "the folder changed"
[ -z "$(entry_for "$locked")$(entries HKLM)" ] || fail "an entry was written"
end

begin "elevation refused: the message, exit code 5, nothing installed"
# Make the copy's start fail: Wine's shell expands %VARIABLES% in the file it
# is asked to start (Windows only when told to, which setup does not), so a
# setup run from a folder named so is looked for elsewhere, in vain.
mkdir -p "$drive/Downloads/%NIGHTCAP_AWAY%"
cp "$setup" "$drive/Downloads/%NIGHTCAP_AWAY%/"
NIGHTCAP_AWAY=nowhere traced "C:\\Downloads\\%NIGHTCAP_AWAY%\\$(basename "$setup")" /S "/D=$locked"
status=$?
[ $status -eq 5 ] || fail "the installer exited $status, not 5"
[ -n "$(handed_down)" ] || fail "it did not ask for an administrator"
wanted="Only an administrator may change
$locked,
and Windows did not start Setup as one, so nothing was installed.

Let an administrator confirm Setup when Windows asks, or choose a Winamp folder of your own."
[ "$(message)" = "$wanted" ] || fail "the message: '$(message)'"
[ "$(listing "$(unix "$locked")")" = "$lockedBefore" ] || fail "the folder changed"
[ -z "$(entry_for "$locked")$(entries HKLM)" ] || fail "an entry was written"
end

begin "an uninstall that needs an administrator hands over the listener's settings folder"
run "$setup" /S "/D=$portable"
# Installed, then the folder refuses: the uninstaller's write test meets a
# folder of its file's name, which no one can open as a file, elevated or
# not (root under Wine writes through a read-only file).
blocker="$(unix "$portable")/Nightcap-write-test.tmp"
mkdir "$blocker"
# _?= runs it in place, so that its exit code is its own.
traced "$(unix "$portable")/Uninstall Nightcap.exe" /S /REMOVESETTINGS "_?=$portable"
status=$?
[ $status -eq 5 ] || fail "the uninstaller exited $status, not 5"
handed=$(handed_down)
[ "$handed" = "/S /REMOVESETTINGS /LISTENERAPPDATA=\"$appdataWin\" _?=$portable" ] || fail "handed down: '$handed'"
cmp -s "$module" "$(unix "$portable")/Plugins/gen_Nightcap.dll" || fail "the module went"
# What the copy does with it, once it may: it removes the settings of the
# listener it was handed, not those in its own profile.
rmdir "$blocker"
listener='C:\users\listener\AppData\Roaming'
mkdir -p "$(unix "$listener")/Nightcap" "$appdata/Nightcap"
echo theirs >"$(unix "$listener")/Nightcap/gen_nightcap.dat"
echo mine >"$appdata/Nightcap/gen_nightcap.dat"
run "$(unix "$portable")/Uninstall Nightcap.exe" /S /REMOVESETTINGS "/LISTENERAPPDATA=$listener" "_?=$portable"
[ ! -e "$(unix "$listener")/Nightcap" ] || fail "the listener's settings are still there"
[ -f "$appdata/Nightcap/gen_nightcap.dat" ] || fail "it removed the settings in its own profile"
[ ! -e "$(unix "$portable")/Plugins/gen_Nightcap.dll" ] || fail "the module is still there"
end

# --- 64-bit prefix: the player named in the 64-bit view, then per user --------
# A 64-bit prefix takes half a minute to make: one is made per build folder,
# and copied.
template64=$build/installer/tests/wineprefix64
export WINEARCH=win64
if [ ! -f "$template64/.nightcap-ready" ]; then
  rm -rf "$template64"
  mkdir -p "$template64"
  WINEPREFIX=$template64 wineboot -i >/dev/null 2>&1
  WINEPREFIX=$template64 wineserver -w
  touch "$template64/.nightcap-ready"
fi
use_prefix "$work/prefix64"
cp -a "$template64" "$WINEPREFIX"

begin "on 64-bit Windows, the entry in the 64-bit view is found"
# A stale 32-bit entry names a folder that is gone; the 64-bit one, unquoted,
# names the player.
player='C:\Apps\Winamp 64'
make_player "$player"
run reg add "$key\\Winamp" /v UninstallString /d 'C:\Gone\UninstWA.exe' /f /reg:32
run reg add "$key\\Winamp" /v UninstallString /d "$player\\UninstWA.exe" /f /reg:64
run "$setup" /S
status=$?
[ $status -eq 0 ] || fail "the installer exited $status"
cmp -s "$module" "$(unix "$player")/Plugins/gen_Nightcap.dll" || fail "the module is not in $player\\Plugins"
end

begin "without an uninstall entry, the player's per-user key is found"
run reg delete "$key\\Winamp" /f /reg:32
run reg delete "$key\\Winamp" /f /reg:64
player='C:\Apps\Winamp per user'
make_player "$player"
run reg add 'HKCU\Software\Winamp' /ve /d "$player" /f
run "$setup" /S
status=$?
[ $status -eq 0 ] || fail "the installer exited $status"
cmp -s "$module" "$(unix "$player")/Plugins/gen_Nightcap.dll" || fail "the module is not in $player\\Plugins"
end

begin "past a stale per-user key, the player's machine-wide key is found"
# In the 32-bit view, where the player's 32-bit installer writes it.
run reg add 'HKCU\Software\Winamp' /ve /d 'C:\Gone' /f
player='C:\Apps\Winamp for all'
make_player "$player"
run reg add 'HKLM\Software\Winamp' /ve /d "$player" /f /reg:32
run "$setup" /S
status=$?
[ $status -eq 0 ] || fail "the installer exited $status"
cmp -s "$module" "$(unix "$player")/Plugins/gen_Nightcap.dll" || fail "the module is not in $player\\Plugins"
end

[ $failed -eq 0 ] || { echo "wine's last words:"; tail -n 20 "$work/wine.log"; }
echo "$passed passed, $failed failed"
[ $failed -eq 0 ]
