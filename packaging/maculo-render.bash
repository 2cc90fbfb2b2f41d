# bash completion for maculo-render. The options and each option's choices
# are read from the program's own --help, so they cannot drift from it.
_maculo_render() {
    local cur prev words cword
    _init_completion || return

    case $prev in
        -i | --input | -o | --output | --plugin)
            _filedir
            return
            ;;
    esac
    local help
    help=$("$1" --help 2>/dev/null) || return
    if [[ $prev == -* ]]; then
        # "--gray off|before|after": the choices follow the option's name.
        local choices
        choices=$(sed -n "s/^ *\(-[a-z], \)\?$prev \([^ ]*|[^ ]*\) .*/\2/p" <<<"$help")
        if [[ -n $choices ]]; then
            mapfile -t COMPREPLY < <(compgen -W "${choices//|/ }" -- "$cur")
            return
        fi
        # Another option that takes a value (a number, a size): nothing to offer.
        grep -q -- "^ *\(-[a-z], \)\?$prev [A-Z0-9]" <<<"$help" && return
    fi
    if [[ $cur == -* ]]; then
        mapfile -t COMPREPLY < <(compgen -W "$(grep -o -- '--[a-z-]*' <<<"$help" | sort -u)" -- "$cur")
    fi
}
complete -F _maculo_render maculo-render
