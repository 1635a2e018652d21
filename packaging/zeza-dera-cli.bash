# bash completion for zeza-dera-cli.
#
# The commands, their options and the methods come from the program itself
# (its --help texts and its methods command), so a new command or option
# completes without a change here. Only the values of an option are chosen
# below: the methods for --method, folders for an option ending in -dir, and
# the choices that the help text lists in braces (TEXT:{a,b}).

# The commands, one a line, from "PROGRAM --help".
_zeza_dera_cli_commands()
{
    "$1" --help 2>/dev/null | sed -n '/^Subcommands:/,/^$/s/^  \([a-z][a-z-]*\) .*/\1/p'
}

# The options of a command, one a line: the option names, and after a blank
# the type of the value it takes (TEXT, TEXT:{a,b}) when it takes one.
_zeza_dera_cli_options()
{
    "$1" "$2" --help 2>/dev/null |
        sed -n '/^Options:/,/^$/s/^  \(-[^ ]*\)\( [A-Z][A-Z]*\(:[^ ]*\)\{0,1\}\)\{0,1\}.*/\1\2/p'
}

# The methods' ids and names, one a line, from the table of "PROGRAM methods".
_zeza_dera_cli_methods()
{
    local id rest
    while read -r id rest; do
        [[ $id =~ ^[0-9]+$ ]] || continue
        printf '%s\n%s\n' "$id" "${rest%%  *}"
    done < <("$1" methods 2>/dev/null)
}

# Adds the words of a list (one a line) that start with the word being
# completed, with their blanks escaped unless that word opens a quote.
_zeza_dera_cli_reply()
{
    local word typed=${1//\\/} format=%q
    if [[ $typed == [\"\']* ]]; then
        typed=${typed:1}
        format=%s
    fi
    while IFS= read -r word; do
        [[ -n $word && $word == "$typed"* ]] && COMPREPLY+=("$(printf "$format" "$word")")
    done
}

# Block devices and disk image files: the devices lsblk knows, and the
# folders, block devices and regular files (none in /dev, where they are the
# console's streams) under the path typed so far.
_zeza_dera_cli_targets()
{
    local cur=$1 path
    # Readline quotes these names as file names.
    compopt -o filenames 2>/dev/null
    while IFS= read -r path; do
        [[ $path == "$cur"* ]] && COMPREPLY+=("$path")
    done < <(lsblk -pnro NAME 2>/dev/null)
    while IFS= read -r path; do
        [[ -d $path || -b $path || (-f $path && $path != /dev/*) ]] && COMPREPLY+=("$path")
    done < <(compgen -f -- "$cur")
}

_zeza_dera_cli()
{
    local program=${COMP_WORDS[0]/#\~/$HOME}
    local cur=${COMP_WORDS[COMP_CWORD]} prev=
    ((COMP_CWORD > 0)) && prev=${COMP_WORDS[COMP_CWORD - 1]}
    # --option=value: bash splits it at the "=".
    if [[ $cur == = ]]; then
        cur=
    elif [[ $prev == = ]]; then
        prev=${COMP_WORDS[COMP_CWORD - 2]}
    fi
    COMPREPLY=()

    local commands command= i
    commands=$(_zeza_dera_cli_commands "$program")
    for ((i = 1; i < COMP_CWORD; i++)); do
        if grep -qxF -- "${COMP_WORDS[i]}" <<<"$commands"; then
            command=${COMP_WORDS[i]}
            break
        fi
    done
    if [[ -z $command ]]; then
        if [[ $cur == -* ]]; then
            _zeza_dera_cli_reply "$cur" < <(printf '%s\n' --help --version)
        else
            _zeza_dera_cli_reply "$cur" <<<"$commands"
        fi
        return 0
    fi

    local options name type
    options=$(_zeza_dera_cli_options "$program" "$command")
    # The value of an option that takes one.
    if [[ $prev == -* ]] && read -r name type < <(grep -E -- "(^|,)$prev( |$)" <<<"$options") && [[ -n $type ]]; then
        case $prev in
            --method) _zeza_dera_cli_reply "$cur" < <(_zeza_dera_cli_methods "$program") ;;
            *-dir)
                compopt -o filenames 2>/dev/null
                COMPREPLY=($(compgen -d -- "$cur"))
                ;;
            *)
                if [[ $type == *:\{*\} ]]; then
                    type=${type#*:\{}
                    _zeza_dera_cli_reply "$cur" < <(tr , '\n' <<<"${type%\}}")
                fi
                ;;
        esac
        return 0
    fi
    if [[ $cur == -* ]]; then
        _zeza_dera_cli_reply "$cur" < <(cut -d' ' -f1 <<<"$options" | tr , '\n')
    elif [[ $command == wipe || $command == probe ]]; then
        _zeza_dera_cli_targets "$cur"
    fi
    return 0
}

complete -F _zeza_dera_cli zeza-dera-cli
