#!/usr/bin/env bash
# Builds the boot medium from this build's programs into WORK/live, for the
# live_* scenarios.
# Usage: live-image.sh WORK VERSION CLI_PROGRAM DESKTOP_PROGRAM
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/bed.sh"
vm_check_host
for tool in grub-mkrescue xorriso mformat zstd; do
  command -v "$tool" >/dev/null || vm_skip "$tool is missing (scripts/setup installs it)"
done
# Skips, as the bed does, where the kernel cannot be had; the image's
# build finds it in its cache then.
vm_fetch_kernel "$1/live/cache"
start=$SECONDS
"$here/../../live/build-image.sh" "$1/live" "$2" "$3" "$4"
echo "built in $((SECONDS - start)) seconds"
