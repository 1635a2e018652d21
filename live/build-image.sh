#!/usr/bin/env bash
# Builds the boot medium from this build's programs and Debian's packages:
# OUT/zeza-dera-live-VERSION.iso, a hybrid image for CD and USB stick on
# BIOS and UEFI machines, and OUT/pxe/{vmlinuz,initrd.img}, what a network
# boot server serves (with boot.ipxe, a script for iPXE). Debian's kernel is downloaded once into OUT/cache.
# Usage: live/build-image.sh OUT VERSION CLI_PROGRAM DESKTOP_PROGRAM
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/kernel-tree.sh"

out=$(realpath -m "$1") version=$2 cli=$3 desktop=$4
for tool in blkid grub-mkrescue xorriso mformat mkfs.vfat cpio zstd busybox modprobe depmod apt-get dpkg-deb; do
  command -v "$tool" >/dev/null || {
    echo "live: $tool is missing (scripts/setup installs it)" >&2
    exit 1
  }
done
[ -d /usr/lib/grub/i386-pc ] && [ -d /usr/lib/grub/x86_64-efi ] || {
  echo "live: the BIOS and UEFI boot loaders are missing (grub-pc-bin, grub-efi-amd64-bin)" >&2
  exit 1
}

# Drivers of the disks, controllers, keyboards, mice and screens a machine
# may have; what a machine lacks is loaded and stays idle.
MODULES=(ahci ata_piix sd_mod sr_mod isofs nvme virtio_pci virtio_blk virtio_scsi
  mpt3sas megaraid_sas hpsa aacraid smartpqi mmc_block sdhci_pci rtsx_pci_sdmmc
  xhci_pci ehci_pci ohci_pci uhci_hcd usb_storage uas
  usbhid hid_generic hid_multitouch evdev psmouse
  bochs
  vfat nls_cp437 nls_utf8 nls_ascii crc32c_generic)
MEDIUM_LABEL=ZEZA_DERA_LIVE
RECORDS_LABEL=ZD-RECORDS

kernel_fetch "$out/cache" || {
  echo "live: $KERNEL_ERROR" >&2
  exit 1
}
tree=$out/tree
rm -rf "$tree" "$out/iso" "$out/pxe"
mkdir -p "$tree"/{bin,sbin,usr/bin,usr/sbin,proc,sys,dev,tmp,run,mnt,etc,root,var/log,var/cache/fontconfig}
cp "$(command -v busybox)" "$tree/bin/busybox"
for applet in $("$tree/bin/busybox" --list); do
  [ -e "$tree/bin/$applet" ] || ln -s busybox "$tree/bin/$applet"
done

# busybox has no blkid: util-linux's finds the medium by its label.
tree_copy_with_libraries "$tree" "$(command -v blkid)" /sbin/blkid
# udev tells the wizard of keyboards and mice, also those plugged in later.
packages_fetch "$out/cache/udev" udev || {
  echo "live: $PACKAGES_ERROR" >&2
  exit 1
}
tree_copy_with_libraries "$tree" "$out/cache/udev/bin/udevadm" /sbin/udevadm
mkdir -p "$tree/lib/systemd" "$tree/etc/udev/rules.d"
ln -s /sbin/udevadm "$tree/lib/systemd/systemd-udevd"
cp "$out/cache/udev/lib/udev/rules.d/60-input-id.rules" "$tree/etc/udev/rules.d/"
tree_copy_with_libraries "$tree" "$cli" /usr/local/bin/zeza-dera-cli
tree_copy_with_libraries "$tree" "$desktop" /usr/local/bin/zeza-dera
strip --strip-debug "$tree"/usr/local/bin/*
plugins=$(find /usr/lib -type d -path '*/qt6/plugins' | head -n 1)
for plugin in platforms/libqlinuxfb.so platforms/libqoffscreen.so imageformats/libqico.so; do
  tree_copy_with_libraries "$tree" "$plugins/$plugin" "$plugins/$plugin"
done
for data in /etc/fonts /usr/share/fonts/truetype/dejavu /usr/share/X11/xkb; do
  mkdir -p "$tree$(dirname "$data")"
  cp -rL "$data" "$tree$data"
done

tree_add_modules "$tree" "${MODULES[@]}" || exit 1
echo "${MODULES[*]}" >"$tree/etc/zd-live-modules"
printf 'MEDIUM_LABEL=%s\nRECORDS_LABEL=%s\nVERSION=%s\n' "$MEDIUM_LABEL" "$RECORDS_LABEL" "$version" >"$tree/etc/zd-live.conf"
cp "$here/init.sh" "$tree/init"
mkdir -p "$tree/usr/local/share/zeza-dera-live"
cp "$here/media.sh" "$here/medium-event.sh" "$tree/usr/local/share/zeza-dera-live/"
chmod 755 "$tree/init" "$tree/usr/local/share/zeza-dera-live/medium-event.sh"

mkdir -p "$out/iso/boot/grub" "$out/pxe"
cp "$KERNEL_IMAGE" "$out/iso/boot/vmlinuz"
# zstd unpacks fast enough even on an emulated processor.
(cd "$tree" && find . -print0 | cpio --null -o -H newc --quiet) | zstd -q -T0 -9 >"$out/iso/boot/initrd.img"
cp "$out/iso/boot/vmlinuz" "$out/iso/boot/initrd.img" "$out/pxe/"
# A network boot script for iPXE; unattended options go on its kernel line.
printf '#!ipxe\nkernel vmlinuz quiet\ninitrd initrd.img\nboot\n' >"$out/pxe/boot.ipxe"
sed "s/@VERSION@/$version/g; s/@RECORDS_LABEL@/$RECORDS_LABEL/g" "$here/grub.cfg" >"$out/iso/boot/grub/grub.cfg"

# The records partition, writable FAT that leaves with the stick.
rm -f "$out/records.img"
mkfs.vfat -n "$RECORDS_LABEL" -C "$out/records.img" $((64 * 1024)) >/dev/null
echo "# Kernel options for boots from this stick, e.g.
# set zd_options=\"zd.wipe=all zd.method=1 zd.confirm=yes zd.poweroff=1\"" >"$out/options.cfg.sample"
MTOOLS_SKIP_CHECK=1 mcopy -i "$out/records.img" "$out/options.cfg.sample" ::options.cfg.sample

iso=$out/zeza-dera-live-$version.iso
rm -f "$iso"
grub-mkrescue -o "$iso" "$out/iso" -- -volid "$MEDIUM_LABEL" \
  -append_partition 3 0x0c "$out/records.img" >"$out/grub-mkrescue.log" 2>&1 || {
  cat "$out/grub-mkrescue.log" >&2
  exit 1
}
rm -f "$out/records.img" "$out/options.cfg.sample"
echo "$iso: $(($(stat -c %s "$iso") >> 20)) MiB (kernel $KERNEL_VERSION, initramfs $(($(stat -c %s "$out/pxe/initrd.img") >> 20)) MiB)"
