#!/usr/bin/env bash
# Validates the desktop entry and the AppStream metainfo as software centres
# and menus read them, and checks that they name the same desktop entry.
#
#   check_desktop_files.sh DESKTOP_ENTRY METAINFO
set -euo pipefail
desktop=$1
metainfo=$2
desktop-file-validate "$desktop"
appstreamcli validate --no-net --pedantic "$metainfo"
launchable=$(sed -n 's:.*<launchable type="desktop-id">\(.*\)</launchable>.*:\1:p' "$metainfo")
if [ "$launchable" != "$(basename "$desktop")" ]; then
  echo "the metainfo launches \"$launchable\", not $(basename "$desktop")"
  exit 1
fi
echo "desktop entry and metainfo are valid"
