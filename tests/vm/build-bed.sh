#!/usr/bin/env bash
# Builds the bed under WORK: Debian's kernel and the storage tools in
# WORK/cache, and the guest's initramfs WORK/initramfs.cpio with the
# command-line program, LVM and mdadm in it.
# Usage: build-bed.sh WORK CLI_PROGRAM
set -euo pipefail
. "$(dirname "$0")/bed.sh"
work=$1 cli=$2
vm_check_host
vm_fetch_kernel "$work/cache"
vm_fetch_storage_tools "$work/cache"
here=$(dirname "$0")
vm_build_initramfs "$work/initramfs.cpio" "$cli=/usr/local/bin/zeza-dera-cli" \
  "$VM_TOOLS_ROOT/sbin/lvm=/sbin/lvm" "$VM_TOOLS_ROOT/sbin/mdadm=/sbin/mdadm" "$here/lvm.conf=/etc/lvm/lvm.conf"
echo "kernel $VM_KERNEL_VERSION; initramfs $(du -h "$work/initramfs.cpio" | cut -f 1)"
