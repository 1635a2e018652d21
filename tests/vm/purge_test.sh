#!/usr/bin/env bash
# An NVMe drive purged with its own command: QEMU's controller offers no
# Sanitize (SANICAP 0) and no cryptographic erase in Format NVM (FNA), so
# those are refused with the reason and the drive left as it was, and
# `sanitize` alone formats it with a user data erase. The host then finds
# the image all zeros and the record saying Purge.
# Usage: purge_test.sh WORK (the directory the vm_bed test built)
set -euo pipefail
. "$(dirname "$0")/bed.sh"
vm_use_bed "$1"
dir=$1/purge
rm -rf "$dir" && mkdir -p "$dir"

size=$((16 << 20))
vm_filled_image "$dir/nvme.img" $size
vm_disk_nvme nvme "$dir/nvme.img" ZDPURGE001 0x0011223344556688

# The guest's root lives in memory, so its drive counts as undetermined.
cat >"$dir/guest.sh" <<GUEST
. /etc/vm-guest.sh
vm_wait_disks 1 || exit 1
nvme=\$(vm_disk_of_size $size) || exit 1
mkdir -p /tmp/logs
before=\$(md5sum <\$nvme)
for action in crypto block; do
  echo "--- \$action"
  zeza-dera-cli sanitize \$nvme --action \$action --yes --force-unknown-system --log-dir /tmp/logs 2>&1
  echo "exit: \$?"
  echo "--- end"
done
[ "\$(md5sum <\$nvme)" = "\$before" ] && echo "refusals left the drive as it was"
echo "--- auto"
zeza-dera-cli sanitize \$nvme --yes --force-unknown-system --log-dir /tmp/logs 2>&1
echo "exit: \$?"
echo "--- end"
echo "--- record"
cat /tmp/logs/*.json
echo "--- end"
GUEST

vm_run_guest "$dir"

expect() { # SECTION TEXT: the section holds TEXT
  vm_section "$dir/output.txt" "$1" | grep -qF -- "$2" || vm_fail "$1: no \"$2\""
}
expect crypto "exit: 2"
expect crypto "FNA"
expect block "exit: 2"
expect block "SANICAP is 0"
grep -qx "refusals left the drive as it was" "$dir/output.txt" || vm_fail "a refused purge changed the drive"
expect auto "exit: 0"
expect auto "Format NVM"
cmp -s -n $size "$dir/nvme.img" /dev/zero || vm_fail "the formatted namespace is not all zeros"
vm_section "$dir/output.txt" record | python3 -c '
import json, sys
record = json.load(sys.stdin)
assert record["method"]["name"] == "Purge", record["method"]
assert "Format NVM" in record["purge"]["command"], record["purge"]
assert record["outcome"] == "Erased", record["outcome"]
assert record["device"]["serial"] == "ZDPURGE001", record["device"]
' || vm_fail "the record does not tell the purge"
echo "crypto erase and Sanitize refused, Format NVM erased every byte"
