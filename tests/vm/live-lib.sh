# shellcheck shell=bash
# Boots of the boot medium that live/build-image.sh made (the vm_live
# fixture, live-image.sh), sourced by the live_* scenarios after bed.sh.
#
#   live_use_image WORK NAME   sets LIVE_ISO, LIVE_PXE (kernel and initramfs)
#                              and a fresh folder WORK/live-NAME, dir
#   live_stick IMAGE [OPTIONS] a copy of the image as a stick, with the
#                              kernel options its boot menu adds
#   live_mtools STICK CMD ...  mtools on the stick's records partition
#   live_start DIR ARGS...     starts the machine in the background
#   live_wait_off LIMIT DIR    waits until it has powered off by itself
#   live_wait_screen DIR ...   waits until the screen shows a window or colour
#   live_input_devices         plugs in a USB tablet and keyboard
#   live_click X Y, live_keys  input through them
#   live_type TEXT             types TEXT and Enter (letters, digits, " -./>;")
#   live_wait_console DIR LIMIT TEXT
#                              waits until the serial console shows TEXT

live_use_image() {
  vm_check_host
  local tool
  for tool in mdir mcopy mtype sfdisk; do
    command -v "$tool" >/dev/null || vm_skip "$tool is missing (scripts/setup installs it)"
  done
  LIVE_ISO=$(ls "$1"/live/zeza-dera-live-*.iso 2>/dev/null | head -n 1)
  [ -n "$LIVE_ISO" ] || vm_fail "the boot medium was not built (run the vm_live_image test)"
  LIVE_PXE=$1/live/pxe
  dir=$1/live-$2
  rm -rf "$dir" && mkdir -p "$dir"
}

# The byte offset of the records partition of an image, for mtools' @@.
live_records_offset() {
  sfdisk --json "$1" | python3 -c '
import json, sys
table = json.load(sys.stdin)["partitiontable"]
starts = [p["start"] for p in table["partitions"] if p["size"] == 64 * 2048]
if len(starts) != 1:
    sys.exit("FAIL: the image has no records partition of 64 MiB")
print(starts[0] * table.get("sectorsize", 512))'
}

live_stick() {
  local stick=$1 options=${2:-}
  cp "$LIVE_ISO" "$stick"
  if [ -n "$options" ]; then
    echo "set zd_options=\"$options\"" >"$stick.options"
    MTOOLS_SKIP_CHECK=1 mcopy -o -i "$stick@@$(live_records_offset "$stick")" "$stick.options" ::options.cfg
    rm -f "$stick.options"
  fi
}

# mtools on the records partition of a stick: live_mtools STICK mdir -/ ::
live_mtools() {
  local stick=$1 command=$2
  shift 2
  MTOOLS_SKIP_CHECK=1 "$command" -i "$stick@@$(live_records_offset "$stick")" "$@"
}

LIVE_QEMU=""
# live_start DIR QEMU_ARGS...: one processor, 1 GiB, the standard VGA, its
# first serial port in DIR/console.log and its monitor at DIR/qmp.sock.
live_start() {
  local dir=$1
  shift
  VM_QMP_SOCKET=$dir/qmp.sock
  rm -f "$VM_QMP_SOCKET"
  : >"$dir/console.log"
  qemu-system-x86_64 -accel tcg -machine pc -cpu max -smp 1 -m 1024 -nodefaults -no-user-config \
    -display none -vga std -no-reboot -serial "file:$dir/console.log" \
    -qmp "unix:$VM_QMP_SOCKET,server=on,wait=off" "$@" &
  LIVE_QEMU=$!
  LIVE_STARTED=$SECONDS
  rm -f "$dir/screen.ppm"
}

# Waits until the machine has powered off; ends it and fails after LIMIT
# seconds.
live_wait_off() {
  local limit=$1 dir=$2 start=$SECONDS
  while kill -0 "$LIVE_QEMU" 2>/dev/null; do
    if [ $((SECONDS - start)) -ge "$limit" ]; then
      kill "$LIVE_QEMU"
      wait "$LIVE_QEMU" 2>/dev/null || true
      tail -n 30 "$dir/console.log" >&2
      vm_fail "the machine did not power off within $limit seconds"
    fi
    sleep 0.2
  done
  wait "$LIVE_QEMU" || vm_fail "QEMU ended with an error"
  LIVE_SECONDS=$((SECONDS - start))
  sed -i 's/\r$//' "$dir/console.log"
}

# live_wait_screen DIR LIMIT WHAT...: waits until a screendump shows WHAT
# (a window's PNG, or "pixel X Y R G B"; see screen_match.py) and sets
# LIVE_SECONDS to the seconds since the machine started; fails after LIMIT
# seconds.
live_wait_screen() {
  local dir=$1 limit=$2
  shift 2
  while ! python3 "$VM_BED_DIR/screen_match.py" "$dir/screen.ppm" "$@" >"$dir/match.txt" 2>&1; do
    kill -0 "$LIVE_QEMU" 2>/dev/null || vm_fail "the machine stopped before the screen showed $*"
    [ $((SECONDS - LIVE_STARTED)) -lt "$limit" ] ||
      vm_fail "the screen did not show $* within $limit seconds (last: $(cat "$dir/match.txt"))"
    sleep 1
    vm_qmp "{\"execute\": \"screendump\", \"arguments\": {\"filename\": \"$dir/screen.ppm\"}}" >/dev/null ||
      vm_fail "QEMU made no screendump"
  done
  LIVE_SECONDS=$((SECONDS - LIVE_STARTED))
  read -r LIVE_SCREEN_WIDTH LIVE_SCREEN_HEIGHT < <(head -c 32 "$dir/screen.ppm" | sed -n 2p)
}

# Input through the USB tablet and keyboard that live_input_devices
# plugs in: live_click X Y (screen pixels of a SCREEN_WIDTH x SCREEN_HEIGHT
# screen), live_keys KEY... (QEMU key codes, each pressed alone; "shift-c"
# presses both). The tablet is the machine's only absolute pointer.
live_input_devices() {
  local device
  for device in tablet kbd; do
    vm_qmp "{\"execute\": \"device_add\", \"arguments\": {\"driver\": \"usb-$device\", \"id\": \"$device\", \"bus\": \"xhci.0\"}}" >/dev/null ||
      vm_fail "QEMU did not plug in the USB $device"
  done
}
live_click() {
  local x=$(($1 * 32767 / LIVE_SCREEN_WIDTH)) y=$(($2 * 32767 / LIVE_SCREEN_HEIGHT)) down
  vm_qmp "{\"execute\": \"input-send-event\", \"arguments\": {\"events\": [
    {\"type\": \"abs\", \"data\": {\"axis\": \"x\", \"value\": $x}},
    {\"type\": \"abs\", \"data\": {\"axis\": \"y\", \"value\": $y}}]}}" >/dev/null
  for down in true false; do
    vm_qmp "{\"execute\": \"input-send-event\", \"arguments\": {\"events\": [
      {\"type\": \"btn\", \"data\": {\"down\": $down, \"button\": \"left\"}}]}}" >/dev/null
  done
}
live_keys() {
  local key keys
  for key in "$@"; do
    keys=$(echo "$key" | sed 's/\([^-]*\)/{"type": "qcode", "data": "\1"}/g; s/}-{/}, {/g')
    vm_qmp "{\"execute\": \"send-key\", \"arguments\": {\"keys\": [$keys]}}" >/dev/null
  done
}

live_type() {
  local text=$1 char keys=()
  while [ -n "$text" ]; do
    char=${text:0:1} text=${text:1}
    case $char in
    [a-z0-9]) keys+=("$char") ;;
    [A-Z]) keys+=("shift-${char,}") ;;
    " ") keys+=(spc) ;;
    -) keys+=(minus) ;;
    .) keys+=(dot) ;;
    /) keys+=(slash) ;;
    ">") keys+=(shift-dot) ;;
    ";") keys+=(semicolon) ;;
    *) vm_fail "live_type cannot type '$char'" ;;
    esac
  done
  live_keys "${keys[@]}" ret
}

live_wait_console() {
  local dir=$1 limit=$2 text=$3 start=$SECONDS
  until grep -qF "$text" "$dir/console.log"; do
    [ $((SECONDS - start)) -lt "$limit" ] || vm_fail "the console did not say \"$text\" within $limit seconds"
    sleep 1
  done
}
