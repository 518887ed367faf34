#!/usr/bin/env bash
# cpack builds vantorel_<version>_<arch>.deb that installs exactly the
# expected files under /usr and depends, through dpkg-shlibdeps, on the C
# library and, with the window, on the wxWidgets libraries.
# Usage: check-deb.sh BUILD_DIR GUI(0|1) VERSION
set -euo pipefail
# shellcheck source-path=SCRIPTDIR source=common.sh
. "$(dirname "${BASH_SOURCE[0]}")/common.sh"

build=$1
gui=$2
version=$3
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

cpack --config "$build/CPackConfig.cmake" -G DEB -B "$out" >"$out/cpack.log" 2>&1 ||
    { cat "$out/cpack.log" >&2; fail "cpack failed"; }

deb=$out/vantorel_${version}_$(dpkg --print-architecture).deb
[ -f "$deb" ] || fail "cpack made no $(basename "$deb"): $(ls "$out")"

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = vantorel ] || fail "Package is '$(field Package)'"
[ "$(field Version)" = "$version" ] || fail "Version is '$(field Version)', not $version"
[ -n "$(field Maintainer)" ] || fail "no Maintainer"
[ -n "$(field Section)" ] || fail "no Section"

depends=$(field Depends)
grep -qE '(^|, )libc6( |,|$)' <<<"$depends" || fail "Depends names no libc6: $depends"
if [ "$gui" = 1 ]; then
    grep -qE '(^|, )libwxgtk[0-9.]+-[0-9]+' <<<"$depends" || fail "Depends names no libwxgtk: $depends"
fi

# Regular files and links only; a line ends in the path, "./usr/...".
actual=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $6 }' | sed 's|^\./||' | LC_ALL=C sort)
if ! diff <(expected_files "$gui" | sed 's|^|usr/|') <(echo "$actual"); then
    fail "package files differ from the expected list (< expected, > packaged)"
fi

echo "deb: $(basename "$deb"), Depends: $depends"
