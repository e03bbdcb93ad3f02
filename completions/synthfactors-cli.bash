# bash completion for synthfactors-cli: every option, the words an option
# takes, the shipped chips and profile files after --chip and --decode,
# files after --plan; a file name with blanks is one word.
_synthfactors_cli() {
  local cur prev
  cur="${COMP_WORDS[COMP_CWORD]}"
  prev="${COMP_WORDS[COMP_CWORD-1]}"
  # What was typed, with its backslash escapes undone ("my\ pll" is "my pll").
  local typed="${cur//\\ / }"
  case "$prev" in
    --feedback)
      mapfile -t COMPREPLY < <(compgen -W "fundamental divided" -- "$cur")
      return 0 ;;
    --prefer)
      mapfile -t COMPREPLY < <(compgen -W "spur noise" -- "$cur")
      return 0 ;;
    --filter-order)
      mapfile -t COMPREPLY < <(compgen -W "2 3" -- "$cur")
      return 0 ;;
    --ref-path)
      mapfile -t COMPREPLY < <(compgen -W "auto" -- "$cur")
      return 0 ;;
    --mash-order)
      mapfile -t COMPREPLY < <(compgen -W "1 2 3 4" -- "$cur")
      return 0 ;;
    --plan|--register-file)
      compopt -o filenames 2>/dev/null
      mapfile -t COMPREPLY < <(compgen -f -- "$typed")
      return 0 ;;
    --chip|--decode)
      # the shipped profiles, or a profile file
      compopt -o filenames 2>/dev/null
      mapfile -t COMPREPLY < <(compgen -W "adf4106 adf4351 adf4351-int adf5356 lmx2594 max2870 max2870-int" -- "$typed"; compgen -f -- "$typed")
      return 0 ;;
    --rf-out|--mult|--ref|--min-fc|--max-fc|--sweep|--r-range|--n-range|--alternatives|--fom|--flicker|--offset|--prescaler|--tolerance|--spur-clear|--loop-bandwidth|--phase-margin|--gamma|--t31|--filter|--cp-current|--kvco|--vco-noise|--ref-noise|--noise-offsets|--jitter-band|--lock-jump|--lock-tolerance)
      return 0 ;;  # a value of the user's
  esac
  if [[ "$cur" == -* || -z "$cur" ]]; then
    mapfile -t COMPREPLY < <(compgen -W "--rf-out --mult --ref --min-fc --max-fc --json --batch --sweep --r-range --n-range --alternatives --fom --flicker --offset --common-r --plan --chip --prescaler --feedback --registers --tolerance --spur-clear --prefer --ref-path --mash-order --loop-bandwidth --phase-margin --filter-order --gamma --t31 --filter --cp-current --kvco --vco-noise --ref-noise --noise-offsets --jitter-band --lock-jump --lock-tolerance --list-chips --decode --register-file --help --version" -- "$cur")
  fi
}
complete -F _synthfactors_cli synthfactors-cli
