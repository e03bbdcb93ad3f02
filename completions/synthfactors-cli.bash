# bash completion for synthfactors-cli
_synthfactors_cli() {
  local cur prev
  cur="${COMP_WORDS[COMP_CWORD]}"
  prev="${COMP_WORDS[COMP_CWORD-1]}"
  case "$prev" in
    --rf-out|--mult|--ref|--min-fc|--max-fc|--sweep|--r-range|--n-range|--alternatives|--fom)
      return 0 ;;  # a value of the user's
  esac
  if [[ "$cur" == -* || -z "$cur" ]]; then
    COMPREPLY=($(compgen -W "--rf-out --mult --ref --min-fc --max-fc --json --batch --sweep --r-range --n-range --alternatives --fom --common-r --help --version" -- "$cur"))
  fi
}
complete -F _synthfactors_cli synthfactors-cli
