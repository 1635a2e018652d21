#!/usr/bin/env bash
# One machine with a disk of each kind that users wipe: the program lists
# each as QEMU describes it, then wipes them all side by side; and a disk
# whose ext4 and vfat partitions are mounted, refused while one is busy and
# else unmounted and wiped. The host then finds every byte of every image
# overwritten.
# Usage: disks_test.sh WORK (the directory the vm_bed test built)
set -euo pipefail
. "$(dirname "$0")/bed.sh"
vm_use_bed "$1"
dir=$1/disks
rm -rf "$dir" && mkdir -p "$dir"

# The guest tells the disks apart by size; the virtio disk's is no
# multiple of a 256 KiB write block.
kinds="nvme:$((16 << 20)) sata:$((17 << 20)) scsi:$((18 << 20)) usb:$((19 << 20)) virtio:$(((20 << 20) + 17 * 512))"
for entry in $kinds; do vm_filled_image "$dir/${entry%%:*}.img" "${entry#*:}"; done
vm_disk_nvme nvme "$dir/nvme.img" ZDNVME0001 0x0011223344556677 4096
vm_disk_sata sata "$dir/sata.img" "ZD SATA DISK 7200" ZDSATA0002 0x5000c50012345678 7200
vm_disk_scsi scsi "$dir/scsi.img" ZDVENDOR "ZD SCSI SSD" ZDSCSI0003 0x5000c500aabbccdd 1
vm_disk_usb usb "$dir/usb.img" ZDUSB0004
vm_disk_virtio virtio "$dir/virtio.img" ZDVIRTIO05
parted_size=$((24 << 20))
vm_filled_image "$dir/parted.img" $parted_size
vm_partitioned_image "$dir/parted.img" ext4:8 vfat:8
vm_disk_virtio parted "$dir/parted.img" ZDPARTED06

cat >"$dir/guest.sh" <<GUEST
. /etc/vm-guest.sh
vm_wait_disks 6 || exit 1
echo "--- names"
targets=
for entry in $kinds; do
  device=\$(vm_disk_of_size \${entry#*:}) || exit 1
  echo "\${entry%%:*} \$device \$(cat /sys/block/\${device#/dev/}/queue/rotational)"
  targets="\$targets \$device"
done
echo "--- end"
echo "--- list"
zeza-dera-cli list --json --physical 2>/tmp/list.err || exit 1
echo "--- end"
cat /tmp/list.err
mkdir -p /tmp/logs /mnt/a /mnt/b
wipe() {
  zeza-dera-cli wipe "\$@" --method 16 --custom ZDVMTEST --yes --force-unknown-system --log-dir /tmp/logs
}
mounted() {
  echo "mounted: \$(grep -c -e ' /mnt/a ' -e ' /mnt/b ' /proc/self/mountinfo)"
}
parted=\$(vm_disk_of_size $parted_size) || exit 1
mount -t ext4 \${parted}1 /mnt/a && mount -t vfat \${parted}2 /mnt/b || exit 1
echo data >/mnt/a/file && echo data >/mnt/b/file || exit 1
(cd /mnt/b && exec sleep 600) &
holder=\$!
wipe \$parted
echo "busy wipe exit \$?"
mounted
kill \$holder
wait \$holder
wipe \$parted
echo "partitioned wipe exit \$?"
mounted
wipe \$targets
GUEST

vm_run_guest "$dir"

# What QEMU was told (and, for what it does not let a test choose, what
# it fixes: the NVMe and USB models); rotational as the guest's kernel
# reports it. QEMU's NVMe controller is one whose namespace IDs the kernel
# ignores as bogus, so no EUI-64 reaches the system.
vm_section "$dir/output.txt" names | python3 -c '
import json, sys
given = {
    "nvme": {"model": "QEMU NVMe Ctrl", "serial": "ZDNVME0001", "wwn": "", "transport": "NVME",
             "logicalSectorSize": 4096, "physicalSectorSize": 4096},
    "sata": {"model": "ZD SATA DISK 7200", "serial": "ZDSATA0002", "wwn": "0x5000c50012345678",
             "transport": "SATA", "interfaceType": "SATA"},
    "scsi": {"model": "ZDVENDOR ZD SCSI SSD", "serial": "ZDSCSI0003", "wwn": "0x5000c500aabbccdd",
             "transport": "SCSI", "interfaceType": "SCSI"},
    "usb": {"model": "QEMU HARDDISK", "serial": "ZDUSB0004", "wwn": "", "transport": "USB",
            "interfaceType": "USB"},
    "virtio": {"model": "", "serial": "ZDVIRTIO05", "wwn": "", "transport": "VIRTIO",
               "sizeBytes": 20 * 2**20 + 17 * 512},
}
expected = {}
for line in sys.stdin:
    kind, device, rotational = line.split()
    fields = {"logicalSectorSize": 512, "physicalSectorSize": 512, **given[kind]}
    expected[device] = {**fields, "rotational": rotational == "1"}
json.dump(expected, sys.stdout)' >"$dir/expected.json"
vm_section "$dir/output.txt" list >"$dir/listing.json"
vm_check identity "$dir/expected.json" "$dir/listing.json"
vm_check pattern ZDVMTEST "$dir"/{nvme,sata,scsi,usb,virtio,parted}.img

# The partitioned disk: refused before its confirmation while a process
# works in /mnt/b, then both partitions unmounted and the disk wiped.
expect() {
  grep -qxF -- "$1" "$dir/output.txt" || vm_fail "the guest did not report: $1"
}
expect "busy wipe exit 2"
grep -q "/mnt/b is busy: in use by [0-9]* (sleep)" "$dir/output.txt" || vm_fail "the busy refusal does not name the process"
expect "Mount points: /mnt/a, /mnt/b"
expect "partitioned wipe exit 0"
if [ "$(grep -c '^mounted: ' "$dir/output.txt")" -ne 2 ]; then
  vm_fail "the guest did not report the mounts twice"
fi
expect "mounted: 2"
expect "mounted: 0"
echo "every disk listed as described and wholly overwritten"
