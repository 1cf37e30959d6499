#!/usr/bin/env bash
# Holds trimhost's manual page and bash completion to the tool: the commands
# its help lists are the page's COMMANDS sections and what the completion
# offers after `trimhost`, and for every command the options `trimhost help
# COMMAND` lists (but -h/--help) are exactly the page's (the tags of the .TP
# items of the command's section) and what the completion offers after
# `trimhost COMMAND -`. Prints one line per check, then
# "trimhost docs: N passed, M failed".
#
#   tests/trimhost/check_trimhost_docs.sh TRIMHOST MAN_PAGE COMPLETION
set -uo pipefail
trimhost=$1 man_page=$2 completion=$3
# shellcheck source=tools/checks.sh
source "$(dirname "$0")/../../tools/checks.sh"
# shellcheck source=trimhost/completion/trimhost
source "$completion" || exit 1

# help_commands [COMMAND]: the commands the help lists under "Subcommands:".
help_commands() {
  "$trimhost" help "$@" | sed -n '/^Subcommands:/,/^$/s/^  \([a-z]\+\) .*/\1/p'
}

# help_options COMMAND...: the options the command's help lists, one a line.
help_options() {
  "$trimhost" help "$@" | sed -n 's/^  \(-[^ ]*\).*/\1/p' | tr , '\n' | grep -vxE -- '-h|--help'
}

# page_options COMMAND...: the options in the tags of the .TP items of the
# manual page's section for the command.
page_options() {
  awk -v section=".SS $*" '
    /^\.S[SH]/ { inside = ($0 == section || $0 == ".SS \"" substr(section, 5) "\"") }
    inside && tag { gsub(/\\-/, "-"); print }
    { tag = ($0 == ".TP") }' "$man_page" | grep -oE -- '(^| )"?-{1,2}[a-z][a-z-]*' | tr -d ' "'
}

# page_commands: the commands of the manual page's COMMANDS sections.
page_commands() {
  sed -n '/^\.SH COMMANDS/,/^\.SH [^C]/s/^\.SS "\{0,1\}\([^"]*\)"\{0,1\}$/\1/p' "$man_page"
}

# completion_offers WORD...: what the completion offers after `trimhost WORD...`,
# but --help; the last word is the one being completed.
completion_offers() {
  local COMP_WORDS=(trimhost "$@") COMP_CWORD=$# COMPREPLY=()
  _trimhost
  printf '%s\n' "${COMPREPLY[@]}" | grep -vxE -- '--help|--version'
}

# same_sets WHAT LIST_A LIST_B: the lists hold the same lines, whatever their order.
same_sets() {
  local differ
  differ=$(diff <(sort -u <<<"$2") <(sort -u <<<"$3")) || { echo "$1: ${differ//$'\n'/ }"; return 1; }
}

commands=$(help_commands)
check "the completion offers the commands the help lists" \
  same_sets "help < > completion" "$commands" "$(completion_offers '')"
# preset is documented and completed by its own commands, show and save.
sections=()
for command in $commands; do
  [ "$command" = help ] && continue
  subcommands=$(help_commands "$command")
  for subcommand in ${subcommands:-""}; do
    words=("$command" ${subcommand:+"$subcommand"})
    sections+=("${words[*]}")
    tool=$(help_options "${words[@]}")
    check "the manual page documents the options of ${words[*]}" \
      same_sets "help < > page" "$tool" "$(page_options "${words[@]}")"
    check "the completion offers the options of ${words[*]}" \
      same_sets "help < > completion" "$tool" "$(completion_offers "${words[@]}" -)"
  done
done
check "the manual page has a section for each command" \
  same_sets "help < > page" "$(printf '%s\n' "${sections[@]}")" "$(page_commands)"

checks_summary "trimhost docs"
