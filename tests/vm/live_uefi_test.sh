#!/usr/bin/env bash
# The boot medium as a CD on a UEFI machine (OVMF): the wizard's home page
# comes up, matching its offscreen rendering.
# Usage: live_uefi_test.sh WORK GUI_SCREENSHOTS_PROGRAM
set -euo pipefail
here=$(dirname "$0")
. "$here/bed.sh"
. "$here/live-lib.sh"
live_use_image "$1" uefi
firmware=/usr/share/OVMF/OVMF_CODE_4M.fd
[ -e "$firmware" ] || vm_skip "$firmware is missing (scripts/setup installs ovmf)"
QT_QPA_PLATFORM=offscreen "$2" "$dir/reference" >/dev/null 2>&1 || vm_fail "the pages cannot be rendered offscreen"
cp /usr/share/OVMF/OVMF_VARS_4M.fd "$dir/vars.fd"
vm_filled_image "$dir/a.img" $((16 << 20))

live_start "$dir" -drive "if=pflash,format=raw,readonly=on,file=$firmware" -drive "if=pflash,format=raw,file=$dir/vars.fd" \
  -drive "file=$LIVE_ISO,format=raw,if=none,id=cd,media=cdrom,readonly=on" -device ide-cd,drive=cd,bootindex=0 \
  -drive "file=$dir/a.img,format=raw,if=none,id=a,cache=unsafe" -device virtio-blk-pci,drive=a,serial=ZDLIVEA \
  -device qemu-xhci,id=xhci
trap 'kill "$LIVE_QEMU" 2>/dev/null || true' EXIT
live_wait_screen "$dir" 200 "$dir/reference/home.png"
echo "the wizard's home page after $LIVE_SECONDS seconds on a ${LIVE_SCREEN_WIDTH}x$LIVE_SCREEN_HEIGHT screen ($(cat "$dir/match.txt") of its pixels as rendered offscreen)"
vm_qmp '{"execute": "quit"}' >/dev/null || true
wait "$LIVE_QEMU" || true
trap - EXIT
