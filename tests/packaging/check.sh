#!/usr/bin/env bash
# The packaging checks, one ctest command each:
#   check.sh install BUILD GUI(0|1)       an install into an empty prefix holds exactly the
#                                         expected files; each PNG icon has its folder's size
#   check.sh deb BUILD GUI VERSION        cpack's .deb: its fields, Depends, Recommends and
#                                         files, and lintian reports no error
#   check.sh desktop BUILD                menu entry and AppStream metainfo pass Debian's
#                                         validators and point at each other, program and icon
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
    printf '%s\n' bin/vantorel-cli share/man/man1/vantorel-cli.1.gz \
        share/doc/vantorel/copyright share/doc/vantorel/changelog.gz
    if [ "$1" = 1 ]; then
        printf '%s\n' bin/vantorel share/man/man1/vantorel.1.gz share/applications/vantorel.desktop \
            share/metainfo/io.github.vantorel.Vantorel.metainfo.xml \
            share/icons/hicolor/scalable/apps/vantorel.svg
        for size in 16 24 32 48 64 128 256; do
            echo "share/icons/hicolor/${size}x${size}/apps/vantorel.png"
        done
    fi
}

install_into() {
    prefix=$(mktemp -d)
    trap 'rm -rf "$prefix"' EXIT
    cmake --install "$1" --prefix "$prefix" >/dev/null
}

check_install() {
    install_into "$1"
    diff <(expected_files "$2" | LC_ALL=C sort) <(cd "$prefix" && find . -type f -o -type l |
        sed 's|^\./||' | LC_ALL=C sort) || fail "installed files differ (< expected, > installed)"
    for icon in "$prefix"/share/icons/hicolor/*x*/apps/vantorel.png; do
        [ -e "$icon" ] || continue
        # A PNG stores its width and height as 32-bit big-endian numbers at byte 16.
        size=$(od -An -tu1 -j16 -N8 "$icon" | awk '{ print $3 * 256 + $4 "x" $7 * 256 + $8 }')
        [[ $icon == */${size}/apps/* ]] || fail "$icon is $size"
    done
}

check_deb() {
    local deb
    out=$(mktemp -d)
    trap 'rm -rf "$out"' EXIT
    cpack --config "$1/CPackConfig.cmake" -G DEB -B "$out" >"$out/log" 2>&1 || fail "cpack: $(cat "$out/log")"
    deb=$out/vantorel_${3}_$(dpkg --print-architecture).deb
    [ -f "$deb" ] || fail "cpack made no $(basename "$deb")"
    field() { dpkg-deb -f "$deb" "$1"; }
    [ "$(field Package) $(field Version)" = "vantorel $3" ] || fail "package $(field Package) $(field Version)"
    [ -n "$(field Maintainer)" ] && [ -n "$(field Section)" ] || fail "no Maintainer or Section"
    grep -qE '(^|, )libc6( |,|$)' <<<"$(field Depends)" || fail "Depends names no libc6"
    if [ "$2" = 1 ]; then
        grep -qE '(^|, )libwxgtk[0-9.]+-[0-9]+' <<<"$(field Depends)" || fail "Depends names no libwxgtk"
        [ "$(field Recommends)" = librsvg2-common ] || fail "Recommends is '$(field Recommends)'"
    fi
    diff <(expected_files "$2" | sed 's|^|usr/|' | LC_ALL=C sort) \
        <(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $6 }' | sed 's|^\./||' | LC_ALL=C sort) ||
        fail "packaged files differ (< expected, > packaged)"
    zcat "$1/packaging/changelog.gz" | head -n 1 | grep -qF "vantorel ($3)" || fail "changelog is not at $3"
    lintian --fail-on error "$deb" || fail "lintian reports errors"
}

check_desktop() {
    install_into "$1"
    local desktop=$prefix/share/applications/vantorel.desktop
    local metainfo=$prefix/share/metainfo/io.github.vantorel.Vantorel.metainfo.xml
    desktop-file-validate "$desktop" || fail "desktop-file-validate rejects $desktop"
    appstreamcli validate --no-net --explain "$metainfo" || fail "appstreamcli rejects $metainfo"
    key() { sed -n "s/^$1=//p" "$desktop"; }
    [ -x "$prefix/bin/$(key Exec)" ] || fail "Exec=$(key Exec) is not an installed program"
    [ -f "$prefix/share/icons/hicolor/scalable/apps/$(key Icon).svg" ] || fail "Icon=$(key Icon) missing"
    grep -q "<launchable type=\"desktop-id\">vantorel.desktop</launchable>" "$metainfo" ||
        fail "metainfo does not launch vantorel.desktop"
    grep -q "<binary>$(key Exec)</binary>" "$metainfo" || fail "metainfo does not provide $(key Exec)"
}

check_manpages() {
    local page
    for page in "$2"/*.1; do
        [ -z "$(groff -man -ww -z "$page" 2>&1)" ] || fail "groff warns about $page"
    done
    local help text options
    help=$("$1" --help)
    # The page as text: roff writes a hyphen as \- and fonts as \fB...\fR.
    text=$(sed -e 's/\\-/-/g' -e 's/\\f[BIRP]//g' "$2/vantorel-cli.1")
    options=$(grep -oE '(^|[ ,])--?[a-z][a-z-]*' <<<"$help" | tr -d ' ,' | sort -u)
    [ -n "$options" ] || fail "found no option in --help"
    for option in $options; do
        grep -qE -- "(^|[^a-z-])$option([^a-z-]|\$)" <<<"$text" || fail "vantorel-cli.1 lacks $option"
    done
    grep -qF -- "$(grep -oE 'default [0-9]+(,[0-9]+)+' <<<"$help" | cut -d' ' -f2)" <<<"$text" ||
        fail "vantorel-cli.1 does not give the default gears"
    grep -q '^\.BR vantorel\\-cli (1)' "$2/vantorel.1" || fail "vantorel.1 does not point to vantorel-cli(1)"
}

check_wm_class() {
    [ -n "${INSIDE_XVFB:-}" ] || INSIDE_XVFB=1 exec xvfb-run -a "$0" wm-class "$@"
    local window=
    home=$(mktemp -d)
    HOME=$home XDG_CONFIG_HOME=$home/.config "$1" &
    trap 'kill %1; wait; rm -rf "$home"' EXIT
    for _ in $(seq 100); do
        window=$(xwininfo -root -tree | awk '$2 == "\"Vantorel\":" { print $1; exit }')
        [ -n "$window" ] && break
        sleep 0.1
    done
    [ -n "$window" ] || fail "no window titled Vantorel within 10 s"
    # WM_CLASS(STRING) = "instance", "class"; the entry may name either.
    grep -qF "\"$(sed -n 's/^StartupWMClass=//p' "$2")\"" <<<"$(xprop -id "$window" WM_CLASS)" ||
        fail "WM_CLASS $(xprop -id "$window" WM_CLASS) is not the entry's StartupWMClass"
}

"check_${1//-/_}" "${@:2}"
echo "$1: passed"
