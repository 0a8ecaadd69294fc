# bash completion for waymock-cli. The subcommands (ctl's too), their options,
# the values an option takes and the choices of an argument (ctl fault's
# TYPE) are read from the tool's own --help, so completion stays in step with
# the program it completes.

# The option lines of a help text, one per option: its names, a tab, and the
# value it takes if any ("-p --port<TAB>DEVICE", "--paced<TAB>").
_waymock_cli_options() {
  sed -n 's/^  \(\(-[A-Za-z0-9]\),\)\{0,1\}\(--[A-Za-z0-9-]*\)\( \([^ ][^ ]*\)\)\{0,1\}.*/\2 \3\t\5/p'
}

# The subcommands a help text lists.
_waymock_cli_subcommands() {
  sed -n '/^Subcommands:/,/^$/s/^  \([a-z][a-z0-9-]*\) .*/\1/p'
}

# The choices of the first argument a help text lists with them, "TYPE:{a,b}".
_waymock_cli_choices() {
  sed -n '/^Positionals:/,/^$/s/^  [a-z][a-z0-9-]* [^ {]*{\([^}]*\)}.*/\1/p' | sed -n '1s/,/ /gp'
}

# Serial devices: the terminals the kernel has a device for (ttyS, ttyUSB,
# ttyACM...), not the virtual consoles tty0 to tty63; then their stable names.
_waymock_cli_serial_devices() {
  local device name
  for device in /sys/class/tty/*/device; do
    name=${device%/device}
    name=${name##*/}
    [[ -e $device && -c /dev/$name ]] && printf '/dev/%s\n' "$name"
  done
  for device in /dev/serial/by-id/*; do
    [[ -e $device ]] && printf '%s\n' "$device"
  done
}

_waymock_cli() {
  local cli=${COMP_WORDS[0]} cur=${COMP_WORDS[COMP_CWORD]} prev=
  ((COMP_CWORD > 0)) && prev=${COMP_WORDS[COMP_CWORD - 1]}
  COMPREPLY=()
  # The subcommands typed so far ("ctl fault"), each read from the help of the
  # one before, and how many arguments the last one has been given. A word
  # after an option that takes a value is that value.
  local help options words=() arguments=0 takes_value= i word names value
  help=$("$cli" --help 2>/dev/null) || return
  options=$(_waymock_cli_options <<<"$help")
  for ((i = 1; i < COMP_CWORD; i++)); do
    word=${COMP_WORDS[i]}
    if [[ -n $takes_value ]]; then
      takes_value=
    elif [[ $word == -* ]]; then
      while IFS=$'\t' read -r names value; do
        [[ $word != *=* && " $names " == *" $word "* && -n $value ]] && takes_value=1
      done <<<"$options"
    elif _waymock_cli_subcommands <<<"$help" | grep -qxF -- "$word"; then
      words+=("$word")
      arguments=0
      help=$("$cli" "${words[@]}" --help 2>/dev/null) || return
      options=$(_waymock_cli_options <<<"$help")
    else
      arguments=$((arguments + 1))
    fi
  done
  # The value of the option before: a serial device for a DEVICE, files for a
  # FILE or PATH, the choices of a {a,b,c} list, nothing to offer for a number
  # or a position.
  if [[ -n $takes_value ]]; then
    while IFS=$'\t' read -r names value; do
      [[ " $names " == *" $prev "* ]] || continue
      case $value in
        *\{*\}*)
          value=${value#*\{}
          value=${value%%\}*}
          COMPREPLY=($(compgen -W "${value//,/ }" -- "$cur"))
          ;;
        *DEVICE*)
          COMPREPLY=($(compgen -W "$(_waymock_cli_serial_devices)" -- "$cur"))
          # Another device, such as a pseudo-terminal, typed by its path;
          # never a virtual console.
          if ((${#COMPREPLY[@]} == 0)) && [[ -n $cur ]]; then
            COMPREPLY=($(compgen -f -- "$cur" | grep -vx '/dev/tty[0-9]*'))
          fi
          ;;
        *FILE* | *PATH*) COMPREPLY=($(compgen -f -- "$cur")) ;;
      esac
      return
    done <<<"$options"
  fi
  local subcommands choices
  subcommands=$(_waymock_cli_subcommands <<<"$help")
  choices=$(_waymock_cli_choices <<<"$help")
  if [[ $cur == -* ]]; then
    COMPREPLY=($(compgen -W "$(cut -f1 <<<"$options")" -- "$cur"))
  elif [[ -n $subcommands ]]; then
    COMPREPLY=($(compgen -W "$subcommands" -- "$cur"))
  elif [[ -n $choices ]]; then
    ((arguments > 0)) || COMPREPLY=($(compgen -W "$choices" -- "$cur"))
  else
    COMPREPLY=($(compgen -f -- "$cur"))
  fi
}
complete -o filenames -F _waymock_cli waymock-cli
