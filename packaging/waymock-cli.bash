# bash completion for waymock-cli. The subcommands, their options and the
# values an option takes are read from the tool's own --help, so completion
# stays in step with the program it completes.

# The option lines of a help text, one per option: its names, a tab, and the
# value it takes if any ("-p --port<TAB>DEVICE", "--paced<TAB>").
_waymock_cli_options() {
  sed -n 's/^  \(\(-[A-Za-z0-9]\),\)\{0,1\}\(--[A-Za-z0-9-]*\)\( \([^ ][^ ]*\)\)\{0,1\}.*/\2 \3\t\5/p'
}

_waymock_cli() {
  local cli=${COMP_WORDS[0]} cur=${COMP_WORDS[COMP_CWORD]} prev=
  ((COMP_CWORD > 0)) && prev=${COMP_WORDS[COMP_CWORD - 1]}
  local command= i
  for ((i = 1; i < COMP_CWORD; i++)); do
    [[ ${COMP_WORDS[i]} == -* ]] || { command=${COMP_WORDS[i]} && break; }
  done
  COMPREPLY=()
  local help options
  if [[ -z $command ]]; then
    help=$("$cli" --help 2>/dev/null) || return
    if [[ $cur == -* ]]; then
      options=$(_waymock_cli_options <<<"$help" | cut -f1)
      COMPREPLY=($(compgen -W "$options" -- "$cur"))
    else
      local commands
      commands=$(sed -n '/^Subcommands:/,/^$/s/^  \([a-z][a-z0-9-]*\) .*/\1/p' <<<"$help")
      COMPREPLY=($(compgen -W "$commands" -- "$cur"))
    fi
    return
  fi
  help=$("$cli" "$command" --help 2>/dev/null) || return
  options=$(_waymock_cli_options <<<"$help")
  # The value of the option before: files for a FILE, PATH or DEVICE, the
  # choices of a {a,b,c} list, nothing to offer for a number or a position.
  local names value choices
  while IFS=$'\t' read -r names value; do
    [[ -n $prev && " $names " == *" $prev "* && -n $value ]] || continue
    case $value in
      *\{*\}*)
        choices=${value#*\{}
        choices=${choices%%\}*}
        COMPREPLY=($(compgen -W "${choices//,/ }" -- "$cur"))
        ;;
      *DEVICE*) COMPREPLY=($(compgen -f -- "${cur:-/dev/tty}")) ;;
      *FILE* | *PATH*) COMPREPLY=($(compgen -f -- "$cur")) ;;
    esac
    return
  done <<<"$options"
  if [[ $cur == -* ]]; then
    COMPREPLY=($(compgen -W "$(cut -f1 <<<"$options")" -- "$cur"))
  else
    COMPREPLY=($(compgen -f -- "$cur"))
  fi
}
complete -o filenames -F _waymock_cli waymock-cli
