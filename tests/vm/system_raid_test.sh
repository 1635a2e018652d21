#!/usr/bin/env bash
# The running system on md RAID1 over two disks: both members and the array
# are refused through the stack; another disk is wiped.
# Usage: system_raid_test.sh WORK (the directory the vm_bed test built)
set -euo pipefail
. "$(dirname "$0")/bed.sh"
vm_use_bed "$1"
dir=$1/system-raid
rm -rf "$dir" && mkdir -p "$dir"

# Metadata 1.0 keeps the array's superblock at the members' ends, so the
# root file system written at their start is the array's content.
first_size=$((200 << 20)) second_size=$((201 << 20)) other_size=$((16 << 20))
vm_image "$dir/first.img" $first_size
vm_root_file_system "$dir/first.img" 0 160
cp --sparse=always "$dir/first.img" "$dir/second.img"
truncate -s $second_size "$dir/second.img"
vm_filled_image "$dir/other.img" $other_size
vm_disk_virtio first "$dir/first.img" ZDRAID01
vm_disk_virtio second "$dir/second.img" ZDRAID02
vm_disk_virtio other "$dir/other.img" ZDOTHER03

cat >"$dir/guest.sh" <<GUEST
. /etc/vm-guest.sh
first=\$(vm_disk_of_size $first_size) && second=\$(vm_disk_of_size $second_size) || exit 1
if [ "\$1" = initial ]; then
  vm_wait_disks 3 || exit 1
  mdadm --create /dev/md0 --level=1 --raid-devices=2 --metadata=1.0 --assume-clean --run \$first \$second || exit 1
  vm_switch_root /dev/md0
fi
other=\$(vm_disk_of_size $other_size) || exit 1
echo "names: \$first \$second \$other"
vm_system_checks \$other -- \$first \$second /dev/md0
GUEST

vm_run_guest "$dir"

read -r first second other < <(sed -n 's/^names: //p' "$dir/output.txt")
grep -qx "root: 9:0" "$dir/output.txt" || vm_fail "the guest's root is not the array"
vm_check_system_refusals "$dir/output.txt" "$first" "$second" -- "$other"
vm_check pattern ZDVMTEST "$dir/other.img"
echo "the array and its members refused, the other disk wiped"
