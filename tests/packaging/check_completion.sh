#!/usr/bin/env bash
# Loads the bash completion of zeza-dera-cli as bash-completion would and
# completes commands, options, methods and wipe targets against the program.
#
#   check_completion.sh COMPLETION_FILE ZEZA_DERA_CLI
set -uo pipefail
completion=$1
cli=$2
status=0

# shellcheck source=/dev/null
source "$completion" || { echo "$completion does not load"; exit 1; }
registered=$(complete -p zeza-dera-cli 2>&1)
[[ $registered == "complete -F "*" zeza-dera-cli" ]] || { echo "not registered for zeza-dera-cli: $registered"; exit 1; }
function=$(awk '{print $3}' <<<"$registered")

complete_line() { # words... -> COMPREPLY for the last word
  COMP_WORDS=("$cli" "$@")
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  COMP_LINE="${COMP_WORDS[*]}"
  COMP_POINT=${#COMP_LINE}
  COMPREPLY=()
  "$function" zeza-dera-cli "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
}
offers() { # description word -> fails unless the last completion offered word
  local offered
  for offered in "${COMPREPLY[@]}"; do
    [[ $offered == "$2" ]] && return 0
  done
  echo "$1: $2 not offered (offered: ${COMPREPLY[*]})"
  status=1
}

complete_line wi
offers "a command" wipe
[ "${#COMPREPLY[@]}" -eq 1 ] || { echo "'wi' completes to more than wipe: ${COMPREPLY[*]}"; status=1; }
complete_line --v
offers "an option before the command" --version

# Every option that each command's --help lists, wherever it stands.
for command in $("$cli" --help | sed -n '/^Subcommands:/,/^$/s/^  \([a-z][a-z-]*\) .*/\1/p'); do
  for option in $("$cli" "$command" --help | sed -n '/^Options:/,/^$/s/^  \(-[^ ]*\).*/\1/p' | tr , '\n'); do
    complete_line "$command" "${option:0:3}"
    offers "an option of $command" "$option"
  done
done
complete_line wipe disk.img --yes --log
offers "an option after the target" --log-dir

complete_line wipe --method 1
offers "a method id" 16
offers "a method id" 1
complete_line wipe --method 'DOD\ M'
offers "a method name, quoted" 'DOD\ M\(E\)'
complete_line wipe --method = Germ
offers "a method name after --method=" 'German\ VSITR'

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
touch "$work/disk image.img"
complete_line wipe "$work/disk"
offers "a disk image" "$work/disk image.img"
complete_line probe "$work/"
offers "a disk image" "$work/disk image.img"
complete_line wipe /dev/
for offered in "${COMPREPLY[@]}"; do
  [[ -b $offered || -d $offered ]] || { echo "a wipe target that is no block device: $offered"; status=1; }
done
complete_line wipe --log-dir "$work/"
[ "${#COMPREPLY[@]}" -eq 0 ] || { echo "--log-dir offers files: ${COMPREPLY[*]}"; status=1; }

[ "$status" -eq 0 ] && echo "the completion offers commands, options, methods and targets"
exit "$status"
