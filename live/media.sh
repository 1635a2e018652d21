# shellcheck shell=sh
# Telling the boot medium's image on a disk, for the first process
# (init.sh) and for disks plugged in later (medium-event.sh). Sourced,
# after /etc/zd-live.conf.
#
#   say TEXT                 tells the console and the boot's transcript
#   disk_of DEVICE           the whole disk a partition or disk is on
#   devices_labelled LABEL TYPE
#                            the devices with a file system of that label
#                            and type, whole disks first
#   hold_if_medium DEVICE    when DEVICE carries this image and its disk
#                            is not yet held, mounts it read-only under
#                            /run/live/media, where the programs refuse it

# What the medium said this boot, kept with the records at the end.
TRANSCRIPT=/run/zd-live.log
say() {
  echo "zeza-dera-live: $*" | tee -a "$TRANSCRIPT"
}

disk_of() {
  name=${1#/dev/}
  if [ -e "/sys/class/block/$name/partition" ]; then
    basename "$(dirname "$(readlink -f "/sys/class/block/$name")")"
  else
    echo "$name"
  fi
}

# Each device is read itself (blkid -p): a cache or the partition table's
# view can miss an image written to a whole stick.
labelled() {
  [ "$(blkid -p -o value -s LABEL "$1" 2>/dev/null)" = "$2" ] &&
    [ "$(blkid -p -o value -s TYPE "$1" 2>/dev/null)" = "$3" ]
}

devices_labelled() {
  for name in $(ls /sys/class/block | sort); do
    labelled "/dev/$name" "$1" "$2" && echo "/dev/$name"
  done
}

# One folder per disk is its lock: the first process to make it holds it.
hold_if_medium() {
  labelled "$1" "$MEDIUM_LABEL" iso9660 || return 0
  held=/run/live/media/$(disk_of "$1")
  mkdir -p /run/live/media
  mkdir "$held" 2>/dev/null || return 0
  if mount -t iso9660 -o ro "$1" "$held"; then
    say "$1 carries this boot medium too: it is never wiped"
  else
    say "$1 carries this boot medium but cannot be held: do not wipe it"
  fi
}
