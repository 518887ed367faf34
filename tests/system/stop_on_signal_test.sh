#!/usr/bin/env bash
# The real program under an X server, driven by real key presses. A stop
# signal (TERM, INT, HUP), with the "Error" box open or not, saves the
# settings once and exits 0; a save beyond the file-size limit keeps the
# earlier file whole; a second start raises the running window, exits 0 and
# writes no settings. Every step waits on a condition, never a fixed pause.
# Usage: stop_on_signal_test.sh PATH/TO/vantorel   (run under xvfb-run)
set -uo pipefail

program=$1
work=$(mktemp -d)
export HOME=$work XDG_RUNTIME_DIR=$work
trap 'kill $(jobs -p) 2>/dev/null; rm -rf "$work"' EXIT
failures=0

fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

# Retries a command every 20 ms, $tries times (10 s by default).
wait_for() {
    local i
    for ((i = 0; i < ${tries:-500}; i++)); do
        "$@" && return 0
        sleep 0.02
    done
    return 1
}
window() { xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1; }
shown() { [ -n "$(window "$1")" ]; }
gone() { ! shown "$1"; }
ended() { ! kill -0 "$pid" 2>/dev/null; }
keys() { xdotool windowfocus --sync "$(window "$1")" key "${@:2}"; }

# Alt+C presses Calculate, which with no desired thread opens the "Error"
# box. Keys sent before the window is ready may be lost, so Alt+C is pressed
# until the box shows; from then on keys are handled in order.
box_by_alt_c() { keys '^Vantorel$' alt+c && tries=10 wait_for shown '^Error$'; }
ok() { keys '^Error$' Return && wait_for gone '^Error$'; }

# Starts the program on the store in $1 and waits until it takes keys.
start() {
    XDG_CONFIG_HOME=$1 "$program" &
    pid=$!
    wait_for shown '^Vantorel$' && tries=50 wait_for box_by_alt_c && ok
}

# Waits for the program to end by itself and returns its exit status.
stopped() {
    wait_for ended || kill -KILL "$pid"
    wait "$pid"
}

# A second start on the same display raises the running window over another
# one, ends with status 0 and writes no settings (none exist yet).
on_top() { [ "$(xwininfo -root -children | grep -oE '"(Vantorel|xmessage)"' | head -n 1)" = "\"$1\"" ]; }
second_start_raises_the_first() {
    xmessage -geometry 600x600+0+0 over &
    wait_for shown '^xmessage$' && on_top xmessage || fail "single instance: first window not covered"
    XDG_CONFIG_HOME=$config timeout 10 "$program"
    local status=$?
    [ "$status" -eq 0 ] || fail "single instance: second start exit status $status"
    wait_for on_top Vantorel || fail "single instance: first window not raised"
    [ ! -e "$config/vantorel.conf" ] || fail "single instance: the second start wrote settings"
    kill %xmessage
}

# Alt+G and a tab reach the Add entry, where Enter adds the gear; then the
# box is opened again, and with "closed" its OK is pressed.
for run in "TERM open" "INT closed" "HUP open"; do
    read -r signal box <<<"$run"
    config=$work/$signal
    start "$config" || { fail "SIG$signal: the window takes no keys"; continue; }
    [ "$signal" = INT ] && second_start_raises_the_first
    keys '^Vantorel$' alt+g Tab 1 2 7 Return alt+c && wait_for shown '^Error$' ||
        fail "SIG$signal: no message box"
    [ "$box" = open ] || ok || fail "SIG$signal: the message box stays"
    kill -s "$signal" "$pid"
    kill -s "$signal" "$pid" 2>/dev/null # a second signal while closing changes nothing
    stopped
    status=$?
    [ "$status" -eq 0 ] || fail "SIG$signal, box $box: exit status $status"
    grep -qx '14=127' "$config/vantorel.conf" || fail "SIG$signal, box $box: gear 127 not saved"
    [ "$(grep -c '^Count=15$' "$config/vantorel.conf")" = 1 ] || fail "SIG$signal: count not saved once"
done

# No file may grow: the save fails, the earlier file stays whole.
config=$work/limited
mkdir -p "$config"
printf '[Gears]\nCount=2\n0=30\n1=40\n' | tee "$work/earlier.conf" >"$config/vantorel.conf"
(
    ulimit -f 0
    start "$config" || exit 3
    kill -TERM "$pid"
    stopped
)
status=$?
[ "$status" -eq 0 ] || fail "file-size limit: exit status $status"
cmp -s "$config/vantorel.conf" "$work/earlier.conf" || fail "file-size limit: earlier file changed"
[ "$(ls "$config")" = vantorel.conf ] || fail "file-size limit: left $(ls "$config")"

echo "$failures failed"
[ "$failures" -eq 0 ]
