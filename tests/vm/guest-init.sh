#!/bin/sh
# First process of the test bed's guest. Runs /scenario.sh with its output
# on the second serial port, then a line with its exit code, then powers
# the machine off. A scenario that asks for another root (vm_switch_root)
# exits with 200 after writing the device to /run/vm-new-root; this process
# then mounts it, moves the kernel's file systems over and starts the same
# /init there, which runs the scenario again with the argument "rooted".
export PATH=/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin HOME=/root
stage=${1:-initial}
if [ "$stage" = initial ]; then
  mount -t proc proc /proc
  mount -t sysfs sysfs /sys
  mount -t devtmpfs devtmpfs /dev
  mount -t tmpfs tmpfs /run
  while read -r module; do modprobe "$module"; done </etc/vm-modules
fi
exec >/dev/ttyS1 2>&1 </dev/null
cd /
sh /scenario.sh "$stage"
code=$?
if [ "$code" -eq 200 ] && [ -s /run/vm-new-root ]; then
  device=$(cat /run/vm-new-root)
  if mount "$device" /newroot && cp /scenario.sh /newroot/scenario.sh; then
    for point in dev proc sys; do mount --move "/$point" "/newroot/$point"; done
    umount /run
    exec switch_root /newroot /init rooted
  fi
  echo "cannot switch the root to $device"
  code=1
fi
sync
echo "zd-vm-scenario-exit $code"
poweroff -f
