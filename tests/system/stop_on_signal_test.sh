#!/usr/bin/env bash
# The real program under an X server, driven by real key presses. A stop
# signal (TERM, INT, HUP), with the "Error" box open or not, even before the
# toolkit starts, saves the settings once and exits 0; a save beyond the file-size limit keeps the
# earlier file whole; a second start raises the running window, exits 0 and
# writes no settings. Every step waits on a condition, never a fixed pause.
# Usage: stop_on_signal_test.sh PATH/TO/vantorel   (run under xvfb-run -s -noreset)
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
on_top() { [ "$(xwininfo -root -children | grep -oE '"(Vantorel|xmessage)"' | head -n 1)" = "\"$1\"" ]; }

# Alt+C presses Calculate, which with no desired thread opens the "Error"
# box. Keys sent before the window is ready may be lost, so it is pressed
# until the box shows; from then on keys are handled in order.
box_by_alt_c() { keys '^Vantorel$' alt+c && tries=10 wait_for shown '^Error$'; }
ok() { keys '^Error$' Return && wait_for gone '^Error$'; }

# Starts the program on the store in $config and waits until it takes keys.
start() {
    XDG_CONFIG_HOME=$config "$program" &
    pid=$!
    wait_for shown '^Vantorel$' && tries=50 wait_for box_by_alt_c && ok
}

# Signals the program twice (the second, while it closes, changes nothing)
# and gives its exit status.
stop() {
    kill -s "$1" "$pid" && kill -s "$1" "$pid" 2>/dev/null
    wait_for ended || kill -KILL "$pid"
    wait "$pid"
}

# Alt+G and a tab reach the Add entry, where Enter adds the gear; then the
# box opens again, and with "closed" its OK is pressed. Before that, with
# INT, a second start covered by another window must raise this one.
for run in "TERM open" "INT closed" "HUP open"; do
    read -r signal box <<<"$run"
    config=$work/$signal
    start || fail "SIG$signal: the window takes no keys"
    if [ "$signal" = INT ]; then
        xmessage -geometry 600x600+0+0 over &
        wait_for shown '^xmessage$' && on_top xmessage || fail "second start: not covered"
        XDG_CONFIG_HOME=$config timeout 10 "$program" || fail "second start: exit status $?"
        wait_for on_top Vantorel || fail "second start: the running window not raised"
        [ ! -e "$config/vantorel.conf" ] || fail "second start: settings written"
        kill %xmessage
    fi
    keys '^Vantorel$' alt+g Tab 1 2 7 Return alt+c && wait_for shown '^Error$' || fail "SIG$signal: no box"
    [ "$box" = open ] || ok || fail "SIG$signal: the box stays"
    stop "$signal" || fail "SIG$signal, box $box: exit status $?"
    grep -qx '14=127' "$config/vantorel.conf" || fail "SIG$signal, box $box: gear 127 not saved"
    [ "$(grep -c '^Count=15$' "$config/vantorel.conf")" = 1 ] || fail "SIG$signal: not saved once"
done

# A signal while the window is still being built: the lock file the start
# makes first says when that is.
config=$work/early
mkdir "$work/early-run"
XDG_CONFIG_HOME=$config XDG_RUNTIME_DIR=$work/early-run "$program" &
pid=$!
until [ -n "$(ls -A "$work/early-run")" ] || ended; do :; done
stop TERM || fail "early SIGTERM: exit status $?"
grep -qx 'Count=14' "$config/vantorel.conf" || fail "early SIGTERM: settings not saved"

# A signal before the toolkit starts: the program is held where the toolkit
# first reads the X authority file, a FIFO here, until the signal is sent.
# The handler is in place by then, as the process's caught signals show,
# once it is the program: between fork and exec it is still the shell, which
# may catch TERM itself and then end on it.
executable=$(readlink -f "$program")
caught_term() {
    [ "$(readlink "/proc/$pid/exe")" = "$executable" ] &&
        (( 0x$(awk '$1 == "SigCgt:" { print $2 }' "/proc/$pid/status") & 1 << 14 ))
}
config=$work/before-toolkit
mkfifo "$work/authority"
XDG_CONFIG_HOME=$config XAUTHORITY=$work/authority "$program" &
pid=$!
tries=100 wait_for caught_term || fail "before the toolkit starts: SIGTERM not caught"
kill -s TERM "$pid"
# The toolkit may read the file more than once.
(while ! ended; do cat "${XAUTHORITY:-/dev/null}" >"$work/authority"; done) &
writer=$!
wait_for ended || kill -KILL "$pid"
wait "$pid" || fail "SIGTERM before the toolkit starts: exit status $?"
# A writer still waiting for a reader is let through, and then sees the end.
exec 3<>"$work/authority"
wait "$writer"
exec 3<&-
grep -qx 'Count=14' "$config/vantorel.conf" || fail "SIGTERM before the toolkit starts: not saved"

# No file may grow: the save fails and leaves the earlier file whole.
config=$work/limited
mkdir -p "$config"
printf '[Gears]\nCount=2\n0=30\n1=40\n' | tee "$work/earlier.conf" >"$config/vantorel.conf"
(ulimit -f 0 && start && stop TERM) || fail "file-size limit: exit status $?"
cmp -s "$config/vantorel.conf" "$work/earlier.conf" || fail "file-size limit: earlier file changed"
[ "$(ls "$config")" = vantorel.conf ] || fail "file-size limit: left $(ls "$config")"

echo "$failures failed"
[ "$failures" -eq 0 ]
