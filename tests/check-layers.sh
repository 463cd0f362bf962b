#!/usr/bin/env bash
# The plug-in's layers depend downwards only. From the top:
#   4  plugin/Plugin.cpp           the frame: the export, the entry points, the objects' lifetime
#   3  dialog/, tray/              the two front ends, which know nothing of each other
#   2  engine/                     the countdown
#   1  settings/                   the values and their file
#   0  the rest of plugin/         the small shared pieces: the descriptor, the player's
#                                  messages, the run state, the loop guard, the version
# A product file may include its own folder's headers and those of lower
# layers, never a higher layer's or a sibling front end's. Fails, naming
# each such include.
#   check-layers.sh SOURCE
set -euo pipefail
cd "${1:-$(dirname "$0")/..}"

layer() {
  case "$1" in
    plugin/Plugin.cpp|plugin/ModuleObjects.h) echo 4 ;;
    dialog/*|tray/*) echo 3 ;;
    engine/*) echo 2 ;;
    settings/*) echo 1 ;;
    plugin/*) echo 0 ;;
    *) echo -1 ;;
  esac
}

status=0
checked=0
for file in $(git ls-files 'plugin/*' 'dialog/*' 'tray/*' 'engine/*' 'settings/*' | grep -E '\.(cpp|h|rc)$' |
              grep -v '/tests/'); do
  from=$(layer "$file")
  checked=$((checked + 1))
  while IFS= read -r target; do
    to=$(layer "$target")
    [ "$to" -ge 0 ] || continue
    if [ "$to" -gt "$from" ] || { [ "$to" -eq "$from" ] && [ "${target%%/*}" != "${file%%/*}" ]; }; then
      echo "$file includes $target, a layer above it or beside it"
      status=1
    fi
  done < <(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^"]*\)".*/\1/p' "$file")
done
[ "$checked" -gt 0 ] || { echo "no product file found"; exit 1; }
[ $status -eq 0 ] && echo "layers: $checked files, every include downwards"
exit $status
