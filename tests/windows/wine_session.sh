# Sourced by the tests that run Windows programs under Wine: a Wine prefix
# of the test's own that sees no drive of the host, and an X server of its
# own for the windows. Everything is ended and removed on exit.

zd_work=$(mktemp -d /tmp/zd-wine-XXXXXX)
zd_xvfb_pid=
zd_cleanup_steps=()

zd_cleanup() {
  local step
  for step in "${zd_cleanup_steps[@]}"; do eval "$step" 2>/dev/null || true; done
  if [ -n "$zd_xvfb_pid" ]; then kill "$zd_xvfb_pid" 2>/dev/null || true; fi
  if [ -n "${WINEPREFIX:-}" ]; then timeout 60 wineserver -k 2>/dev/null || true; fi
  rm -rf "$zd_work"
}
trap zd_cleanup EXIT

# Wine maps Z: to the host's root and may map other letters to the host's
# drives: every letter but C: and the ones named goes.
zd_wine_keep_letters() {
  local link letter keep
  for link in "$WINEPREFIX"/dosdevices/?: "$WINEPREFIX"/dosdevices/?::; do
    [ -L "$link" ] || continue
    letter=$(basename "$link")
    for keep in c: "$@"; do
      [ "$letter" = "$keep" ] && continue 2
    done
    rm -f "$link"
  done
}

# A new prefix in the test's folder, without the Mono and Gecko installers.
zd_wine_prefix() {
  export WINEPREFIX=$zd_work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  wineboot -i >/dev/null 2>&1
  wineserver -w
  zd_wine_keep_letters
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
  export DISPLAY=":$(head -n 1 "$display_file")"
}

# The id of the first window whose title is exactly $1, waiting up to 60 s
# for it to be mapped.
zd_wait_window() {
  { timeout 60 xdotool search --sync --onlyvisible --name "^$1\$" 2>/dev/null || true; } | head -n 1
}
