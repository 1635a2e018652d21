# A test bed of virtual machines with real kernels' disks. Sourced by the
# scenario scripts (and by anything else that boots this program in QEMU):
#
#   vm_fetch_kernel CACHE          Debian's 6.1 kernel, downloaded and unpacked
#   vm_fetch_storage_tools CACHE   Debian's lvm2 and mdadm, for the guest
#   vm_build_initramfs OUT FILE... busybox, the given programs with their
#                                  libraries, the storage modules
#   vm_disk_* ID IMAGE ...         describe one emulated disk
#   vm_run DIR GUEST_SCRIPT        boot with the described disks, run the
#                                  script inside (with guest-lib.sh's
#                                  helpers), power off; prints its output,
#                                  returns its exit code
#   vm_run_guest DIR [TIMEOUT]     vm_run of DIR/guest.sh, its output kept
#                                  in DIR/output.txt; fails unless it
#                                  exits 0
#   vm_check ...                   check image files (check_images.py)
#
# build-bed.sh builds the kernel and initramfs once; scenario scripts
# (*_test.sh) start with vm_use_bed. The host reads the disks' image files
# after vm_run has returned. Nothing here touches a disk of the host: every
# disk is an image file the scenario made.

VM_BED_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
. "$VM_BED_DIR/../../live/kernel-tree.sh"
VM_EXIT_MARK="zd-vm-scenario-exit"

# Exit code that makes CTest count a test as skipped (SKIP_RETURN_CODE).
VM_SKIP=77

# Ends the test as skipped, or as failed where devices are required (CI).
vm_skip() {
  if [ -n "${ZD_REQUIRE_DEVICES:-}" ]; then
    echo "FAIL: virtual machine tests are required here, but: $*" >&2
    exit 1
  fi
  echo "SKIP: $*"
  exit "$VM_SKIP"
}

vm_fail() {
  echo "FAIL: $*" >&2
  exit 1
}

vm_check_host() {
  local tool
  for tool in qemu-system-x86_64 busybox cpio apt-get apt-cache dpkg-deb modprobe depmod sfdisk mkfs.ext4 mkfs.vfat \
    python3 timeout; do
    command -v "$tool" >/dev/null || vm_skip "$tool is missing (scripts/setup installs it)"
  done
}

# Sets VM_KERNEL (the kernel image), VM_KERNEL_VERSION and VM_MODULE_ROOT
# (a tree with lib/modules/VERSION). Downloads once per cache.
vm_fetch_kernel() {
  kernel_fetch "$1" || vm_skip "$KERNEL_ERROR"
  VM_KERNEL=$KERNEL_IMAGE VM_KERNEL_VERSION=$KERNEL_VERSION VM_MODULE_ROOT=$KERNEL_MODULE_ROOT
}

# The tools that build the stacks a system may live on (LVM, md RAID),
# for the guest only: downloaded from Debian's archive and unpacked in
# CACHE/storage-tools, which VM_TOOLS_ROOT names. Their libraries that the
# host lacks are found there too.
VM_TOOL_PACKAGES=(lvm2 dmsetup libdevmapper1.02.1 libdevmapper-event1.02.1 libaio1 mdadm)
vm_fetch_storage_tools() {
  VM_TOOLS_ROOT=$(realpath -m "$1")/storage-tools
  packages_fetch "$VM_TOOLS_ROOT" "${VM_TOOL_PACKAGES[@]}" || vm_skip "$PACKAGES_ERROR"
}

# Modules of the emulated controllers, the file systems and the stacks the
# scenarios build; their dependencies come along.
VM_MODULES=(virtio_pci virtio_blk virtio_scsi nvme ahci sd_mod xhci_pci usb_storage uas
  ext4 crc32c_generic vfat nls_cp437 nls_utf8 nls_ascii dm_mod raid1 md_mod)

# What the program's certificate needs: Qt's offscreen platform and fonts.
vm_certificate_files() {
  local plugin
  plugin=$(find /usr/lib -path '*/qt6/plugins/platforms/libqoffscreen.so' 2>/dev/null | head -n 1)
  [ -n "$plugin" ] && echo "$plugin"
  find /etc/fonts /usr/share/fonts/truetype/dejavu -type f 2>/dev/null
}

# Writes the root tree of the guest into TREE: busybox, the files given
# (each SOURCE or SOURCE=DEST; programs come with their libraries), the
# modules, an /init that runs /scenario.sh. The same tree serves as a root
# file system on a disk.
vm_build_tree() {
  local tree=$1 file dest module applet
  shift
  rm -rf "$tree"
  mkdir -p "$tree"/{bin,sbin,usr/bin,usr/sbin,proc,sys,dev,tmp,run,mnt,etc,newroot,root,var/cache/fontconfig}
  cp "$(command -v busybox)" "$tree/bin/busybox"
  for applet in $("$tree/bin/busybox" --list); do
    [ -e "$tree/bin/$applet" ] || ln -s busybox "$tree/bin/$applet"
  done
  for file in "$@" $(vm_certificate_files); do
    dest=${file#*=}
    file=${file%%=*}
    LIBRARY_ROOT=${VM_TOOLS_ROOT:-} tree_copy_with_libraries "$tree" "$file" "$dest"
  done
  # The programs under test run without their debugging sections: a
  # smaller image boots faster.
  find "$tree/usr/local/bin" -type f -exec strip --strip-debug {} + 2>/dev/null || true
  tree_add_modules "$tree" "${VM_MODULES[@]}"
  printf '%s\n' "${VM_MODULES[@]}" >"$tree/etc/vm-modules"
  cp "$VM_BED_DIR/guest-init.sh" "$tree/init"
  cp "$VM_BED_DIR/guest-lib.sh" "$tree/etc/vm-guest.sh"
  chmod 755 "$tree/init"
}

# Builds the guest's initramfs OUT (an uncompressed cpio archive: it
# unpacks faster under emulation than it loads compressed) and keeps its
# tree in OUT.tree. Files as for vm_build_tree.
vm_build_initramfs() {
  local out=$1 tree=$1.tree
  shift
  vm_build_tree "$tree" "$@"
  (cd "$tree" && find . -print0 | cpio --null -o -H newc --quiet) >"$out.part"
  mv "$out.part" "$out"
}

# --- Disks. Each call adds one emulated disk over an image file, with the
# device id ID-dev (what the guest's vm_unplug names).
VM_QEMU_DISKS=()
# vm_image IMAGE SIZE: an empty (sparse) image, unless it exists.
vm_image() {
  local image=$1 size=$2
  [ -e "$image" ] || truncate -s "$size" "$image"
}
vm_drive() {
  VM_QEMU_DISKS+=(-drive "file=$2,format=raw,if=none,id=$1,cache=unsafe")
}
# vm_disk_nvme ID IMAGE SERIAL EUI64 [BLOCK_SIZE]
vm_disk_nvme() {
  vm_drive "$1" "$2"
  VM_QEMU_DISKS+=(-device "nvme,id=$1-ctrl,serial=$3"
    -device "nvme-ns,id=$1-dev,drive=$1,bus=$1-ctrl,nsid=1,eui64=$4,logical_block_size=${5:-512},physical_block_size=${5:-512}")
}
# vm_disk_sata ID IMAGE MODEL SERIAL WWN ROTATION_RATE (1: solid state)
vm_disk_sata() {
  vm_drive "$1" "$2"
  VM_QEMU_DISKS+=(-device "ahci,id=$1-ahci" -device "ide-hd,id=$1-dev,bus=$1-ahci.0,drive=$1,model=$3,serial=$4,wwn=$5,rotation_rate=$6")
}
# vm_disk_scsi ID IMAGE VENDOR PRODUCT SERIAL WWN ROTATION_RATE
VM_SCSI_BUS=""
vm_disk_scsi() {
  vm_drive "$1" "$2"
  if [ -z "$VM_SCSI_BUS" ]; then
    VM_SCSI_BUS=scsi0
    VM_QEMU_DISKS+=(-device "virtio-scsi-pci,id=$VM_SCSI_BUS")
  fi
  VM_QEMU_DISKS+=(-device "scsi-hd,id=$1-dev,bus=$VM_SCSI_BUS.0,drive=$1,vendor=$3,product=$4,serial=$5,wwn=$6,rotation_rate=$7")
}
# vm_disk_usb ID IMAGE SERIAL
VM_USB_BUS=""
vm_disk_usb() {
  vm_drive "$1" "$2"
  if [ -z "$VM_USB_BUS" ]; then
    VM_USB_BUS=xhci0
    VM_QEMU_DISKS+=(-device "qemu-xhci,id=$VM_USB_BUS")
  fi
  VM_QEMU_DISKS+=(-device "usb-storage,id=$1-dev,bus=$VM_USB_BUS.0,drive=$1,serial=$3")
}
# vm_disk_virtio ID IMAGE SERIAL
vm_disk_virtio() {
  vm_drive "$1" "$2"
  VM_QEMU_DISKS+=(-device "virtio-blk-pci,id=$1-dev,drive=$1,serial=$3")
}

# The QMP socket of the machine vm_run starts, for vm_qmp.
VM_QMP_SOCKET=""

# Sends one QMP command (JSON) to the running machine; prints the reply.
vm_qmp() {
  python3 "$VM_BED_DIR/qmp.py" "$VM_QMP_SOCKET" "$1"
}

# Pulls out the disks that the guest asks for (vm_unplug) while the machine
# runs: follows its output until QEMU, process QEMU_PID, ends.
vm_serve_unplugs() {
  local output=$1 qemu=$2 line
  tail -n +1 -f --pid="$qemu" "$output" 2>/dev/null | while read -r line; do
    line=${line%$'\r'}
    case $line in
    "zd-vm-unplug "*)
      vm_qmp "{\"execute\": \"device_del\", \"arguments\": {\"id\": \"${line#zd-vm-unplug }\"}}" >/dev/null ||
        echo "QEMU did not pull out ${line#zd-vm-unplug }" >&2
      ;;
    esac
  done
}

# vm_run DIR GUEST_SCRIPT [TIMEOUT_SECONDS]: boots the initramfs VM_INITRAMFS
# with the described disks, the guest script as /scenario.sh. The guest's
# kernel console goes to DIR/console.log, the script's output to
# DIR/output.log (and to standard output once the machine is off). Returns
# the script's exit code, or 124 when the machine did not finish in time.
vm_run() {
  local dir=$1 script=$2 limit=${3:-240} staging status qemu
  mkdir -p "$dir"
  staging=$dir/scenario
  rm -rf "$staging" && mkdir -p "$staging"
  cp "$script" "$staging/scenario.sh"
  (cd "$staging" && echo scenario.sh | cpio -o -H newc --quiet) >"$dir/scenario.cpio"
  cat "$VM_INITRAMFS" "$dir/scenario.cpio" >"$dir/initrd"
  : >"$dir/output.log"
  : >"$dir/console.log"
  VM_QMP_SOCKET=$dir/qmp.sock
  rm -f "$VM_QMP_SOCKET"
  timeout --kill-after=10 "$limit" qemu-system-x86_64 -accel tcg -machine pc -cpu max -smp 1 -m 1024 \
    -nodefaults -no-user-config -display none -no-reboot \
    -kernel "$VM_KERNEL" -initrd "$dir/initrd" \
    -append "console=ttyS0 panic=-1 loglevel=4 usb-storage.delay_use=0 ${VM_KERNEL_ARGS:-}" \
    -serial "file:$dir/console.log" -serial "file:$dir/output.log" \
    -qmp "unix:$VM_QMP_SOCKET,server=on,wait=off" \
    "${VM_QEMU_DISKS[@]}" &
  qemu=$!
  vm_serve_unplugs "$dir/output.log" "$qemu"
  status=0
  wait "$qemu" || status=$?
  rm -f "$dir/initrd" "$dir/scenario.cpio"
  # The serial line ends its lines with CR LF.
  sed -i 's/\r$//' "$dir/output.log"
  sed "/^$VM_EXIT_MARK /d" "$dir/output.log"
  if [ "$status" -eq 124 ] || [ "$status" -eq 137 ]; then
    echo "the virtual machine did not finish within $limit seconds; its console:" >&2
    tail -n 30 "$dir/console.log" >&2
    return 124
  fi
  local code
  code=$(sed -n "s/^$VM_EXIT_MARK \([0-9]*\).*/\1/p" "$dir/output.log" | tail -n 1)
  if [ -z "$code" ]; then
    echo "the guest ended without finishing its script (QEMU exit $status); its console:" >&2
    tail -n 30 "$dir/console.log" >&2
    return 125
  fi
  return "$code"
}

vm_run_guest() {
  local status=0
  vm_run "$1" "$1/guest.sh" "${2:-240}" >"$1/output.txt" || status=$?
  cat "$1/output.txt"
  [ "$status" -eq 0 ] || vm_fail "the guest's script ended with exit code $status"
}

# Sets up the bed for a scenario script: the cache and initramfs that the
# vm_bed fixture built under WORK.
vm_use_bed() {
  local work=$1
  vm_check_host
  [ -e "$work/initramfs.cpio" ] || vm_fail "the bed was not built: $work/initramfs.cpio is missing (run the vm_bed test)"
  vm_fetch_kernel "$work/cache"
  VM_INITRAMFS=$work/initramfs.cpio
}

# Host-side checks of image files and listings (see check_images.py).
vm_check() {
  python3 "$VM_BED_DIR/check_images.py" "$@"
}

# An image of SIZE filled with the byte 0xA5, so a byte the wipe missed
# shows.
vm_filled_image() {
  local image=$1 size=$2
  rm -f "$image"
  truncate -s "$size" "$image"
  python3 -c 'import sys
with open(sys.argv[1], "r+b") as f:
    size = f.seek(0, 2); f.seek(0)
    while size > 0:
        n = min(size, 1 << 20); f.write(b"\xa5" * n); size -= n' "$image"
}

# The part of a scenario's output between the lines "--- NAME" and "--- end".
vm_section() {
  sed -n "/^--- $2\$/,/^--- end\$/p" "$1" | sed '1d;$d'
}

# vm_partitioned_image IMAGE FS:MIB...: a GPT on an existing image, one
# partition per argument from 1 MiB on, each formatted (ext4 or vfat).
vm_partitioned_image() {
  local image=$1 start=2048 table="label: gpt" part fs sectors
  shift
  for part in "$@"; do
    sectors=$((${part#*:} * 2048))
    table+=$'\n'"start=$start, size=$sectors, type=linux"
    start=$((start + sectors))
  done
  sfdisk -q "$image" <<<"$table" >/dev/null
  start=2048
  for part in "$@"; do
    fs=${part%%:*} sectors=$((${part#*:} * 2048))
    case $fs in
    ext4) mkfs.ext4 -q -F -E offset=$((start * 512)) "$image" $((sectors / 2))k ;;
    vfat) mkfs.vfat --offset "$start" "$image" $((sectors / 2)) >/dev/null 2>&1 ;;
    esac
    start=$((start + sectors))
  done
}

# vm_root_file_system IMAGE OFFSET_BYTES SIZE_MIB: an ext4 file system at
# the offset of the image that holds the guest's whole tree, to boot on as
# its root (vm_switch_root).
vm_root_file_system() {
  mkfs.ext4 -q -F -L zdroot -E offset="$2" -d "$VM_INITRAMFS.tree" "$1" "$3"M
}

# vm_check_system_refusals OUTPUT MARKED... -- FREE...: checks what
# vm_system_checks reported: the system's drive was found, every refused
# wipe was refused as the running system's, the others were wiped, and the
# listing marks each MARKED device as holding the running system and no
# FREE one (the mark is the desktop program's refusal on its drive page
# too: both ask the platform's SystemDrives).
vm_check_system_refusals() {
  local output=$1 device code refusals=0
  shift
  ! grep -q "cannot be determined" "$output" || vm_fail "the drive of the running system was not found"
  while read -r device code; do
    refusals=$((refusals + 1))
    [ "$code" -eq 2 ] || vm_fail "the wipe of $device ended with exit code $code, not refused"
    grep -qF "refusing to wipe $device: it holds the running system" "$output" ||
      vm_fail "$device was not refused as the running system's"
  done < <(sed -n 's/^refused wipe \([^ ]*\) exit \([0-9]*\)$/\1 \2/p' "$output")
  [ "$refusals" -gt 0 ] || vm_fail "the guest reported no refused wipe"
  grep -qx "wipe of the others exit 0" "$output" || vm_fail "the devices apart from the system's were not wiped"
  vm_section "$output" list | python3 -c '
import json, sys
listing = json.load(sys.stdin)
marked = {entry["deviceName"] for kind in listing.values() for entry in kind if entry["holdsRunningSystem"]}
split = sys.argv.index("--")
missing = set(sys.argv[1:split]) - marked
wrong = set(sys.argv[split + 1:]) & marked
if missing or wrong:
    sys.exit(f"FAIL: the listing marks {sorted(marked)} as holding the running system: "
             f"{sorted(missing)} missing, {sorted(wrong)} wrongly marked")
' "$@"
}
