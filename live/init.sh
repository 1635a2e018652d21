#!/bin/sh
# First process of the boot medium. Loads the drivers, finds the medium by
# its label on whatever disk carries it (however the machine booted) and
# mounts it at /run/live/medium, where the programs refuse it as the
# running system's drive; mounts the medium's records partition under
# /var/log/zeza-dera; then runs the unattended wipe the kernel command
# line asks for, or the desktop wizard on the framebuffer with a console
# on the second virtual terminal.
export PATH=/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin HOME=/root
. /etc/zd-live.conf
mount -t proc proc /proc
mount -t sysfs sysfs /sys
mount -t devtmpfs devtmpfs /dev
mount -t tmpfs -o mode=755 tmpfs /run
mount -t tmpfs tmpfs /tmp
mkdir -p /dev/pts /run/live/medium /var/log/zeza-dera
mount -t devpts devpts /dev/pts
exec </dev/console >/dev/console 2>&1
. /usr/local/share/zeza-dera-live/media.sh
# Ctrl+Alt+Del on a console must not restart the machine in the middle of
# a wipe: the kernel hands it to this process, which ignores it.
echo 0 >/proc/sys/kernel/ctrl-alt-del

for module in $(cat /etc/zd-live-modules); do modprobe -q "$module" 2>/dev/null; done

# Disks keep appearing while their controllers probe (USB ones last): wait
# until the list has stood still for two seconds, or 30 seconds at most.
settle_disks() {
  last='' still=0 tries=0
  while [ "$still" -lt 20 ] && [ "$tries" -lt 300 ]; do
    now=$(ls /sys/class/block | tr '\n' ' ')
    if [ "$now" = "$last" ]; then still=$((still + 1)); else still=0 last=$now; fi
    tries=$((tries + 1))
    usleep 100000
  done
}

settle_disks
probe_present
# Every disk that carries this image (a second stick too) is left alone.
media=$(devices_labelled "$MEDIUM_LABEL" iso9660)
media_disks=$(for device in $media; do disk_of "$device"; done | sort -u)
medium=$(echo "$media" | head -n 1)
medium_disk=${medium:+$(disk_of "$medium")}
[ -n "$medium_disk" ] && mkdir -p "/run/live/media/$medium_disk"

# The records go to the medium's own FAT partition, into a folder per boot
# so that the records of many machines can share one stick. That partition
# is what /run/live/medium holds, where the programs refuse the drive it is
# on: the kernel lets no one mount the whole stick's ISO image and one of
# its partitions at once. A CD has no such partition: its image is mounted.
records=
if [ -n "$medium_disk" ]; then
  for device in $(devices_labelled "$RECORDS_LABEL" vfat); do
    [ "$(disk_of "$device")" = "$medium_disk" ] && records=$device && break
  done
fi
machine=$(tr -cd 'A-Za-z0-9.-' </sys/class/dmi/id/product_serial 2>/dev/null | cut -c 1-32)
folder=$(date +%Y%m%d-%H%M%S)${machine:+-$machine}
if [ -n "$records" ] && mount -t vfat -o rw,flush,umask=0027 "$records" /run/live/medium &&
  mkdir -p "/run/live/medium/$folder" && mount --bind "/run/live/medium/$folder" /var/log/zeza-dera; then
  say "the boot medium is /dev/$medium_disk: it is never wiped"
  say "logs and records go to its partition $RECORDS_LABEL ($records), folder $folder"
else
  [ -n "$records" ] && umount /run/live/medium 2>/dev/null
  records=
  if [ -n "$medium" ] && mount -t iso9660 -o ro "$medium" /run/live/medium; then
    say "the boot medium is /dev/$medium_disk: it is never wiped"
  else
    say "no boot medium labelled $MEDIUM_LABEL is attached (network boot?)"
  fi
  mount -t tmpfs -o mode=750 tmpfs /var/log/zeza-dera
  say "no writable $RECORDS_LABEL partition on the medium (a CD?): logs and records stay in memory and are lost at power-off"
fi

# Other disks with this image are held where the programs refuse them,
# those plugged in later as well: events are followed before the devices
# that came after the first probe are looked at, so that none is missed.
uevent /usr/local/share/zeza-dera-live/medium-event.sh >/dev/console 2>&1 &
for device in $media; do hold_if_medium "$device"; done
hold_new_media

# Writes the transcript next to the records and lets go of the partition.
finish_records() {
  cp "$TRANSCRIPT" /var/log/zeza-dera/boot.log 2>/dev/null
  sync
  if [ -n "$records" ]; then
    umount /var/log/zeza-dera && umount /run/live/medium
  fi
}

option() {
  for word in $(cat /proc/cmdline); do
    case $word in "zd.$1="*) echo "${word#*=}" ;; esac
  done | tail -n 1
}

# The devices of the disks the options name: every disk but the medium's
# (all) or those with the given serial numbers, as the program lists them.
wipe_targets() {
  if [ "$1" = all ]; then
    for name in /sys/block/*; do
      name=${name##*/}
      case $name in loop* | ram* | zram* | sr* | fd* | dm-* | md* | nbd*) continue ;; esac
      echo "/dev/$name"
    done
  else
    zeza-dera-cli list --json --physical >/tmp/disks.json || return 1
    for serial in $(echo "$1" | tr , ' '); do
      device=$(awk -v serial="$serial" '
        /"deviceName":/ { split($0, part, "\""); name = part[4] }
        /"serial":/ { split($0, part, "\""); if (part[4] == serial) { print name; exit } }' /tmp/disks.json)
      if [ -z "$device" ]; then
        say "no disk has the serial number $serial"
        return 1
      fi
      echo "$device"
    done
  fi >/tmp/targets
  for device in $(cat /tmp/targets); do
    if echo "$media_disks" | grep -qx "${device#/dev/}"; then
      say "leaving $device alone: it carries this boot medium" >&2
    else
      echo "$device"
    fi
  done
}

unattended() {
  wipe=$1 method=$(option method) sanitize=$(option sanitize) verify=$(option verify)
  if [ -n "$method" ] && [ -n "$sanitize" ]; then
    say "zd.method and zd.sanitize exclude each other; nothing is written"
    return 1
  elif [ -n "$method" ]; then
    command="wipe --method $method" how="method $method"
  elif [ "$sanitize" = auto ]; then
    command="sanitize --action auto" how="the drives' own sanitize commands"
  else
    say "zd.wipe needs zd.method=ID|NAME or zd.sanitize=auto${sanitize:+, not zd.sanitize=$sanitize}; nothing is written"
    return 1
  fi
  case $verify in "" | samples | full) ;; *)
    say "zd.verify is samples or full, not $verify; nothing is written"
    return 1
    ;;
  esac
  targets=$(wipe_targets "$wipe") || {
    say "nothing is written"
    return 1
  }
  if [ -z "$targets" ]; then
    say "no disk to wipe"
    return 1
  fi
  say "disks to wipe with $how: $(echo "$targets" | tr '\n' ' ')"
  if [ "$(option confirm)" != yes ]; then
    say "zd.confirm=yes is not given: nothing is written"
    return 1
  fi
  # What the machine held, for the records.
  zeza-dera-cli list --json >/var/log/zeza-dera/disks.json 2>/dev/null
  set -- $command $targets --yes --progress json --log-dir /var/log/zeza-dera
  [ -n "$verify" ] && set -- "$@" --verify "$verify"
  {
    QT_QPA_PLATFORM=offscreen zeza-dera-cli "$@" 2>/tmp/wipe.err
    echo $? >/tmp/wipe.status
  } | tee /var/log/zeza-dera/progress.jsonl
  tee -a "$TRANSCRIPT" </tmp/wipe.err
  return "$(cat /tmp/wipe.status)"
}

wipe=$(option wipe)
if [ -n "$wipe" ]; then
  status=0
  unattended "$wipe" || status=$?
  say "unattended wipe finished: exit code $status"
  say "records: $(ls /var/log/zeza-dera | tr '\n' ' ')"
  if [ "$(option poweroff)" = 1 ]; then
    finish_records
    say "powering off"
    poweroff -f
  fi
fi

# The interactive session: the wizard on the first virtual terminal, a
# shell with zeza-dera-cli on the second, one key apart.
echo "Movan Zeza Dera $VERSION: this console has zeza-dera-cli; Alt+F1 returns to the wizard." >/dev/tty2
setsid -c sh -l <>/dev/tty2 >&0 2>&1 &
echo "Movan Zeza Dera $VERSION: Ctrl+Alt+F2 shows a console with zeza-dera-cli." >/dev/tty1

# udev tells Qt of the keyboards and mice as they come and go. A tablet's
# or touch screen's absolute position is scaled to the screen ("abs"); a
# relative mouse ignores that. No key combination ends the wizard
# (disable-zap: Qt quits on Ctrl+Alt+Backspace, also typed on a console).
# The terminal's keyboard stays on, so that the kernel switches terminals
# on Ctrl+Alt+F2; the wizard stops drawing and taking input while away.
/lib/systemd/systemd-udevd --daemon
udevadm trigger --subsystem-match=input --action=add
udevadm settle --timeout=10
mkdir -p /run/user && mkdir -m 700 /run/user/0
while [ -z "$(option text)" ] && [ -e /dev/fb0 ]; do
  (
    exec </dev/tty1 >/dev/tty1 2>>"$TRANSCRIPT"
    QT_QPA_PLATFORM=linuxfb:fb=/dev/fb0:tty=/dev/tty1 QT_QPA_EVDEV_MOUSE_PARAMETERS=abs \
      QT_QPA_EVDEV_KEYBOARD_PARAMETERS=disable-zap QT_QPA_FB_NO_LIBINPUT=1 QT_QPA_ENABLE_TERMINAL_KEYBOARD=1 \
      XDG_RUNTIME_DIR=/run/user/0 ZD_FULL_SCREEN=1 exec zeza-dera
  )
  say "the wizard ended; it starts again"
  sleep 3
done
[ -e /dev/fb0 ] || say "no framebuffer: the wizard cannot start; use zeza-dera-cli on this console"
cttyhack sh -l
finish_records
poweroff -f
