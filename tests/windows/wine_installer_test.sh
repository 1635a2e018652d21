#!/usr/bin/env bash
# Checks that the setup program asks for administrator rights; installs the
# program with it, silently, under Wine in a new prefix; checks what it
# installed; starts the installed desktop program on an X server of its own
# (its window, title, size and home page; a second start refused); then
# uninstalls silently and checks that nothing is left.
set -euo pipefail
setup=$1
version=$2
source "$(dirname "$0")/wine_session.sh"
zd_wine_prefix
zd_start_xvfb

title="Movan Zeza Dera"
folder="$WINEPREFIX/drive_c/Program Files/$title"
shortcut="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/$title.lnk"
key="HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$title"

# Windows asks for administrator rights before the setup program runs.
wrestool -x --raw --type=24 "$setup" | grep -q 'level="requireAdministrator"' ||
  zd_fail "the setup program's manifest does not ask for administrator rights"

# Run from C:, as downloaded: the prefix has no letter for the build tree.
cp "$setup" "$WINEPREFIX/drive_c/zeza-dera-setup.exe"
wine 'C:\zeza-dera-setup.exe' /S
wineserver -w
for file in zeza-dera.exe zeza-dera-cli.exe Qt6Core.dll libstdc++-6.dll platforms/qwindows.dll \
  styles/qwindowsvistastyle.dll "$title.html" uninstall.exe; do
  [ -f "$folder/$file" ] || zd_fail "not installed: $file"
done
[ -f "$shortcut" ] || zd_fail "no Start-menu shortcut at $shortcut"
wine reg query "$key" /v UninstallString 2>/dev/null | grep -q 'uninstall.exe' || zd_fail "no uninstaller under $key"
answer=$(wine "$folder/zeza-dera-cli.exe" --version 2>&1 || true)
[[ "$answer" == *"$version"* ]] || zd_fail "the installed tool answers --version with: $answer"

# The installed program, from the folder it was installed into.
wine "$folder/zeza-dera.exe" &
first=$!
zd_cleanup_steps+=("kill $first")
window=$(zd_wait_window "$title")
if [ -z "$window" ]; then
  zd_fail "no window titled $title"
else
  # The X window is the client area (its frame is left to a window
  # manager): 944 x 482, which a fixed frame of Windows makes 950 x 510.
  geometry=$(xdotool getwindowgeometry "$window" | sed -n 's/^ *Geometry: //p')
  [ "$geometry" = 944x482 ] || zd_fail "the window's client area measures $geometry, not 944x482"
  # The home page's artwork, not an empty frame: hundreds of colours.
  colours=$(import -window "$window" png:- | convert png:- -format %k info:)
  [ "$colours" -gt 200 ] || zd_fail "the window shows $colours colours: no home page"

  # A second start says so and ends; the first window stays the only one.
  wine "$folder/zeza-dera.exe" &
  second=$!
  warning=$(zd_wait_window Warning)
  if [ -z "$warning" ]; then
    zd_fail "a second start showed no warning"
  else
    zd_key "$warning" Return
  fi
  code=0
  wait "$second" || code=$?
  [ "$code" -eq 1 ] || zd_fail "a second start ended with $code, not 1"
  windows=$(xdotool search --onlyvisible --name "^$title\$" | wc -l)
  [ "$windows" -eq 1 ] || zd_fail "$windows windows titled $title after a second start"
fi
kill "$first"
wait "$first" || true
wineserver -w

wine "$folder/uninstall.exe" /S
wineserver -w
if [ -e "$folder" ]; then
  zd_fail "left behind in $folder:"
  find "$folder"
fi
[ ! -e "$shortcut" ] || zd_fail "the shortcut is left behind"
if wine reg query "$key" >/dev/null 2>&1; then
  zd_fail "$key is left behind"
fi
[ "$zd_status" -eq 0 ] && echo "installed, started, refused a second start, uninstalled cleanly"
exit "$zd_status"
