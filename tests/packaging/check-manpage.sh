#!/usr/bin/env bash
# The man page formats without a groff warning and names every option that
# "vantorel-cli --help" lists, and the same default gear list.
# Usage: check-manpage.sh VANTOREL_CLI MANPAGE
set -euo pipefail
# shellcheck source-path=SCRIPTDIR source=common.sh
. "$(dirname "${BASH_SOURCE[0]}")/common.sh"

cli=$1
page=$2

warnings=$(groff -man -ww -z "$page" 2>&1)
[ -z "$warnings" ] || fail "groff warns about $page: $warnings"

help=$("$cli" --help)
# The page as text: roff writes a hyphen as \- and fonts as \fB...\fR.
text=$(sed -e 's/\\-/-/g' -e 's/\\f[BIRP]//g' "$page")

options=$(grep -oE '(^|[ ,])--?[a-z][a-z-]*' <<<"$help" | tr -d ' ,' | sort -u)
[ -n "$options" ] || fail "found no option in --help"
for option in $options; do
    grep -qE -- "(^|[^a-z-])$option([^a-z-]|\$)" <<<"$text" || fail "$page does not describe $option"
done

gears=$(grep -oE 'default [0-9]+(,[0-9]+)+' <<<"$help" | cut -d' ' -f2)
[ -n "$gears" ] || fail "found no default gear list in --help"
grep -qF -- "$gears" <<<"$text" || fail "$page does not give the default gears $gears"

echo "manpage: $(wc -w <<<"$options") options described"
