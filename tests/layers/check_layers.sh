#!/usr/bin/env bash
# Fails when a folder includes a header of a layer above it. Layers only look
# down: platform < engine, discovery < pages and cli; toolkit < pages.
set -euo pipefail
cd "$(dirname "$0")/../.."

allowed() { # folder -> the project folders its includes may name
  case "$1" in
    platform) echo "platform" ;;
    engine) echo "platform engine" ;;
    discovery) echo "platform discovery" ;;
    record) echo "platform engine discovery record" ;;
    toolkit) echo "toolkit" ;;
  esac
}

status=0
for folder in platform engine discovery record toolkit; do
  [ -d "$folder" ] || continue
  permitted=" $(allowed "$folder") "
  while IFS= read -r line; do
    file=${line%%:*}
    target=$(sed -E 's/.*#include "([^/"]+)\/.*/\1/' <<<"$line")
    case "$target" in
      platform | engine | discovery | record | toolkit | pages | cli)
        if [[ "$permitted" != *" $target "* ]]; then
          echo "$file includes from $target/, a layer above $folder/" >&2
          status=1
        fi
        ;;
    esac
  done < <(grep -rHE '^#include "[^/"]+/' "$folder" --include='*.h' --include='*.cpp' || true)
done
exit $status
