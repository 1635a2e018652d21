#!/usr/bin/env bash
# Disks that go away under a wipe: a SCSI disk pulled out after the user
# confirmed but before the first write is refused with nothing written; a
# USB stick pulled out in the middle of its pass ends the run as terminated,
# and its log and record say so.
# Usage: unplug_test.sh WORK (the directory the vm_bed test built)
set -euo pipefail
. "$(dirname "$0")/bed.sh"
vm_use_bed "$1"
dir=$1/unplug
rm -rf "$dir" && mkdir -p "$dir"

late_size=$((16 << 20)) pulled_size=$((1 << 30))
vm_filled_image "$dir/late.img" $late_size
vm_image "$dir/pulled.img" $pulled_size
vm_disk_scsi late "$dir/late.img" ZDVENDOR "ZD LATE DISK" ZDLATE01 0x5000c50000000021 1
vm_disk_usb pulled "$dir/pulled.img" ZDPULLED02

cat >"$dir/guest.sh" <<GUEST
. /etc/vm-guest.sh
vm_wait_disks 2 || exit 1
late=\$(vm_disk_of_size $late_size) && pulled=\$(vm_disk_of_size $pulled_size) || exit 1
mkdir -p /tmp/logs
options="--method 16 --custom ZDVMTEST --force-unknown-system --log-dir /tmp/logs"

# The answer goes in only once the disk has gone.
mkfifo /tmp/answer
zeza-dera-cli wipe \$late \$options </tmp/answer >/tmp/late.out 2>&1 &
wiper=\$!
exec 3>/tmp/answer
vm_wait_text /tmp/late.out "Type CONFIRM to go on" || exit 1
vm_unplug late \$late || exit 1
echo CONFIRM >&3
exec 3>&-
wait \$wiper
echo "late wipe exit \$?"
cat /tmp/late.out

zeza-dera-cli wipe \$pulled \$options --yes --progress json >/tmp/pulled.json 2>/tmp/pulled.err &
wiper=\$!
vm_wait_text /tmp/pulled.json '"event":"progress"' || exit 1
vm_unplug pulled \$pulled || exit 1
wait \$wiper
echo "pulled wipe exit \$?"
cat /tmp/pulled.err
echo "--- events"
cat /tmp/pulled.json
echo "--- end"
for file in /tmp/logs/*.log /tmp/logs/*.json; do
  echo "--- \${file##*/}"
  cat "\$file"
  echo "--- end"
done
GUEST

vm_run_guest "$dir" 300

expect() {
  grep -aqxF -- "$1" "$dir/output.txt" || vm_fail "the guest did not report: $1"
}
# Refused after the confirmation, before anything was written.
expect "late wipe exit 2"
grep -aq "is not the device that was confirmed, and nothing was written" "$dir/output.txt" ||
  vm_fail "the wipe of the vanished disk was not refused"
vm_check untouched "$dir/late.img"

# Ended as terminated where the writes stopped; the record counts no more
# than what reached the image.
expect "pulled wipe exit 1"
written=$(vm_section "$dir/output.txt" "Drive__QEMU HARDDISK.json" | python3 -c '
import json, sys
record = json.load(sys.stdin)
if not record["outcome"].startswith("Terminated: pass 1 failed to write at sector "):
    sys.exit("FAIL: the record of the pulled disk ends " + repr(record["outcome"]))
print(record["run"]["sectorsWritten"])')
[ "$written" -gt 0 ] || vm_fail "the pulled disk's record counts no sector written"
[ "$written" -lt $((pulled_size / 512)) ] ||
  vm_fail "the pulled disk's record counts $written sectors written: it was not pulled in the middle of its pass"
vm_section "$dir/output.txt" "Drive__QEMU HARDDISK.log" | grep -q "Pass Failed at sector $written: " ||
  vm_fail "the pulled disk's log does not say where its pass failed"
head -c $((written * 512)) "$dir/pulled.img" >"$dir/pulled-written.img"
vm_check pattern ZDVMTEST "$dir/pulled-written.img"
echo "the vanished disk refused, the pulled one terminated with an honest log and record"
