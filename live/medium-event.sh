#!/bin/sh
# Run by busybox uevent for every kernel event: a disk that carries this
# boot medium is held as the medium is as soon as it appears, and let go
# when it is pulled out.
. /etc/zd-live.conf
. /usr/local/share/zeza-dera-live/media.sh
[ "$SUBSYSTEM" = block ] && [ -n "$DEVNAME" ] || exit 0
case $ACTION in
add) hold_if_medium "/dev/$DEVNAME" ;;
remove)
  if [ "$DEVTYPE" = disk ] && [ -d "/run/live/media/$DEVNAME" ]; then
    umount -l "/run/live/media/$DEVNAME" 2>/dev/null
    rmdir "/run/live/media/$DEVNAME"
    say "/dev/$DEVNAME, which carried this boot medium, is gone"
  fi
  ;;
esac
