#!/usr/bin/env bash
# Unattended wipes from the boot medium, as a stick among two disks and a
# second stick carrying the same image: booted from the stick (BIOS, its
# boot menu given the options on its records partition) with zd.wipe=all,
# and over the network (PXE, from QEMU's TFTP server) with zd.wipe naming
# one disk, an NVMe drive purged with zd.sanitize=auto, and the stick by
# serial. Each time the host finds the chosen disks zeroed, the others
# and both sticks' images untouched, and the logs and records on
# ZD-RECORDS (read with mtools), with the sticks listed as the running
# system's.
# Usage: live_unattended_test.sh WORK (where the vm_live_image test built)
set -euo pipefail
here=$(dirname "$0")
. "$here/bed.sh"
. "$here/live-lib.sh"
live_use_image "$1" unattended
stick=$dir/stick.img
size_a=$((16 << 20)) size_b=$((17 << 20))
confirmed="zd.confirm=yes zd.poweroff=1"
cp "$LIVE_ISO" "$dir/stick2.img"

# boot NAME B_DEVICE QEMU_ARGS...: fresh disks A and B filled with 0xA5,
# B on the QEMU device given, the sticks (the first booted from unless the
# network is), then the machine until it powers off by itself.
boot() {
  local name=$1 b_device=$2 first=,bootindex=0
  shift 2
  [ "${1:-}" = -netdev ] && first=
  vm_filled_image "$dir/a.img" $size_a
  vm_filled_image "$dir/b.img" $size_b
  sha256sum "$dir"/{a,b}.img >"$dir/before.sha256"
  live_start "$dir" -device qemu-xhci,id=xhci \
    -drive "file=$stick,format=raw,if=none,id=stick,cache=unsafe" -device usb-storage,bus=xhci.0,drive=stick,serial=ZDSTICK$first \
    -drive "file=$dir/a.img,format=raw,if=none,id=a,cache=unsafe" -device virtio-blk-pci,drive=a,serial=ZDLIVEA \
    -drive "file=$dir/b.img,format=raw,if=none,id=b,cache=unsafe" -device "$b_device,drive=b,serial=ZDLIVEB" \
    -drive "file=$dir/stick2.img,format=raw,if=none,id=stick2,cache=unsafe" -device usb-storage,bus=xhci.0,drive=stick2,serial=ZDSTICK2 "$@"
  live_wait_off 400 "$dir"
  cp "$dir/console.log" "$dir/console-$name.log"
  echo "$name: powered off after $LIVE_SECONDS seconds"
}

zeroed() {
  cmp -s -n "$2" "$1" /dev/zero || vm_fail "$(basename "$1") was not zeroed"
}
untouched() {
  grep -F "/$1" "$dir/before.sha256" | sha256sum --quiet -c - || vm_fail "$1 was written"
}
# The stick's image (all but its records partition) and the second stick
# are as they were written.
sticks_untouched() {
  cmp -s -n "$(live_records_offset "$stick")" "$LIVE_ISO" "$stick" || vm_fail "the stick's image was written"
  cmp -s "$LIVE_ISO" "$dir/stick2.img" || vm_fail "the second stick was written"
}

# check_records FOLDER_INDEX KINDS DEVICE[:NAME]...: the boot's folder on
# ZD-RECORDS holds a file of each kind (log json pdf) per wiped device,
# named after NAME (the drive's model) or the device, the
# progress events end in a summary of success, and the listing marks the
# sticks. Sets folder.
check_records() {
  local kinds=$2
  folder=$(live_mtools "$stick" mdir -b :: | grep -E '/[0-9]{8}-[0-9]{6}' | sort | sed -n "$1p")
  [ -n "$folder" ] || vm_fail "ZD-RECORDS holds no folder of boot $1"
  folder=${folder#::}
  shift 2
  local device targets=()
  for device in "$@"; do
    for kind in $kinds; do
      live_mtools "$stick" mdir -b "::$folder/Drive__${device#*:}.$kind" >/dev/null ||
        vm_fail "ZD-RECORDS lacks $folder/Drive__${device#*:}.$kind"
    done
    targets+=("/dev/${device%%:*}")
  done
  live_mtools "$stick" mtype "::$folder/progress.jsonl" | python3 -c '
import json, sys
events = [json.loads(line) for line in sys.stdin if line.strip()]
summary = [e for e in events if e["event"] == "summary"]
wiped = sorted(t["target"] for t in summary[-1]["targets"]) if summary else []
if not summary or summary[-1]["exitCode"] != 0 or wiped != sorted(sys.argv[1:]):
    sys.exit(f"FAIL: the progress events do not end in a successful wipe of {sys.argv[1:]}: {summary}")
' "${targets[@]}"
  live_mtools "$stick" mtype "::$folder/disks.json" | python3 -c '
import json, sys
disks = json.load(sys.stdin)["physicalDisks"]
marked = {d["identity"]["serial"]: d["holdsRunningSystem"] for d in disks}
if not (marked.get("ZDSTICK") and marked.get("ZDSTICK2")) or marked.get("ZDLIVEA") or marked.get("ZDLIVEB"):
    sys.exit(f"FAIL: the listing should mark the sticks alone as the running system'"'"'s: {marked}")
'
  live_mtools "$stick" mtype "::$folder/boot.log" | grep -q "unattended wipe finished: exit code 0" ||
    vm_fail "the boot's transcript on ZD-RECORDS does not report the wipe"
}

live_stick "$stick" "console=ttyS0 zd.wipe=all zd.method=1 $confirmed"
boot medium virtio-blk-pci
zeroed "$dir/a.img" $size_a
zeroed "$dir/b.img" $size_b
sticks_untouched
check_records 1 "log json pdf" vda vdb

# Over the network: QEMU's own TFTP server serves the kernel, the
# initramfs and an iPXE script with the options, as a PXE server would.
mkdir -p "$dir/tftp"
cp "$LIVE_PXE/vmlinuz" "$LIVE_PXE/initrd.img" "$dir/tftp/"
printf '#!ipxe\nkernel vmlinuz console=ttyS0 zd.wipe=ZDLIVEB,ZDSTICK zd.sanitize=auto %s\ninitrd initrd.img\nboot\n' "$confirmed" >"$dir/tftp/boot.ipxe"
boot network nvme -netdev "user,id=net,tftp=$dir/tftp,bootfile=boot.ipxe" -device virtio-net-pci,netdev=net,bootindex=0
zeroed "$dir/b.img" $size_b
untouched a.img
sticks_untouched
grep -Eq "leaving /dev/sd[ab] alone: it carries this boot medium" "$dir/console.log" ||
  vm_fail "the stick, named by its serial, was not left alone"
# A purge leaves a log and a record that say so; no certificate yet.
check_records 2 "log json" "nvme0n1:QEMU NVMe Ctrl"
live_mtools "$stick" mtype "::$folder/Drive__QEMU NVMe Ctrl.json" | python3 -c '
import json, sys
record = json.load(sys.stdin)
if record["method"]["name"] != "Purge" or record.get("purge", {}).get("interface") != "NVMe":
    sys.exit("FAIL: the record does not tell a purge through NVMe: " + json.dumps(record["method"]))
'

echo "the chosen disks zeroed, the others and the stick untouched, the records on ZD-RECORDS"
