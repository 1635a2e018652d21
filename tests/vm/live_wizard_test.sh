#!/usr/bin/env bash
# The boot medium as a stick among two disks, booted on BIOS: the wizard
# comes up full screen on the framebuffer and its home page matches the
# offscreen rendering of the same page. A tablet and keyboard plugged in
# after that drive it. A stick with the image plugged in
# then is held as the medium; Ctrl+Alt+F2 shows a console that lists it so,
# and the wizard neither draws nor acts on a click meanwhile; Alt+F1 brings
# it back. Then, driven through the USB tablet and keyboard, it wipes one
# disk, which goes on while the console is shown again: the host finds that
# disk's image zeroed and the other's untouched.
# Usage: live_wizard_test.sh WORK GUI_SCREENSHOTS_PROGRAM
set -euo pipefail
here=$(dirname "$0")
. "$here/bed.sh"
. "$here/live-lib.sh"
live_use_image "$1" wizard
QT_QPA_PLATFORM=offscreen "$2" "$dir/reference" >/dev/null 2>&1 || vm_fail "the pages cannot be rendered offscreen"

stick=$dir/stick.img
size_a=$((16 << 20)) size_b=$((17 << 20))
live_stick "$stick" console=ttyS0
vm_filled_image "$dir/a.img" $size_a
vm_filled_image "$dir/b.img" $size_b
sha256sum "$dir/a.img" >"$dir/a.sha256"
# B comes first: the wizard lists the stick (sda), then B (vda), then A.
live_start "$dir" -device qemu-xhci,id=xhci \
  -drive "file=$stick,format=raw,if=none,id=stick,cache=unsafe" -device usb-storage,bus=xhci.0,drive=stick,bootindex=0 \
  -drive "file=$dir/b.img,format=raw,if=none,id=b,cache=unsafe,throttling.bps-write=1048576" -device virtio-blk-pci,drive=b,serial=ZDLIVEB \
  -drive "file=$dir/a.img,format=raw,if=none,id=a,cache=unsafe" -device virtio-blk-pci,drive=a,serial=ZDLIVEA
trap 'kill "$LIVE_QEMU" 2>/dev/null || true' EXIT

live_wait_screen "$dir" 150 "$dir/reference/home.png"
echo "the wizard's home page after $LIVE_SECONDS seconds ($(cat "$dir/match.txt") of its pixels as rendered offscreen)"
cp "$dir/screen.ppm" "$dir/home.ppm"

# The screen is 1280 x 800 (the boot loader's mode), the window centred.
[ "$LIVE_SCREEN_WIDTH" -eq 1280 ] || vm_fail "the screen is ${LIVE_SCREEN_WIDTH} pixels wide, not 1280"
left=165 top=145
# The pointer and keyboard are plugged in only now: the wizard takes them.
live_input_devices

# A stick with the image plugged in now is held as the medium is.
cp "$LIVE_ISO" "$dir/late.img"
vm_qmp "{\"execute\": \"blockdev-add\", \"arguments\": {\"driver\": \"raw\", \"node-name\": \"late\",
  \"file\": {\"driver\": \"file\", \"filename\": \"$dir/late.img\"}}}" >/dev/null
vm_qmp '{"execute": "device_add", "arguments": {"driver": "usb-storage", "id": "late", "bus": "xhci.0",
  "drive": "late", "serial": "ZDLATE"}}' >/dev/null
live_wait_console "$dir" 60 "carries this boot medium too: it is never wiped"

# Ctrl+Alt+F2 shows the console. A click on the wizard's tile meanwhile
# neither draws the pointer over the console nor opens the page, nor does
# Ctrl+Alt+Backspace end the wizard; the
# console's listing marks the late stick as the running system's.
live_keys ctrl-alt-f2
live_wait_screen "$dir" 300 differs "$dir/home.ppm" $left $top $((left + 950)) $((top + 510))
cp "$dir/screen.ppm" "$dir/console.ppm"
live_click $((left + 443)) $((top + 165))
live_keys ctrl-alt-backspace
live_type "zeza-dera-cli list --json >/var/log/zeza-dera/console.json; sync; echo listed >/dev/ttyS0"
live_wait_console "$dir" 60 listed
vm_qmp "{\"execute\": \"screendump\", \"arguments\": {\"filename\": \"$dir/screen.ppm\"}}" >/dev/null
! python3 "$VM_BED_DIR/screen_match.py" "$dir/screen.ppm" differs "$dir/console.ppm" \
  $((left + 400)) $((top + 120)) $((left + 500)) $((top + 220)) >/dev/null ||
  vm_fail "the wizard drew over the console"
# Alt+F1 brings the wizard back, drawn afresh, on the page it was on.
live_keys alt-f1
live_wait_screen "$dir" 300 "$dir/reference/home.png"
vm_qmp '{"execute": "device_del", "arguments": {"id": "late"}}' >/dev/null
live_wait_console "$dir" 60 "which carried this boot medium, is gone"
echo "the console came and went; the wizard was drawn again"
live_click $((left + 443)) $((top + 165)) # the physical drives' tile
live_wait_screen "$dir" 300 pixel $((left + 807)) $((top + 465)) 5 119 205 # the Back button
cp "$dir/screen.ppm" "$dir/drive-page.ppm"
live_click $((left + 455)) $((top + 96)) # the drive list's field
live_keys down
live_wait_screen "$dir" 300 differs "$dir/drive-page.ppm" $((left + 305)) $((top + 130)) $((left + 640)) $((top + 310))
live_click $((left + 903)) $((top + 474)) # Next
live_wait_screen "$dir" 300 pixel $((left + 690)) $((top + 295)) 239 239 239 # the confirmation's face
live_click $((left + 447)) $((top + 244))
live_keys shift-c shift-o shift-n shift-f shift-i shift-r shift-m
# OK is enabled once the word is typed: pressed until the dialog goes.
for _ in $(seq 1 30); do
  live_click $((left + 566)) $((top + 284))
  python3 "$VM_BED_DIR/screen_match.py" "$dir/screen.ppm" pixel $((left + 690)) $((top + 295)) 239 239 239 >/dev/null || break
  sleep 1
  vm_qmp "{\"execute\": \"screendump\", \"arguments\": {\"filename\": \"$dir/screen.ppm\"}}" >/dev/null
done

# The wipe (B written at 1 MiB/s) goes on while the console is shown, and
# the wizard draws nothing over it; back, it shows where the run is.
start=$SECONDS
live_keys ctrl-alt-f2
# The console is black where the progress page is white.
live_wait_screen "$dir" $((SECONDS - LIVE_STARTED + 60)) pixel $((left + 690)) $((top + 295)) 0 0 0
cp "$dir/screen.ppm" "$dir/console-wipe.ppm"
! cmp -s -n $size_b "$dir/b.img" /dev/zero || vm_fail "the wipe ended before the console was shown"
until cmp -s -n $size_b "$dir/b.img" /dev/zero; do
  [ $((SECONDS - start)) -lt 300 ] || vm_fail "the wizard did not zero the chosen disk within 300 seconds"
  kill -0 "$LIVE_QEMU" 2>/dev/null || vm_fail "the machine stopped before the disk was wiped"
  sleep 1
done
echo "the chosen disk zeroed $((SECONDS - start)) seconds after the confirmation, with the console shown"
vm_qmp "{\"execute\": \"screendump\", \"arguments\": {\"filename\": \"$dir/screen.ppm\"}}" >/dev/null
! python3 "$VM_BED_DIR/screen_match.py" "$dir/screen.ppm" differs "$dir/console-wipe.ppm" \
  $left $top $((left + 950)) $((top + 510)) >/dev/null || vm_fail "the wizard drew over the console during the wipe"
live_keys alt-f1
live_wait_screen "$dir" $((SECONDS - LIVE_STARTED + 60)) differs "$dir/console-wipe.ppm" $left $top $((left + 950)) $((top + 510))
vm_qmp '{"execute": "quit"}' >/dev/null || true
wait "$LIVE_QEMU" || true
trap - EXIT
sha256sum --quiet -c "$dir/a.sha256" || vm_fail "the other disk was written"
cmp -s "$LIVE_ISO" "$dir/late.img" || vm_fail "the stick plugged in later was written"
! grep -q "the wizard ended" "$dir/console.log" || vm_fail "Ctrl+Alt+Backspace on the console ended the wizard"
folder=$(live_mtools "$stick" mdir -b :: | grep -E '/[0-9]{8}-[0-9]{6}' | head -n 1)
live_mtools "$stick" mtype "${folder%/}/console.json" | python3 -c '
import json, sys
marked = {d["identity"]["serial"]: d["holdsRunningSystem"] for d in json.load(sys.stdin)["physicalDisks"]}
if not marked.get("ZDLATE") or marked.get("ZDLIVEA") or marked.get("ZDLIVEB"):
    sys.exit(f"FAIL: the console listing should mark the late stick as the running system'"'"'s: {marked}")
'

cmp -s -n "$(live_records_offset "$stick")" "$LIVE_ISO" "$stick" || vm_fail "the stick's image was written"
echo "the wizard wiped the chosen disk alone"
