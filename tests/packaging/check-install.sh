#!/usr/bin/env bash
# An install into an empty prefix holds exactly the expected files, the
# programs are executable and each PNG icon has the size its folder names.
# Usage: check-install.sh BUILD_DIR GUI(0|1)
set -euo pipefail
# shellcheck source-path=SCRIPTDIR source=common.sh
. "$(dirname "${BASH_SOURCE[0]}")/common.sh"

build=$1
gui=$2
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT

install_into "$build" "$prefix"

actual=$(cd "$prefix" && find . -type f -o -type l | sed 's|^\./||' | LC_ALL=C sort)
if ! diff <(expected_files "$gui") <(echo "$actual"); then
    fail "installed files differ from the expected list (< expected, > installed)"
fi

for program in "$prefix"/bin/*; do
    [ -x "$program" ] || fail "$program is not executable"
done

# A PNG stores its width and height as 32-bit big-endian numbers at byte 16.
png_size() {
    od -An -tu1 -j16 -N8 "$1" |
        awk '{ print $1 * 16777216 + $2 * 65536 + $3 * 256 + $4 "x" $5 * 16777216 + $6 * 65536 + $7 * 256 + $8 }'
}
for icon in "$prefix"/share/icons/hicolor/*x*/apps/vantorel.png; do
    [ -e "$icon" ] || continue
    folder=$(basename "$(dirname "$(dirname "$icon")")")
    [ "$(png_size "$icon")" = "$folder" ] || fail "$icon is $(png_size "$icon"), not $folder"
done

echo "install: $(echo "$actual" | wc -l) files as expected"
