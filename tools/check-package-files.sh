#!/usr/bin/env bash
# Checks the files a distribution installs beside the programs, with the
# tools distributions check them with, and against the programs themselves:
#   the desktop entry (desktop-file-validate), the AppStream metadata
#   (appstreamcli validate), the manual pages (groff warnings, lexgrog) and
#   the bash completion of audimark-cli (bash-completion);
#   every option the programs' --help lists is in their manual page, and
#   every command and option of audimark-cli is completed.
# Exits 77 (skipped) when a checking tool is missing.
#
# usage: check-package-files.sh SOURCE_DIR AUDIMARK AUDIMARK_CLI VIRTUAL_METER
set -uo pipefail

src=$1
audimark=$2
cli=$3
meter=$4
completion_lib=/usr/share/bash-completion/bash_completion

missing=()
for tool in desktop-file-validate appstreamcli groff lexgrog; do
    command -v "$tool" >/dev/null || missing+=("$tool")
done
[ -f "$completion_lib" ] || missing+=("bash-completion")
if [ ${#missing[@]} -gt 0 ]; then
    echo "skipped: missing ${missing[*]}"
    exit 77
fi

failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

# The desktop entry and the AppStream metadata.
out=$(desktop-file-validate "$src/app/audimark.desktop" 2>&1) || fail "desktop-file-validate: $out"
[ -z "$out" ] || fail "desktop-file-validate: $out"
for metainfo in "$src"/resources/linux/*.metainfo.xml; do
    out=$(appstreamcli validate --no-net "$metainfo" 2>&1) || fail "appstreamcli validate: $out"
done

# The manual pages: no groff warning, a NAME line that whatis can read.
for page in "$src"/docs/man/*.1; do
    out=$(groff -ww -z -man "$page" 2>&1)
    [ -z "$out" ] || fail "groff warns on $(basename "$page"): $out"
    lexgrog "$page" >/dev/null 2>&1 || fail "lexgrog cannot read the NAME of $(basename "$page")"
done

# The long options a program's --help lists.
help_options() {
    "$@" --help 2>&1 | grep -o -- '--[a-z][a-z-]*' | grep -v -x -e '--help' -e '--help-all' \
        -e '--version' | sort -u
}

# Each option of a program appears in its manual page (written \-\-name).
check_man_options() {
    local page=$1 option
    shift
    local options
    options=$(help_options "$@")
    [ -n "$options" ] || fail "$* --help lists no options"
    for option in $options; do
        grep -q -F -- "$(sed 's/-/\\-/g' <<<"$option")" "$page" ||
            fail "$(basename "$page") does not describe $option"
    done
}
check_man_options "$src/docs/man/audimark.1" env QT_QPA_PLATFORM=offscreen "$audimark"
check_man_options "$src/docs/man/audimark-virtual-meter.1" "$meter"

# The commands audimark-cli names in its --help (one per line under
# "Commands:", "help COMMAND" aside).
cli_commands=$("$cli" --help | sed -n '/^Commands:/,/^$/p' | sed -n 's/^  \([a-z][a-z-]*\) .*/\1/p' |
    grep -v -x help)
[ -n "$cli_commands" ] || fail "audimark-cli --help names no commands"
# audimark-cli's options: those of every command's own help.
cli_options() {
    local command
    for command in $cli_commands; do
        help_options "$cli" "$command"
    done | sort -u
}
options=$(cli_options)
[ -n "$options" ] || fail "$cli COMMAND --help lists no options"
for option in $options; do
    grep -q -F -- "$(sed 's/-/\\-/g' <<<"$option")" "$src/docs/man/audimark-cli.1" ||
        fail "audimark-cli.1 does not describe $option"
done

for command in $cli_commands; do
    grep -q -F -- "\\fBaudimark\\-cli $(sed 's/-/\\-/g' <<<"$command")" "$src/docs/man/audimark-cli.1" ||
        fail "audimark-cli.1 has no synopsis line for $command"
done

# What the completion offers for a command line that ends at the cursor.
complete_line() {
    bash -c '
        source "$1" && source "$2" || exit 1
        line=$3
        COMP_LINE=$line
        COMP_POINT=${#line}
        read -ra COMP_WORDS <<<"$line"
        [[ $line == *" " ]] && COMP_WORDS+=("")
        COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
        _audimark_cli audimark-cli "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD-1]}"
        printf "%s\n" "${COMPREPLY[@]}" | sort' \
        complete "$completion_lib" "$src/tools/completion/audimark-cli" "$1"
}
expect_completion() {
    local line=$1 expected got
    expected=$(tr ' ' '\n' <<<"$2" | sort)
    got=$(complete_line "$line")
    [ "$got" = "$expected" ] || fail "completing '$line' gives '$(echo $got)', not '$2'"
}

offered_commands=$(complete_line "audimark-cli ")
offered_options=""
for command in $cli_commands; do
    grep -q -x -F -- "$command" <<<"$offered_commands" || fail "the completion lacks the command $command"
    offered_options+=" $(complete_line "audimark-cli $command --")"
done
for option in $(cli_options); do
    grep -q -w -F -- "$option" <<<"$offered_options" || fail "the completion offers $option for no command"
done
for option in $offered_options; do
    [ "$option" = --help ] && continue
    cli_options | grep -q -x -F -- "$option" || fail "the completion offers $option, which audimark-cli does not know"
done
expect_completion "audimark-cli s" "sets set-clock set-interval stats"
expect_completion "audimark-cli live --format " "text csv"
expect_completion "audimark-cli export --format " "csv txt"
expect_completion "audimark-cli --port /dev/null info --format " "text json"
expect_completion "audimark-cli erase --" "--yes --port --help"
expect_completion "audimark-cli help s" "sets set-clock set-interval stats"
expect_completion "audimark-cli archive " "list export delete import"
expect_completion "audimark-cli archive export 3 --format " "csv txt"
expect_completion "audimark-cli archive list --kind " "realtime logger autoload import"
expect_completion "audimark-cli archive delete 3 --" "--yes --archive --help"
expect_completion "audimark-cli record --interval " "0.1 0.2 0.5 1 2 5 10 20 30"

if [ "$failures" -gt 0 ]; then
    echo "$failures check(s) failed"
    exit 1
fi
echo "desktop entry, metadata, manual pages and completion agree with the programs"
