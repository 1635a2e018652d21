#!/usr/bin/env bash
# Checks that a cross-built program carries the window artwork under its
# numeric ids, its version information and the manifest that asks for
# administrator rights.
set -euo pipefail
exe=$1
listing=$(wrestool -l "$exe")
status=0
expect() {
  if ! grep -qF -- "$1" <<<"$listing"; then
    echo "missing resource: $2"
    status=1
  fi
}
expect "--type=14 --name=128 " "icon group 128"
expect "--type=14 --name=325 " "icon group 325"
expect "--type=14 --name=332 " "icon group 332"
for id in 326 327 334 335; do
  expect "--type='PNG' --name=$id " "PNG $id"
done
expect "--type=2 --name=337 " "bitmap 337"
expect "--type=24 --name=1 " "manifest"
expect "--type=16 --name=1 " "version information"

manifest=$(wrestool -x --raw --type=24 --name=1 "$exe")
for needle in 'level="requireAdministrator"' 'Microsoft.Windows.Common-Controls' 'version="6.0.0.0"' '<dpiAware'; do
  if ! grep -qF -- "$needle" <<<"$manifest"; then
    echo "manifest lacks $needle"
    status=1
  fi
done
[ "$status" -eq 0 ] && echo "resources and manifest present"
exit "$status"
