#!/usr/bin/env bash
# The packaging checks, one ctest command each:
#   check.sh install BUILD GUI(0|1)       an install into an empty prefix holds exactly the
#                                         expected files
#   check.sh deb BUILD GUI VERSION        cpack's .deb: its fields, Depends, Recommends and
#                                         files, and lintian reports no error
#   check.sh desktop BUILD                menu entry and AppStream metainfo pass Debian's
#                                         validators and point at the program and its icon
#   check.sh manpages CLI PACKAGING_DIR   the pages format without a groff warning, and
#                                         vantorel-cli.1 names every option of --help
#   check.sh wm-class PROGRAM DESKTOP     the window's WM_CLASS is StartupWMClass (needs X)
set -euo pipefail

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# The files an install must hold, relative to the prefix, sorted; $1 is 1
# when the window is built.
expected_files() {
    {
        printf '%s\n' bin/vantorel-cli share/man/man1/vantorel-cli.1.gz \
            share/doc/vantorel/copyright share/doc/vantorel/changelog.gz \
            share/vantorel/lathes/example-banjo.json share/vantorel/lathes/example-gearbox.json
        [ "$1" = 0 ] || printf '%s\n' bin/vantorel share/man/man1/vantorel.1.gz \
            share/applications/vantorel.desktop share/metainfo/io.github.vantorel.Vantorel.metainfo.xml \
            share/icons/hicolor/scalable/apps/vantorel.svg share/icons/hicolor/{16x16,24x24,32x32,48x48,64x64,128x128,256x256}/apps/vantorel.png
    } | LC_ALL=C sort
}

install_into() {
    prefix=$(mktemp -d)
    trap 'rm -rf "$prefix"' EXIT
    cmake --install "$1" --prefix "$prefix" >/dev/null
}

check_install() {
    install_into "$1"
    diff <(expected_files "$2") <(cd "$prefix" && find . -type f -o -type l | sed 's|^\./||' |
        LC_ALL=C sort) || fail "installed files differ (< expected, > installed)"
}

check_deb() {
    out=$(mktemp -d)
    trap 'rm -rf "$out"' EXIT
    cpack --config "$1/CPackConfig.cmake" -G DEB -B "$out" >"$out/log" 2>&1 || fail "$(cat "$out/log")"
    local deb=$out/vantorel_${3}_$(dpkg --print-architecture).deb
    local fields
    fields=$(dpkg-deb -f "$deb" Package Version Maintainer Section Depends Recommends)
    grep -qx "Package: vantorel" <<<"$fields" && grep -qx "Version: $3" <<<"$fields" &&
        grep -q '^Maintainer: .' <<<"$fields" && grep -q '^Section: .' <<<"$fields" &&
        grep -qE '^Depends: (.*, )?libc6[ ,]' <<<"$fields" || fail "fields: $fields"
    [ "$2" = 0 ] || { grep -qE '^Depends: (.*, )?libwxgtk[0-9.]+-[0-9]+' <<<"$fields" &&
        grep -qx 'Recommends: librsvg2-common' <<<"$fields"; } || fail "fields: $fields"
    diff <(expected_files "$2" | sed 's|^|usr/|') <(dpkg-deb -c "$deb" |
        awk '$1 !~ /^d/ { print $6 }' | sed 's|^\./||' | LC_ALL=C sort) ||
        fail "packaged files differ (< expected, > packaged)"
    lintian --fail-on error "$deb" || fail "lintian reports errors"
}

check_desktop() {
    install_into "$1"
    local desktop=$prefix/share/applications/vantorel.desktop
    desktop-file-validate "$desktop" || fail "desktop-file-validate rejects $desktop"
    appstreamcli validate --no-net --explain "$prefix"/share/metainfo/*.xml || fail "appstreamcli rejects the metainfo"
    [ -x "$prefix/bin/$(sed -n 's/^Exec=//p' "$desktop")" ] || fail "Exec is not an installed program"
    [ -f "$prefix/share/icons/hicolor/scalable/apps/$(sed -n 's/^Icon=//p' "$desktop").svg" ] || fail "Icon missing"
}

check_manpages() {
    for page in "$2"/*.1; do
        [ -z "$(groff -man -ww -z "$page" 2>&1)" ] || fail "groff warns about $page"
    done
    local help text
    help=$("$1" --help)
    # The page as text: roff writes a hyphen as \- and fonts as \fB...\fR.
    text=$(sed -e 's/\\-/-/g' -e 's/\\f[BIRP]//g' "$2/vantorel-cli.1")
    for option in $(grep -oE '(^|[ ,])--?[a-z][a-z-]*' <<<"$help" | tr -d ' ,' | sort -u); do
        grep -qE -- "(^|[^a-z-])$option([^a-z-]|\$)" <<<"$text" || fail "vantorel-cli.1 lacks $option"
    done
    grep -qF -- "$(grep -oE 'default [0-9]+(,[0-9]+)+' <<<"$help" | cut -d' ' -f2)" <<<"$text" ||
        fail "vantorel-cli.1 does not give the default gears"
}

check_wm_class() {
    [ -n "${INSIDE_XVFB:-}" ] || INSIDE_XVFB=1 exec xvfb-run -a "$0" wm-class "$@"
    home=$(mktemp -d)
    HOME=$home XDG_CONFIG_HOME=$home/.config "$1" &
    trap 'kill %1; wait; rm -rf "$home"' EXIT
    local window=
    for _ in $(seq 100); do
        window=$(xwininfo -root -tree | awk '$2 == "\"Vantorel\":" { print $1; exit }')
        [ -n "$window" ] && break
        sleep 0.1
    done
    # WM_CLASS(STRING) = "instance", "class"; the entry may name either.
    grep -qF "\"$(sed -n 's/^StartupWMClass=//p' "$2")\"" <<<"$(xprop -id "$window" WM_CLASS)" ||
        fail "the window '$window' has no WM_CLASS of the entry's StartupWMClass"
}

"check_${1//-/_}" "${@:2}"
