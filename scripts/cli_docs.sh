#!/usr/bin/env bash
# Writes the man page and the bash completion of the command line from the program's own
# --help texts, so both follow the commands as they are registered:
#   cli_docs.sh PROGRAM OUTPUT_FOLDER
# gives OUTPUT_FOLDER/quivra-downloader.1 (help2man) and OUTPUT_FOLDER/quivra-downloader.bash.
set -euo pipefail
program=$1
out=$2
mkdir -p "$out"

# The names in the "Subcommands:" part of a help text.
commands_of() { "$program" --help | awk '/^Subcommands:/ { on = 1; next } on && /^  [a-z]/ { print $1 }'; }
# The option names in the "Options:" part of a help text ("-h,--help" gives both).
options_of() {
  "$program" "$@" --help |
    awk '/^Options:/ { on = 1; next } /^[A-Z]/ { on = 0 } on && /^  -/ { print $1 }' | tr ',' '\n'
}

commands=$(commands_of)

sections=$(mktemp)
trap 'rm -f "$sections"' EXIT
{
  echo "[COMMANDS]"
  for command in $commands; do
    echo ".SS $command"
    echo ".nf"
    # Backslashes escaped; a line starting with '.' or '[' must not read as a request or
    # as a section of this include file.
    "$program" "$command" --help | sed -e 's/\\/\\e/g' -e 's/^[.[]/\\\&&/'
    echo ".fi"
  done
  cat <<'TEXT'
[FILES]
.TP
.I config.ini
Settings, the site addresses of the [site] section and the logged-in account (readable
by its owner only). It lies beside the executable when that folder is writable, already
holds a config.ini, or holds a file named
.IR portable ;
otherwise in
.IR $XDG_CONFIG_HOME/quivra-downloader/
(by default
.IR ~/.config/quivra-downloader/ ),
and downloads go to the user's download folder + /Quivra.
.TP
.I downloads.db
The download list and the subscriptions, beside
.IR config.ini ,
shared with the windows: what
.BR get ,
.BR list ,
.BR resume ,
.B subscribe
and
.B sync
work on.
.TP
.I quivra-downloader-sync.service, quivra-downloader-sync.timer
systemd user units (in /usr/lib/systemd/user) that run
.B sync
every hour; installed but not enabled:
.B systemctl --user enable --now quivra-downloader-sync.timer
[EXIT STATUS]
.TP
.B 0
Everything asked for was done.
.TP
.B 1
Something failed; the reason is on standard error.
.TP
.B 2
Bad usage.
.TP
.B 3
The address named no video the site knows (the main window's message on standard error).
.TP
.B 130
Ctrl-C (or SIGTERM) stopped the downloads; what they fetched stays, and the next
.B get
or
.B resume
continues it.
TEXT
} >"$sections"

help2man --no-info --no-discard-stderr --section=1 \
  --name="download the Quivra site's videos as MP4 files" \
  --include="$sections" --output="$out/quivra-downloader.1" "$program"

{
  echo "# bash completion for quivra-downloader, made from its --help by scripts/cli_docs.sh"
  echo "_quivra_downloader() {"
  echo '    local cur=${COMP_WORDS[COMP_CWORD]} command= word words'
  echo '    for word in "${COMP_WORDS[@]:1:COMP_CWORD-1}"; do'
  echo '        case $word in -*) ;; *) command=$word; break ;; esac'
  echo '    done'
  echo '    case $command in'
  echo "        '') words=\"$(echo $(options_of) $commands)\" ;;"
  for command in $commands; do
    echo "        $command) words=\"$(echo $(options_of "$command"))\" ;;"
  done
  echo '        *) words= ;;'
  echo '    esac'
  echo '    COMPREPLY=($(compgen -W "$words" -- "$cur"))'
  echo "}"
  echo "complete -F _quivra_downloader quivra-downloader"
} >"$out/quivra-downloader.bash"
