#!/usr/bin/env bash
# The window's WM_CLASS matches StartupWMClass of the menu entry, so the
# desktop ties the running window to the entry and shows its icon.
# Usage: check-wm-class.sh VANTOREL DESKTOP_FILE   (runs under xvfb-run)
set -euo pipefail
# shellcheck source-path=SCRIPTDIR source=common.sh
. "$(dirname "${BASH_SOURCE[0]}")/common.sh"

if [ -z "${INSIDE_XVFB:-}" ]; then
    INSIDE_XVFB=1 exec xvfb-run -a "$0" "$@"
fi

program=$1
desktop=$2
home=$(mktemp -d)
HOME=$home XDG_CONFIG_HOME=$home/.config "$program" &
pid=$!
cleanup() {
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    rm -rf "$home"
}
trap cleanup EXIT

# The top-level window is the one titled "Vantorel".
window=
for _ in $(seq 100); do
    window=$(xwininfo -root -tree | awk '$2 == "\"Vantorel\":" { print $1; exit }')
    [ -n "$window" ] && break
    kill -0 "$pid" 2>/dev/null || fail "$program ended before showing its window"
    sleep 0.1
done
[ -n "$window" ] || fail "no window titled Vantorel within 10 s"

# WM_CLASS(STRING) = "instance", "class"; the entry may name either.
wm_class=$(xprop -id "$window" WM_CLASS)
wanted=$(sed -n 's/^StartupWMClass=//p' "$desktop")
[ -n "$wanted" ] || fail "$desktop has no StartupWMClass"
grep -qF "\"$wanted\"" <<<"$wm_class" || fail "StartupWMClass=$wanted, but the window has $wm_class"

echo "wm-class: $wm_class"
