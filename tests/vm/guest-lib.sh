# Helpers for scenario scripts inside the guest (". /etc/vm-guest.sh").

# The block devices a scenario is about: every disk but loop and RAM ones.
vm_disks() {
  for disk in /sys/block/*; do
    case ${disk##*/} in
    loop* | ram*) ;;
    *) echo "${disk##*/}" ;;
    esac
  done
}

# Waits until N disks are there (controllers probe them one after another).
vm_wait_disks() {
  tries=0
  while [ "$(vm_disks | wc -l)" -lt "$1" ]; do
    tries=$((tries + 1))
    if [ "$tries" -gt 600 ]; then
      echo "only these disks appeared: $(vm_disks | tr '\n' ' ')"
      return 1
    fi
    usleep 100000
  done
}

# The disk whose size is BYTES: the bed tells its disks apart by size,
# without asking the program under test.
vm_disk_of_size() {
  for disk in $(vm_disks); do
    if [ "$(($(cat "/sys/block/$disk/size") * 512))" -eq "$1" ]; then
      echo "/dev/$disk"
      return 0
    fi
  done
  echo "no disk of $1 bytes among: $(vm_disks | tr '\n' ' ')" >&2
  return 1
}

# Asks the first process to make DEVICE the root file system and to run
# the scenario again there with the argument "rooted".
vm_switch_root() {
  echo "$1" >/run/vm-new-root
  exit 200
}


# With the root switched to a stack of disks: lists the drives, tries to
# wipe each of the devices given after "--" (each must be refused as the
# running system's) and then wipes the OTHER devices (which must go). The
# host checks the report with vm_check_system_refusals.
vm_system_checks() {
  others=
  while [ "$1" != -- ]; do
    others="$others $1"
    shift
  done
  shift
  echo "root: $(grep ' / / ' /proc/self/mountinfo | cut -d ' ' -f 3)"
  echo "--- list"
  zeza-dera-cli list --json 2>/tmp/list.err || return 1
  echo "--- end"
  cat /tmp/list.err
  mkdir -p /tmp/logs
  for refused in "$@"; do
    zeza-dera-cli wipe "$refused" --method 1 --yes --log-dir /tmp/logs
    echo "refused wipe $refused exit $?"
  done
  # shellcheck disable=SC2086 # one argument per device
  zeza-dera-cli wipe $others --method 16 --custom ZDVMTEST --yes --log-dir /tmp/logs
  echo "wipe of the others exit $?"
}

# Asks the host to pull out the disk with the device id ID (vm_disk_* ID
# gives ID-dev) and waits until the kernel has let go of DEVICE.
vm_unplug() {
  echo "zd-vm-unplug $1-dev"
  tries=0
  while [ -e "/sys/block/${2#/dev/}" ]; do
    tries=$((tries + 1))
    [ "$tries" -gt 600 ] && return 1
    usleep 100000
  done
}

# Waits until the file holds the text (at most 60 seconds).
vm_wait_text() {
  tries=0
  until grep -q -- "$2" "$1" 2>/dev/null; do
    tries=$((tries + 1))
    [ "$tries" -gt 600 ] && return 1
    usleep 100000
  done
}
