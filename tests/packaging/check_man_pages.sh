#!/usr/bin/env bash
# Renders each manual page as man does and fails on any warning, and checks
# that the command-line tool's page names every command and option that the
# program's --help texts list.
#
#   check_man_pages.sh ZEZA_DERA_CLI CLI_PAGE [OTHER_PAGE...]
set -euo pipefail
cli=$1
cli_page=$2
shift 2
status=0

for page in "$cli_page" "$@"; do
  warnings=$(MANWIDTH=80 man --warnings -E UTF-8 -l "$page" 2>&1 >/dev/null)
  if [ -n "$warnings" ]; then
    echo "$page: man warns:"
    echo "$warnings"
    status=1
  fi
done

# The roff source, where an option stands as typed (--log-dir).
expect() {
  if ! grep -qF -- "$1" "$cli_page"; then
    echo "$cli_page does not mention $2"
    status=1
  fi
}
options_of() { # [command] -> its options, one a line
  "$cli" "$@" --help | sed -n '/^Options:/,/^$/s/^  \(-[^ ]*\).*/\1/p' | tr , '\n'
}
commands=$("$cli" --help | sed -n '/^Subcommands:/,/^$/s/^  \([a-z][a-z-]*\) .*/\1/p')
[ -n "$commands" ] || { echo "no commands found in $cli --help"; exit 1; }
for option in $(options_of); do
  expect "$option" "the option $option"
done
for command in $commands; do
  expect "fBzeza-dera-cli\\fR \\fB$command\\fR" "the command $command in its synopsis"
  for option in $(options_of "$command"); do
    expect "$option" "the option $option of $command"
  done
done
[ "$status" -eq 0 ] && echo "manual pages render without warnings and cover every command and option"
exit "$status"
