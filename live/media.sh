# shellcheck shell=sh
# Telling the boot medium's image on a disk, for the first process
# (init.sh) and for disks plugged in later (medium-event.sh). Sourced,
# after /etc/zd-live.conf.
#
#   say TEXT                 tells the console and the boot's transcript
#   disk_of DEVICE           the whole disk a partition or disk is on
#   probe DEVICE             "DEVICE TYPE LABEL" of its file system
#   probe_present            probes every block device once, for
#                            devices_labelled and hold_new_media
#   devices_labelled LABEL TYPE
#                            the devices present with a file system of that
#                            label and type, whole disks first
#   hold_if_medium DEVICE    when DEVICE carries this image and its disk
#                            is not yet held, mounts it read-only under
#                            /run/live/media, where the programs refuse it
#   hold_new_media           the same for every device that came after
#                            probe_present

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
probe() {
  blkid -p -o export "$1" 2>/dev/null |
    awk -v device="$1" '/^TYPE=/ { type = substr($0, 6) } /^LABEL=/ { label = substr($0, 7) }
      END { print device, type, label }'
}

PROBED=/run/live/probed
probe_present() {
  for name in $(ls /sys/class/block | sort); do probe "/dev/$name"; done >"$PROBED"
}

devices_labelled() {
  awk -v label="$1" -v type="$2" '$2 == type && substr($0, length($1 $2) + 3) == label { print $1 }' "$PROBED"
}

# One folder per disk is its lock: the first process to make it holds it.
hold_if_medium() {
  [ "$(probe "$1")" = "$1 iso9660 $MEDIUM_LABEL" ] || return 0
  held=/run/live/media/$(disk_of "$1")
  mkdir -p /run/live/media
  mkdir "$held" 2>/dev/null || return 0
  if mount -t iso9660 -o ro "$1" "$held"; then
    say "$1 carries this boot medium too: it is never wiped"
  else
    say "$1 carries this boot medium but cannot be held: do not wipe it"
  fi
}

hold_new_media() {
  for name in /sys/class/block/*; do
    grep -q "^/dev/${name##*/} " "$PROBED" || hold_if_medium "/dev/${name##*/}"
  done
}
