#!/usr/bin/env bash
# Prints when the commit that the source tree ROOT holds was made, in seconds
# since 1970: the date of its release files. A clone asks git; a tree that git
# archive exported reads installer/commit-date, which the export filled in.
# Any other tree cannot tell, and this fails, saying so.
#   commit-date.sh ROOT
set -euo pipefail
root=$1
if [ -e "$root/.git" ]; then
  git -C "$root" log -1 --format=%ct
  exit
fi
date=$(cat "$root/installer/commit-date" 2>/dev/null || true)
if [[ $date =~ ^[0-9]+$ ]]; then
  echo "$date"
  exit
fi
echo "commit-date: $root is neither a git clone nor a tree exported with git archive, so it does not say" \
  "when its commit was made: set SOURCE_DATE_EPOCH to date the release files" >&2
exit 1
