# bash completion for ravelong-cli. The commands are read from "ravelong-cli --help", so commands
# added later complete too; task arguments complete from "ravelong-cli tasks".
_ravelong_cli() {
    local cur=${COMP_WORDS[COMP_CWORD]}
    if [[ $COMP_CWORD -eq 1 ]]; then
        local commands
        commands=$(ravelong-cli --help 2>/dev/null | awk '/^Commands:/ {on=1; next} on && /^  [a-z]/ {print $1}')
        COMPREPLY=($(compgen -W "$commands --help --version" -- "$cur"))
        return
    fi
    case ${COMP_WORDS[1]} in
        start|toggle|stop|add-timing)
            if [[ $COMP_CWORD -eq 2 ]]; then
                local IFS=$'\n'
                local names
                names=$(ravelong-cli tasks 2>/dev/null | cut -f2 | sed 's/^ *//')
                COMPREPLY=($(compgen -W "$names" -- "$cur"))
                COMPREPLY=("${COMPREPLY[@]// /\\ }")
            fi
            ;;
        hot-key)
            COMPREPLY=($(compgen -W "toggle-timer add-note toggle-panel toggle-timer-and-add-note show-recent-tasks" -- "$cur"))
            ;;
        tasks)
            COMPREPLY=($(compgen -W "--archived --help" -- "$cur"))
            ;;
        report|timings|summary)
            local previous=${COMP_WORDS[COMP_CWORD-1]}
            if [[ $previous == --format ]]; then
                COMPREPLY=($(compgen -W "text csv json" -- "$cur"))
            elif [[ $previous == --task ]]; then
                local IFS=$'\n'
                local names
                names=$(ravelong-cli tasks 2>/dev/null | cut -f2 | sed 's/^ *//')
                COMPREPLY=($(compgen -W "$names" -- "$cur"))
                COMPREPLY=("${COMPREPLY[@]// /\\ }")
            else
                local options="--archived --help"
                [[ ${COMP_WORDS[1]} != summary ]] && options+=" --format"
                [[ ${COMP_WORDS[1]} != report ]] && options+=" --task"
                COMPREPLY=($(compgen -W "day week month year all $options" -- "$cur"))
            fi
            ;;
        note)
            COMPREPLY=($(compgen -W "--timing --help" -- "$cur"))
            ;;
        *)
            COMPREPLY=($(compgen -W "--help" -- "$cur"))
            ;;
    esac
}
complete -F _ravelong_cli ravelong-cli
