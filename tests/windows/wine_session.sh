# shellcheck shell=bash
# Sourced by the tests that run Windows programs under Wine: a Wine prefix
# of the test's own that sees no drive of the host, and an X server of its
# own for the windows. Everything is ended and removed on exit.

zd_work=$(mktemp -d /tmp/zd-wine-XXXXXX)
zd_xvfb_pid=
zd_cleanup_steps=()
# A test's checks go on after one fails: zd_fail says which and marks the
# run failed (zd_status).
zd_status=0
zd_fail() {
  echo "$*"
  zd_status=1
}

# The steps run last added first (the programs before the loop device they
# hold); Wine's own processes of the prefix end before the X server does.
zd_cleanup() {
  local i
  for ((i = ${#zd_cleanup_steps[@]} - 1; i >= 0; i--)); do eval "${zd_cleanup_steps[i]}" 2>/dev/null || true; done
  if [ "${WINEPREFIX:-}" = "$zd_work/prefix" ]; then timeout 60 wineserver -k 2>/dev/null || true; fi
  if [ -n "$zd_xvfb_pid" ]; then kill "$zd_xvfb_pid" 2>/dev/null || true; fi
  rm -rf "$zd_work"
}
trap zd_cleanup EXIT

# Wine maps Z: to the host's root and may map other letters to the host's
# drives: every letter but C: goes.
zd_wine_only_c() {
  local link
  for link in "$WINEPREFIX"/dosdevices/?: "$WINEPREFIX"/dosdevices/?::; do
    if [ -L "$link" ] && [ "$(basename "$link")" != c: ]; then
      rm -f "$link"
    fi
  done
}

# A new prefix in the test's folder, without the Mono and Gecko installers.
zd_wine_prefix() {
  export WINEPREFIX=$zd_work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  wineboot -i >/dev/null 2>&1
  wineserver -w
  zd_wine_only_c
}

# An X server on a display number that it picks itself.
zd_start_xvfb() {
  local display_file=$zd_work/display
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$display_file" 2>/dev/null &
  zd_xvfb_pid=$!
  local tries=0
  until [ -s "$display_file" ]; do
    tries=$((tries + 1))
    if [ "$tries" -gt 100 ] || ! kill -0 "$zd_xvfb_pid" 2>/dev/null; then
      echo "Xvfb did not start"
      return 1
    fi
    sleep 0.1
  done
  DISPLAY=":$(head -n 1 "$display_file")"
  export DISPLAY
}

# The id of the first window whose title is exactly $1, waiting up to 60 s
# for it to be mapped.
zd_wait_window() {
  { timeout 60 xdotool search --sync --onlyvisible --name "^$1\$" 2>/dev/null || true; } | head -n 1
}

# The id of a visible window whose title matches the extended regular
# expression $1 (whole title, any case), other than the windows listed in
# $2, waiting up to $3 seconds (default 60); nothing when none comes.
zd_wait_other_window() {
  local deadline=$((SECONDS + ${3:-60})) id
  while [ "$SECONDS" -lt "$deadline" ]; do
    for id in $(xdotool search --onlyvisible --name "^($1)\$" 2>/dev/null); do
      if [[ " $2 " != *" $id "* ]]; then
        echo "$id"
        return 0
      fi
    done
    sleep 0.2
  done
}

# Presses a key in window $1; zd_key_closing then waits up to 30 s for the
# window to go.
zd_key() {
  xdotool windowfocus --sync "$1" key "$2"
}
zd_key_closing() {
  zd_key "$1" "$2"
  local deadline=$((SECONDS + 30))
  while xwininfo -id "$1" 2>/dev/null | grep -q IsViewable && [ "$SECONDS" -lt "$deadline" ]; do
    sleep 0.2
  done
}

# Drives the open program, main window $1, through the volume branch with
# clicks and keys: the logical drives tile; Next until discovery is done
# and the first volume, C: (the Windows volume), is refused; the second
# volume; Next; "CONFIRM"; then waits up to $2 seconds for the run's closing
# message and dismisses it. Says what went wrong and fails otherwise.
zd_wizard_wipe_second_volume() {
  local main=$1 title answer='' box dialog done_box
  title=$(xdotool getwindowname "$main")
  # Client coordinates: the page area starts at (300, 40).
  xdotool mousemove --window "$main" 690 150 click 1
  for _ in $(seq 30); do
    xdotool mousemove --window "$main" 901 461 click 1
    box=$(zd_wait_other_window "Warning|Information" "$main" 30)
    [ -n "$box" ] || break
    answer=$(xdotool getwindowname "$box")
    zd_key_closing "$box" Return
    [ "$answer" = Warning ] && break
  done
  if [ "$answer" != Warning ]; then
    echo "Next on C: was not refused (last answer: ${answer:-none})"
    return 1
  fi
  xdotool mousemove --window "$main" 450 82 click 1 key Down
  xdotool mousemove --window "$main" 901 461 click 1
  dialog=$(zd_wait_other_window "$title" "$main")
  if [ -z "$dialog" ]; then
    echo "Next on the second volume opened no confirmation dialog"
    return 1
  fi
  xdotool mousemove --window "$dialog" 214 113 click 1 type confirm
  zd_key_closing "$dialog" Return
  done_box=$(zd_wait_other_window "$title" "$main $dialog" "$2")
  if [ -z "$done_box" ]; then
    echo "the run showed no closing message"
    return 1
  fi
  zd_key_closing "$done_box" Return
}
