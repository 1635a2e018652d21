#!/usr/bin/env bash
# Runs the example playbook in deploy/ansible against this machine as its
# only host (ansible_connection=local), wiping two loop devices the test
# attaches over files in /dev/shm: first with drives the play must refuse
# before writing anything, then for real. fleet_test.sh ZEZA_DERA_CLI
set -euo pipefail
cli=$(realpath "$1")
playbook="$(dirname "$(realpath "$0")")/../../deploy/ansible/site.yml"

skip() {
  if [ -n "${ZD_REQUIRE_DEVICES:-}" ]; then
    echo "loop devices and ansible-playbook are required here: $1"
    exit 1
  fi
  echo "skipped: $1"
  exit 77
}
[ "$(id -u)" -eq 0 ] || skip "attaching loop devices needs root"
[ -w /dev/shm ] || skip "no /dev/shm to put loop device files in"
command -v ansible-playbook >/dev/null || skip "ansible-playbook is not installed (Debian package ansible-core)"

size=$((16 * 1024 * 1024))
work=$(mktemp -d /tmp/zd-ansible-XXXXXX)
mkdir "$work/bin"
files=() devices=()
cleanup() {
  for device in "${devices[@]}"; do losetup -d "$device" || true; done
  rm -f -- "${files[@]}"
  rm -rf -- "$work"
}
trap cleanup EXIT
for _ in 1 2; do
  file=$(mktemp /dev/shm/zd-ansible-XXXXXX.img)
  files+=("$file")
  head -c "$size" /dev/urandom >"$file"
  device=$(losetup --find --show "$file") || skip "no loop device could be attached"
  devices+=("$device")
done
missing=/dev/loop4242
while [ -e "$missing" ]; do missing="${missing}0"; done

checksums() { sha256sum "${devices[@]}"; }
before=$(checksums)
status=0
fail() {
  echo "FAIL: $1"
  status=1
}

# Runs the play on the named drives; its output goes to $work/out.
play() {
  local drives
  drives=$(printf '"%s",' "$@")
  cat >"$work/inventory.yml" <<EOF
all:
  hosts:
    localhost:
      ansible_connection: local
      ansible_python_interpreter: "{{ ansible_playbook_python }}"
      zeza_dera_drives: [${drives%,}]
EOF
  PYTHONDONTWRITEBYTECODE=1 ANSIBLE_NOCOLOR=1 ansible-playbook -i "$work/inventory.yml" "$playbook" \
    -e "zeza_dera_binary=$cli zeza_dera_binary_dest=$work/bin/zeza-dera-cli" \
    -e "zeza_dera_log_dir=$work/logs zeza_dera_fetch_dir=$work/fetched zeza_dera_method=1 zeza_dera_poll_interval=0.5" \
    -e '{"zeza_dera_runtime_packages": []}' >"$work/out" 2>&1
}

# Refused before any write: a drive that does not exist, and one that holds
# the running system (as far as the program is told).
for case in missing system; do
  if [ "$case" = missing ]; then
    play "${devices[@]}" "$missing" && fail "the play wiped with a drive that does not exist"
    grep -q "Not found: $missing" "$work/out" || fail "the play did not name the missing drive"
  else
    ZD_TEST_SYSTEM_VOLUME=${devices[1]} play "${devices[@]}" && fail "the play wiped a drive that holds the system"
    grep -q "Holds the running system: ${devices[1]}" "$work/out" || fail "the play did not name the system drive"
  fi
  [ "$(checksums)" = "$before" ] || fail "a refused play ($case) changed a device"
  if grep -q "zeza_dera_wipe\|Wipe /dev" "$work/out"; then fail "a refused play ($case) reached the wipe"; fi
  [ "$status" -eq 0 ] || cat "$work/out"
done

# The wipe: both devices at once, progress in the output, logs and records
# fetched into a folder for the host.
# The second device is named through a symbolic link, as /dev/disk/by-id/
# names drives.
ln -s "${devices[1]}" "$work/second-drive"
play "${devices[0]}" "$work/second-drive" || fail "the play failed"
cat "$work/out"
fetched="$work/fetched/localhost"
for device in "${devices[@]}"; do
  cmp -s -n "$size" "$device" /dev/zero || fail "$device does not read back as zeros"
  grep -q "^\[localhost\] $device  pass 1/1" "$work/out" || fail "no progress of $device in the play's output"
  grep -q "^\[localhost\] $device  Erased$" "$work/out" || fail "no outcome of $device in the play's output"
done
for kind in log json pdf; do
  count=$(find "$fetched" -maxdepth 1 -name "*.$kind" 2>/dev/null | wc -l || true)
  [ "$count" -eq 2 ] || fail "expected a .$kind file per device in $fetched, found $count"
done
# Each record speaks for one of the devices, erased.
shopt -s nullglob
python3 - "${devices[@]}" "$fetched"/*.json <<'EOF' || fail "the fetched records do not say both devices were erased"
import json, sys
devices, records = sys.argv[1:3], sys.argv[3:]
seen = {}
for name in records:
    with open(name, encoding="utf-8") as f:
        record = json.load(f)
    seen[record["device"]["path"]] = record["outcome"]
    print(f"{name}: {record['device']['path']} {record['outcome']}")
sys.exit(seen != {device: "Erased" for device in devices})
EOF
exit "$status"
