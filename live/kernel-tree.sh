# shellcheck shell=bash
# Debian's kernel and a root tree to boot it with, for the boot medium
# (live/build-image.sh) and the virtual machines of the test bed
# (tests/vm/bed.sh). Sourced.
#
#   kernel_fetch CACHE              downloads and unpacks Debian's 6.1 kernel
#                                   once per CACHE; sets KERNEL_IMAGE,
#                                   KERNEL_VERSION and KERNEL_MODULE_ROOT (a
#                                   tree with lib/modules/VERSION), or
#                                   KERNEL_ERROR and returns 1
#   tree_copy_with_libraries TREE FILE DEST
#                                   FILE at DEST in TREE with every library
#                                   it loads (also from LIBRARY_ROOT, a tree
#                                   of unpacked packages, when set)
#   tree_add_modules TREE MODULE... the modules with their dependencies;
#                                   returns 1 for one the kernel lacks
#   packages_fetch ROOT PACKAGE...  downloads Debian's packages and unpacks
#                                   them into ROOT once; sets PACKAGES_ERROR
#                                   and returns 1 when they cannot be had

# The 6.1 kernel package that Debian's archive offers.
kernel_package() {
  local package
  package=$(apt-cache depends linux-image-amd64 2>/dev/null | sed -n 's/.*Depends: \(linux-image-6\.1\.0-[0-9]*-amd64\)$/\1/p' | head -n 1)
  [ -n "$package" ] || package=$(apt-cache search --names-only '^linux-image-6\.1\.0-[0-9]+-amd64$' 2>/dev/null |
    cut -d ' ' -f 1 | sort -V | tail -n 1)
  echo "$package"
}

kernel_fetch() {
  local cache package
  cache=$(realpath -m "$1")
  mkdir -p "$cache"
  package=$(kernel_package)
  if [ -z "$package" ]; then
    KERNEL_ERROR="no Debian 6.1 kernel package is known to apt (apt-get update?)"
    return 1
  fi
  KERNEL_MODULE_ROOT=$cache/$package
  packages_fetch "$KERNEL_MODULE_ROOT" "$package" || {
    KERNEL_ERROR=$PACKAGES_ERROR
    return 1
  }
  KERNEL_IMAGE=$(ls "$KERNEL_MODULE_ROOT"/boot/vmlinuz-*)
  KERNEL_VERSION=${KERNEL_IMAGE##*/vmlinuz-}
  [ -e "$KERNEL_MODULE_ROOT/lib/modules/$KERNEL_VERSION/modules.dep" ] || depmod -b "$KERNEL_MODULE_ROOT" "$KERNEL_VERSION"
}

packages_fetch() {
  local root download package
  root=$(realpath -m "$1") download=$(realpath -m "$1.download")
  shift
  [ -e "$root/.unpacked" ] && return 0
  rm -rf "$root" "$download"
  mkdir -p "$download"
  if ! (cd "$download" && apt-get download -q -o APT::Sandbox::User=root "$@" >/dev/null); then
    PACKAGES_ERROR="$* cannot be downloaded"
    return 1
  fi
  for package in "$download"/*.deb; do dpkg-deb -x "$package" "$root"; done
  rm -rf "$download"
  touch "$root/.unpacked"
}

tree_copy_with_libraries() {
  local tree=$1 file=$2 dest=$3 library target
  mkdir -p "$tree$(dirname "$dest")"
  cp -L "$file" "$tree$dest"
  for library in $(LD_LIBRARY_PATH=${LIBRARY_ROOT:+$LIBRARY_ROOT/lib/x86_64-linux-gnu} ldd "$file" 2>/dev/null |
    grep -o '/[^ ]*'); do
    target=${library#"${LIBRARY_ROOT:-/nonexistent}"}
    [ -e "$tree$target" ] && continue
    mkdir -p "$tree$(dirname "$target")"
    cp -L "$library" "$tree$target"
  done
}

tree_add_modules() {
  local tree=$1 module file
  shift
  for module in "$@"; do
    if ! modprobe -d "$KERNEL_MODULE_ROOT" -S "$KERNEL_VERSION" --show-depends "$module" >"$tree/.depends"; then
      echo "the kernel has no module $module" >&2
      rm -f "$tree/.depends"
      return 1
    fi
    sed -n 's/^insmod \([^ ]*\).*/\1/p' "$tree/.depends"
  done | sort -u | while read -r file; do
    mkdir -p "$tree$(dirname "${file#"$KERNEL_MODULE_ROOT"}")"
    cp "$file" "$tree${file#"$KERNEL_MODULE_ROOT"}"
  done
  # The pipeline's first stage fails the whole for a missing module.
  [ "${PIPESTATUS[0]}" -eq 0 ] || return 1
  rm -f "$tree/.depends"
  cp "$KERNEL_MODULE_ROOT/lib/modules/$KERNEL_VERSION"/modules.{order,builtin}* "$tree/lib/modules/$KERNEL_VERSION/"
  depmod -b "$tree" "$KERNEL_VERSION"
}
