#!/usr/bin/env bash
# The installed menu entry and AppStream metainfo pass Debian's validators
# and point at each other, at the installed program and at its icon.
# Usage: check-desktop-metadata.sh BUILD_DIR
set -euo pipefail
# shellcheck source-path=SCRIPTDIR source=common.sh
. "$(dirname "${BASH_SOURCE[0]}")/common.sh"

build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
install_into "$build" "$prefix"

desktop=$prefix/share/applications/vantorel.desktop
metainfo=$prefix/share/metainfo/io.github.vantorel.Vantorel.metainfo.xml

desktop-file-validate "$desktop" || fail "desktop-file-validate rejects $desktop"
appstreamcli validate --no-net --explain "$metainfo" || fail "appstreamcli rejects $metainfo"

key() { sed -n "s/^$1=//p" "$desktop"; }
exec=$(key Exec)
[ -x "$prefix/bin/${exec%% *}" ] || fail "Exec=$exec is not an installed program"
icon=$(key Icon)
[ -f "$prefix/share/icons/hicolor/scalable/apps/$icon.svg" ] || fail "Icon=$icon has no scalable icon"
[ -f "$prefix/share/icons/hicolor/48x48/apps/$icon.png" ] || fail "Icon=$icon has no 48x48 icon"

launchable=$(sed -n 's|.*<launchable type="desktop-id">\(.*\)</launchable>.*|\1|p' "$metainfo")
[ "$launchable" = "$(basename "$desktop")" ] || fail "metainfo launches '$launchable'"
grep -q "<binary>${exec%% *}</binary>" "$metainfo" || fail "metainfo does not provide $exec"

echo "desktop-metadata: both validators pass"
