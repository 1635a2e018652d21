# Shared by the benchmark scripts (sourced, never run): the packages they
# need, and files and loop devices of their own, removed and detached by
# name when the script ends.

bench_script="bench/$(basename "$(dirname "$0")")/run"
bench_files=()
bench_devices=()

bench_fail() {
  echo "$bench_script: $*" >&2
  exit 1
}

bench_cleanup() {
  local device
  for device in "${bench_devices[@]}"; do losetup --detach "$device"; done
  rm -rf "${bench_files[@]}"
}
trap bench_cleanup EXIT

# bench_install PACKAGE...: the Debian packages not installed yet.
bench_install() {
  local package missing=()
  for package in "$@"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
  done
  ((${#missing[@]})) || return 0
  apt-get update -q >/dev/null
  DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}" >/dev/null
}

# bench_temp VAR mktemp-ARGUMENT...: a temporary file or directory, removed at the end.
bench_temp() {
  local -n bench_temp_path=$1
  shift
  bench_temp_path=$(mktemp "$@")
  bench_files+=("$bench_temp_path")
}

# bench_loop VAR FILE SIZE [LOSETUP-OPTION...]: FILE allocated up front (so no
# run pays for its first touch) and a loop device attached over it.
bench_loop() {
  local -n bench_loop_device=$1
  local file=$2 size=$3
  shift 3
  fallocate -l "$size" "$file"
  bench_loop_device=$(losetup --find --show "$@" "$file")
  bench_devices+=("$bench_loop_device")
  bench_check_loop "$bench_loop_device" "$file"
}

# bench_check_loop DEVICE FILE: refuses to go on unless DEVICE is still the
# loop device over FILE.
bench_check_loop() {
  [[ $1 == /dev/loop* ]] && [ "$(losetup -n -O BACK-FILE "$1" | sed 's/ *$//')" = "$2" ] ||
    bench_fail "$1 is not the loop device over $2"
}
