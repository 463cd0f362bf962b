# Wine as the scripts and the tests use it, defined here only. Sourced, with
# $build set to the build folder.

# The prefix lives inside the build folder, a 32-bit one.
export WINEPREFIX=$build/wineprefix
export WINEARCH=win32
export WINEDEBUG=-all
# No network here: never offer to install Mono or Gecko.
export WINEDLLOVERRIDES="mscoree,mshtml="

# Creates the prefix once. Without a window manager (Xvfb), Wine waits about
# two seconds whenever a managed window closes; unmanaged windows don't.
nightcap_prepare_wine() {
  if [ ! -f "$WINEPREFIX/.nightcap-ready" ]; then
    rm -rf "$WINEPREFIX"
    mkdir -p "$WINEPREFIX"
    wineboot -i >/dev/null 2>&1
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
    wineserver -w
    touch "$WINEPREFIX/.nightcap-ready"
  fi
}
