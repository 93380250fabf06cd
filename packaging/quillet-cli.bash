# bash completion for quillet-cli                          -*- shell-script -*-

_quillet_cli()
{
    local cur prev words cword split
    _init_completion -s || return

    case $prev in
        --port)
            COMPREPLY=($(compgen -W "COM1 COM2 COM3 COM4 COM5 COM6 COM7 COM8 \
                $(compgen -G '/dev/tty*')" -- "$cur"))
            return
            ;;
        --baud)
            COMPREPLY=($(compgen -W '300 600 1200 2400 4800 9600 19200 38400 57600' -- "$cur"))
            return
            ;;
        --map | --unmap)
            COMPREPLY=($(compgen -W 'COM1 COM2 COM3 COM4 COM5 COM6 COM7 COM8' -- "$cur"))
            return
            ;;
        --compare-with | --report)
            _filedir
            return
            ;;
        --start-timeout)
            return
            ;;
    esac
    $split && return

    local command= i
    for ((i = 1; i < cword; i++)); do
        case ${words[i]} in
            dump | receive | send | check | compare | ports)
                command=${words[i]}
                break
                ;;
        esac
    done

    if [[ -z $command ]]; then
        if [[ $cur == -* ]]; then
            COMPREPLY=($(compgen -W '--help --version' -- "$cur"))
        else
            COMPREPLY=($(compgen -W 'dump receive send check compare ports' -- "$cur"))
        fi
        return
    fi

    if [[ $cur == -* ]]; then
        local options='--quiet --json --help'
        case $command in
            dump) options+=' --port --baud --report --start-timeout --force' ;;
            send) options+=' --port --baud --report --force' ;;
            receive) options+=' --port --baud --report --start-timeout --force --compare-with' ;;
            ports) options+=' --map --unmap' ;;
        esac
        COMPREPLY=($(compgen -W "$options" -- "$cur"))
        return
    fi
    # ports takes no file; after --map COMn comes the device it is to lead to.
    if [[ $command == ports ]]; then
        [[ ${words[cword - 2]} == --map ]] &&
            COMPREPLY=($(compgen -W "$(compgen -G '/dev/serial/by-id/*') \
                $(compgen -G '/dev/tty*')" -- "$cur"))
        return
    fi
    _filedir
} &&
    complete -F _quillet_cli quillet-cli

# ex: filetype=sh
