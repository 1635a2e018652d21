#!/usr/bin/env bash
# Wipes a volume through the desktop program's wizard under Wine, with real
# clicks and keystrokes on an X server of the test's own. Drive letter D: is
# a raw loop device that the test attached over a file of its own; the
# prefix has no other letter but C:. The drive page must refuse C: (the
# Windows volume), then take D:; after CONFIRM the run must end with its
# message, the loop device must hold zeros from its first to its last
# sector, and the run log (CR LF line ends) and its record must lie in
# C:\Users.
set -euo pipefail
dist=$1
skip() {
  if [ -n "${ZD_REQUIRE_DEVICES:-}" ]; then
    echo "FAIL (devices required): $1"
    exit 1
  fi
  echo "SKIP: $1"
  exit 77
}
[ "$(id -u)" -eq 0 ] || skip "attaching a loop device needs root"
if ! command -v Xvfb >/dev/null || ! command -v xdotool >/dev/null; then
  skip "needs Xvfb and xdotool"
fi

source "$(dirname "$0")/wine_session.sh"
image=$zd_work/volume.img
head -c $((8 * 1024 * 1024)) /dev/urandom >"$image"
loop=$(losetup --find --show "$image") || skip "no free loop device"
zd_cleanup_steps+=("losetup -d $loop")

zd_wine_prefix
mkdir "$zd_work/d-root"
ln -s "$zd_work/d-root" "$WINEPREFIX/dosdevices/d:"
ln -s "$loop" "$WINEPREFIX/dosdevices/d::"
letters=$(cd "$WINEPREFIX/dosdevices" && ls -d ?: ?:: | tr '\n' ' ')
if [ "$letters" != "c: d: d:: " ]; then
  echo "the prefix maps other letters than C: and the test's D:: $letters"
  exit 1
fi
mkdir "$WINEPREFIX/drive_c/zd"
cp -r "$dist"/. "$WINEPREFIX/drive_c/zd"
zd_start_xvfb

title="Movan Zeza Dera"
wine 'C:\zd\zeza-dera.exe' &
zd_cleanup_steps+=("kill $!")
main=$(zd_wait_window "$title")
[ -n "$main" ] || {
  echo "no window titled $title"
  exit 1
}
zd_wizard_wipe_second_volume "$main" 120 || exit 1

size=$(blockdev --getsize64 "$loop")
if ! cmp -s "$loop" <(head -c "$size" /dev/zero); then
  zd_fail "the loop device does not hold zeros everywhere"
fi
log="$WINEPREFIX/drive_c/users/Drive__D.log"
if [ ! -f "$log" ]; then
  echo "no run log at $log"
  exit 1
fi
lines=$(wc -l <"$log")
crlf=$(grep -c $'\r$' "$log" || true)
[ "$crlf" -eq "$lines" ] || zd_fail "$crlf of the log's $lines lines end in CR LF"
for line in "Drive Name: D" "Algorithm used: Zero Wipe" "End Sector :  $((size / 512 - 1))" \
  "1/1 Pass Completed." "$((size / 512)) Sector(s) wiped."; do
  grep -qF -- "$line"$'\r' "$log" || zd_fail "the log lacks the line: $line"
done
grep -q '"outcome": "Erased"' "${log%.log}.json" 2>/dev/null || zd_fail "no record saying Erased beside the log"
[ "$zd_status" -eq 0 ] && echo "wiped D: through the wizard: $((size / 512)) sectors of zeros, log and record in C:\\Users"
exit "$zd_status"
