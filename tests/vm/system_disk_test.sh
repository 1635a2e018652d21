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
echo "root: \$(grep ' / / ' /proc/self/mountinfo | cut -d ' ' -f 3)"
echo "--- list"
zeza-dera-cli list --json 2>/tmp/list.err || exit 1
echo "--- end"
cat /tmp/list.err
mkdir -p /tmp/logs
for refused in \$system \${system}1; do
  zeza-dera-cli wipe \$refused --method 1 --yes --log-dir /tmp/logs
  echo "wipe \$refused exit \$?"
done
zeza-dera-cli wipe \$other \${system}2 --method 16 --custom ZDVMTEST --yes --log-dir /tmp/logs
echo "wipe of the others exit \$?"
echo "names: \$system \$other"
GUEST

status=0
vm_run "$dir" "$dir/guest.sh" >"$dir/output.txt" || status=$?
cat "$dir/output.txt"
[ "$status" -eq 0 ] || vm_fail "the guest's script ended with exit code $status"

read -r system other < <(sed -n 's/^names: //p' "$dir/output.txt")
expect() {
  grep -qxF -- "$1" "$dir/output.txt" || vm_fail "the guest did not report: $1"
}
expect "root: 8:1"
! grep -q "cannot be determined" "$dir/output.txt" || vm_fail "the system's drive was not found"
expect "wipe $system exit 2"
expect "wipe ${system}1 exit 2"
[ "$(grep -c "refusing to wipe $system[1]*: it holds the running system" "$dir/output.txt")" -eq 2 ] ||
  vm_fail "the system disk and its root partition were not refused as the running system's"
expect "wipe of the others exit 0"

# The listing marks the disk and the root's volume, nothing else.
vm_section "$dir/output.txt" list | python3 -c '
import json, sys
listing = json.load(sys.stdin)
marked = sorted(entry["deviceName"] for kind in listing.values() for entry in kind if entry["holdsRunningSystem"])
expected = sorted([sys.argv[1], sys.argv[1] + "1"])
if marked != expected:
    sys.exit(f"FAIL: marked as holding the running system: {marked}, expected {expected}")
' "$system"

vm_check pattern ZDVMTEST "$dir/other.img"
dd if="$dir/system.img" of="$dir/data-partition.img" bs=1M skip=161 count=16 status=none
vm_check pattern ZDVMTEST "$dir/data-partition.img"
[ "$(sfdisk -l "$dir/system.img" | grep -c '^/')" -eq 2 ] || vm_fail "the system disk lost its partitions"
echo "the system disk refused, the rest wiped"
