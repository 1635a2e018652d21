#!/usr/bin/env bash
# The running system on a real disk: the guest switches its root to an
# ext4 partition of a SATA disk. That disk and its root partition are marked
# and refused; the disk's other partition and another disk are wiped.
# Usage: system_disk_test.sh WORK (the directory the vm_bed test built)
set -euo pipefail
. "$(dirname "$0")/bed.sh"
vm_use_bed "$1"
dir=$1/system-disk
rm -rf "$dir" && mkdir -p "$dir"

system_size=$((200 << 20)) other_size=$((16 << 20))
vm_image "$dir/system.img" $system_size
vm_partitioned_image "$dir/system.img" ext4:160 ext4:16
vm_root_file_system "$dir/system.img" $((1 << 20)) 160
vm_filled_image "$dir/other.img" $other_size
vm_disk_sata system "$dir/system.img" "ZD SYSTEM DISK" ZDSYSTEM01 0x5000c50000000001 1
vm_disk_virtio other "$dir/other.img" ZDOTHER02

cat >"$dir/guest.sh" <<GUEST
. /etc/vm-guest.sh
system=\$(vm_disk_of_size $system_size) || exit 1
if [ "\$1" = initial ]; then
  vm_wait_disks 2 || exit 1
  vm_switch_root \${system}1
fi
other=\$(vm_disk_of_size $other_size) || exit 1
echo "names: \$system \$other"
vm_system_checks \$other \${system}2 -- \$system \${system}1
GUEST

vm_run_guest "$dir"

read -r system other < <(sed -n 's/^names: //p' "$dir/output.txt")
grep -qx "root: 8:1" "$dir/output.txt" || vm_fail "the guest's root is not the SATA disk's first partition"
vm_check_system_refusals "$dir/output.txt" "$system" "${system}1" -- "$other" "${system}2"
vm_check pattern ZDVMTEST "$dir/other.img"
dd if="$dir/system.img" of="$dir/data-partition.img" bs=1M skip=161 count=16 status=none
vm_check pattern ZDVMTEST "$dir/data-partition.img"
[ "$(sfdisk -l "$dir/system.img" | grep -c '^/')" -eq 2 ] || vm_fail "the system disk lost its partitions"
echo "the system disk refused, the rest wiped"
