# bash completion for razmnozhator-cli
# The packaging tests check that every long option of "razmnozhator-cli --help"
# is offered here: add new options to the list below, and their values to the
# case statement when they take some.

_razmnozhator_cli()
{
    local cur=${COMP_WORDS[COMP_CWORD]} prev=
    ((COMP_CWORD > 0)) && prev=${COMP_WORDS[COMP_CWORD - 1]}
    # bash splits "--encoding=cp" into "--encoding", "=" and "cp".
    if [[ $cur == = ]]; then
        prev=${COMP_WORDS[COMP_CWORD - 1]}
        cur=
    elif [[ $prev == = ]] && ((COMP_CWORD > 1)); then
        prev=${COMP_WORDS[COMP_CWORD - 2]}
    fi

    COMPREPLY=()
    case $prev in
        --encoding)
            mapfile -t COMPREPLY < <(compgen -W 'utf-8 cp1251' -- "$cur")
            return
            ;;
        --length-rule)
            mapfile -t COMPREPLY < <(compgen -W 'plain direct' -- "$cur")
            return
            ;;
        --preset)
            mapfile -t COMPREPLY < <(compgen -W 'direct-title direct-title2 direct-text direct-display-link direct-sitelink direct-sitelink-description direct-callout google-headline google-description google-path' -- "$cur")
            return
            ;;
        --format)
            mapfile -t COMPREPLY < <(compgen -W 'lines tsv csv xlsx' -- "$cur")
            return
            ;;
        -o | --output)
            _razmnozhator_cli_files "$cur"
            return
            ;;
        -e | --template | --min-length | --max-length | --max-count | --seed | --nth | --sample | --shard | --header)
            return
            ;;
    esac

    local word
    for word in "${COMP_WORDS[@]:1:COMP_CWORD-1}"; do
        if [[ $word == -- ]]; then
            _razmnozhator_cli_files "$cur"
            return
        fi
    done
    if [[ $cur == -* ]]; then
        mapfile -t COMPREPLY < <(compgen -W '--help --help-all --version --template --encoding --output --null
            --count --stats --min-length --max-length --length-rule --preset --shuffle --max-count --seed --nth --sample --in-order
            --diverse --shard --format --header' -- "$cur")
        return
    fi
    _razmnozhator_cli_files "$cur"
}

# Offers the files and folders whose names start with $1, as file names
# (quoted and with a slash after folders).
_razmnozhator_cli_files()
{
    compopt -o filenames 2>/dev/null
    mapfile -t COMPREPLY < <(compgen -f -- "$1")
}

complete -F _razmnozhator_cli razmnozhator-cli
