#!/usr/bin/env bash
# Runs a command with an X server of its own (Xvfb), which Wine needs for
# any Qt program's windows, and ends the server afterwards.
set -euo pipefail
source "$(dirname "$0")/wine_session.sh"
zd_start_xvfb
"$@"
