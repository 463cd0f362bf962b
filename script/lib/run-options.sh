# script/run's command line, read apart from the rest of the script so that
# a check can read one without building or starting Wine. Sourced, not run.

# A path the user typed, as the bench player (under Wine) reads it: from the
# folder it was typed in, whatever folder the player runs in. A Windows path
# (C:\..., Z:...) stays as it is.
nightcap_windows_path() {
  case "$1" in
    [A-Za-z]:*) printf '%s' "$1" ;;
    *) printf 'Z:%s' "$(realpath -m -- "$1")" ;;
  esac
}

# Sets scripted, shots and help from script/run's own options, and args to
# what goes on to the bench player. Returns 2 for an option without its value.
nightcap_run_options() {
  scripted= shots= help=
  args=()
  while [ $# -gt 0 ]; do
    case "$1" in
      --script) scripted=1; shift ;;
      --help | -h) help=1; shift ;;
      --shots | --plugin | --playlist | --home | --appdata | --idle-shot | --countdown-shot | --end-shot | --warning-shot)
        if [ $# -lt 2 ]; then
          echo "run: $1 needs a value" >&2
          return 2
        fi
        if [ "$1" = --shots ]; then
          shots=$(realpath -m -- "$2")
        else
          args+=("$1" "$(nightcap_windows_path "$2")")
        fi
        shift 2 ;;
      *) args+=("$1"); shift ;;
    esac
  done
}
