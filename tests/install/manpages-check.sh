#!/usr/bin/env bash
# manpages-check.sh GUI CLI PAGE_FOLDER VERSION
# Every option that a program's --help lists is in its manual page, every command of the command-line tool
# has a section there, and both programs tell their version.
set -uo pipefail
gui=$1 cli=$2 pages=$3 version=$4
export QT_QPA_PLATFORM=offscreen
failed=0
fail() { echo "FAIL: $*"; failed=1; }

# check PAGE HELP_TEXT: each --option of the text appears in the page (roff writes a dash as \- and switches
# fonts with \fB, \fI, \fR).
check() {
    local page=$1 help=$2 option text
    [ -n "$help" ] || { fail "$(basename "$page"): the program printed no --help"; return; }
    text=$(sed 's/\\f[BIRP]//g; s/\\-/-/g' "$page")
    for option in $(grep -oE -- '--[a-z][a-z-]*' <<<"$help" | sort -u); do
        grep -qE -- "(^|[^a-z-])$option([^a-z-]|\$)" <<<"$text" ||
            fail "$(basename "$page"): $option is in --help but not in the manual page"
    done
}

cli_help=$(timeout 20 "$cli" --help)
check "$pages/nettlewright-cli.1" "$cli_help"
for command in $(awk '/^Commands:/ { listed = 1; next } listed && !NF { exit } listed { print $1 }' <<<"$cli_help"); do
    grep -q "^\.SS $command\$" "$pages/nettlewright-cli.1" || fail "nettlewright-cli.1: no section for $command"
    check "$pages/nettlewright-cli.1" "$(timeout 20 "$cli" "$command" --help 2>&1)"
done
check "$pages/nettlewright.1" "$(timeout 20 "$gui" --help 2>&1)"

for program in "$gui" "$cli"; do
    timeout 20 "$program" --version | grep -qF "$version" || fail "$(basename "$program") --version does not say $version"
done
((failed)) && exit 1
echo "manual pages cover every option of --help"
