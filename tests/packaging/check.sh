#!/usr/bin/env bash
# The packaging checks, one ctest command each:
#   check.sh install BUILD GUI(0|1)       an install into an empty prefix holds exactly the
#                                         expected files
#   check.sh deb BUILD GUI VERSION        cpack's .deb: its fields, Depends, Recommends and
#                                         files, lintian reports no error, and its own
#                                         vantorel-cli finds the profile it installs
#                                         (BUILD configured for /usr; skipped, 77, if not)
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
            bin/vantorel-lathe share/man/man1/vantorel-lathe.1.gz \
            share/applications/vantorel.desktop share/applications/vantorel-lathe.desktop share/metainfo/io.github.vantorel.Vantorel.metainfo.xml \
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

# Runs the package's own vantorel-cli, unpacked in $1, with arguments $3...,
# where it would run once installed: in a mount namespace of its own the
# package's usr/share stands in for /usr/share. $2 is an empty folder for
# HOME, so that no profile of the user's stands in for the installed one.
# Root makes the namespace itself, another user through a user namespace or
# sudo. Returns 3 when none of them can.
run_unpacked() {
    local root=$1 home=$2
    shift 2
    # shellcheck disable=SC2016 # expanded by the inner shell
    local inner='mount --bind "$0/usr/share" /usr/share && exec "$0/usr/bin/vantorel-cli" "$@"'
    local run=(env HOME="$home" XDG_CONFIG_HOME="$home/.config" unshare -m)
    if [ "$(id -u)" -eq 0 ] && unshare -m true 2>/dev/null; then
        "${run[@]}" sh -c "$inner" "$root" "$@"
    elif unshare -r -m true 2>/dev/null; then
        "${run[@]}" -r sh -c "$inner" "$root" "$@"
    elif sudo -n unshare -m true 2>/dev/null; then
        sudo -n "${run[@]}" sh -c "$inner" "$root" "$@"
    else
        return 3
    fi
}

# The example profile as `vantorel-cli --lathe example-gearbox` reads it once
# the package is installed. 13 tpi is 3.25 tpi, the first position A1, geared
# up 4:1 (20 to 80 through an idler, exact), and a tie goes to the first position.
check_packaged_profile() {
    mkdir "$out/root" "$out/home"
    dpkg-deb -x "$1" "$out/root"
    local status=0 lines
    lines=$(run_unpacked "$out/root" "$out/home" --lathe example-gearbox -n 1 13 2>&1) || status=$?
    if [ "$status" = 3 ]; then
        # The compiler may build the folder's name in code, so the binary
        # cannot be searched for it instead.
        echo "NOT CHECKED: no mount namespace (not root, no user namespaces, no sudo)" \
            "to run the package's own vantorel-cli on its own profile"
        return
    fi
    [ "$status" = 0 ] &&
        [ "$lines" = "[A1] A = 20, B = ANY, C = --, D = 80, Thread = 13.000, Error =  0.000%" ] ||
        fail "the packaged vantorel-cli --lathe example-gearbox -n 1 13 gives: $lines"
}

check_deb() {
    local prefix
    prefix=$(sed -n 's/^CMAKE_INSTALL_PREFIX:PATH=//p' "$1/CMakeCache.txt")
    if [ "$prefix" != /usr ]; then
        echo "skipped: the package installs to /usr, and $1 was configured for $prefix" \
            "(give cmake -DCMAKE_INSTALL_PREFIX=/usr)"
        exit 77
    fi
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
    check_packaged_profile "$deb"
}

check_desktop() {
    install_into "$1"
    appstreamcli validate --no-net --explain "$prefix"/share/metainfo/*.xml || fail "appstreamcli rejects the metainfo"
    local desktop
    for desktop in "$prefix"/share/applications/vantorel{,-lathe}.desktop; do
        desktop-file-validate "$desktop" || fail "desktop-file-validate rejects $desktop"
        local program
        program=$(sed -n 's/^Exec=//p' "$desktop")
        [ -x "$prefix/bin/$program" ] || fail "Exec is not an installed program"
        grep -qx "    <binary>$program</binary>" "$prefix"/share/metainfo/*.xml || fail "the metainfo lacks $program"
        [ -f "$prefix/share/icons/hicolor/scalable/apps/$(sed -n 's/^Icon=//p' "$desktop").svg" ] || fail "Icon missing"
    done
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
