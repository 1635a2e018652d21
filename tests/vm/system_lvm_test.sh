#!/usr/bin/env bash
# The running system on an LVM logical volume over a SCSI disk: the disk
# and the volume are refused through the stack; another disk is wiped.
# Usage: system_lvm_test.sh WORK (the directory the vm_bed test built)
set -euo pipefail
. "$(dirname "$0")/bed.sh"
vm_use_bed "$1"
dir=$1/system-lvm
rm -rf "$dir" && mkdir -p "$dir"

# The volume group's data starts 1 MiB into the physical volume, and the
# logical volume is made without zeroing or wiping its start: the root file
# system written there on the host is the volume's content.
pv_size=$((200 << 20)) other_size=$((16 << 20))
vm_image "$dir/pv.img" $pv_size
vm_root_file_system "$dir/pv.img" $((1 << 20)) 160
vm_filled_image "$dir/other.img" $other_size
vm_disk_scsi pv "$dir/pv.img" ZDVENDOR "ZD LVM DISK" ZDLVM01 0x5000c50000000011 1
vm_disk_virtio other "$dir/other.img" ZDOTHER02

cat >"$dir/guest.sh" <<GUEST
. /etc/vm-guest.sh
pv=\$(vm_disk_of_size $pv_size) || exit 1
if [ "\$1" = initial ]; then
  vm_wait_disks 2 || exit 1
  lvm pvcreate -q -y --dataalignment 1m \$pv && lvm vgcreate -q zdvg \$pv &&
    lvm lvcreate -q -y -Zn -Wn -n root -L 160m zdvg || exit 1
  vm_switch_root /dev/mapper/zdvg-root
fi
other=\$(vm_disk_of_size $other_size) || exit 1
volume=\$(readlink -f /dev/mapper/zdvg-root)
echo "names: \$pv \$volume \$other"
vm_system_checks \$other -- \$pv \$volume
GUEST

vm_run_guest "$dir"

read -r pv _ other < <(sed -n 's/^names: //p' "$dir/output.txt")
grep -q "^root: 25[0-9]:0$" "$dir/output.txt" || vm_fail "the guest's root is not the logical volume"
vm_check_system_refusals "$dir/output.txt" "$pv" -- "$other"
vm_check pattern ZDVMTEST "$dir/other.img"
echo "the logical volume and its disk refused, the other disk wiped"
