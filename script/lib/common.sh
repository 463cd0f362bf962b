# Shared by the scripts: where things are, the build, and the Wine set-up.
# Sourced, not run.

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build=${NIGHTCAP_BUILD:-$root/build}
export NIGHTCAP_BUILD=$build
. "$root/script/lib/wine-env.sh"

nightcap_build() {
  if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/i686-w64-mingw32.cmake" \
      -DCMAKE_BUILD_TYPE=Release >/dev/null
  fi
  cmake --build "$build" -j "$(nproc)" -- --no-print-directory | grep -vE '^\[ *[0-9]+%\]' || true
  # The pipe hides the build's own status: check what it made.
  cmake --build "$build" -j "$(nproc)" >/dev/null
}

# Runs a command with a display (Xvfb unless one is given) and one Wine
# server for the whole run, which is shut down afterwards whatever happens.
nightcap_with_display() {
  if [ -n "${DISPLAY:-}" ] && [ -z "${NIGHTCAP_XVFB:-}" ]; then
    nightcap_with_wineserver "$@"
  else
    NIGHTCAP_XVFB=1 xvfb-run -a -s "-screen 0 1280x1024x24" "$root/script/lib/with-wineserver" "$@"
  fi
}

nightcap_with_wineserver() {
  "$root/script/lib/with-wineserver" "$@"
}
