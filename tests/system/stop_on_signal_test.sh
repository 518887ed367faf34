#!/usr/bin/env bash
# Runs the real program under an X server, adds a gear with real key presses,
# stops the program with a signal and checks that the gear was saved, the exit
# was clean, and that a save that cannot be written leaves the earlier file.
# Usage: stop_on_signal_test.sh PATH/TO/vantorel   (run under xvfb-run)
set -uo pipefail

program=$1
work=$(mktemp -d)
trap 'chmod -R u+w "$work"; rm -rf "$work"' EXIT
failures=0
passes=0

fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

# Starts the program on the store in $1 and types a gear into the Add entry:
# the focus starts in the desired-thread entry, three tabs reach the Add entry,
# one more the Add button.
start_and_add_gear() {
    local config=$1 gear=$2
    XDG_CONFIG_HOME=$config "$program" 2>"$work/stderr" &
    pid=$!
    local window
    window=$(timeout 20 xdotool search --sync --onlyvisible --name '^Vantorel$' | head -n 1)
    [ -n "$window" ] || return 1
    timeout 5 xdotool windowfocus "$window"
    # Generous pauses: a sanitizer build on a busy machine is slow to react.
    sleep 1
    timeout 5 xdotool key --delay 50 Tab Tab Tab
    timeout 5 xdotool type --delay 50 "$gear"
    timeout 5 xdotool key --delay 50 Tab space
    sleep 1
}

# Waits for the program to end by itself; kills it if it hangs.
wait_for_exit() {
    local i
    for i in $(seq 1 100); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    if kill -0 "$pid" 2>/dev/null; then
        kill -KILL "$pid"
        wait "$pid"
        return 124
    fi
    wait "$pid"
}

for signal in TERM INT HUP; do
    config="$work/$signal"
    start_and_add_gear "$config" 127 || { fail "SIG$signal: window did not appear"; continue; }
    kill -s "$signal" "$pid"
    kill -s "$signal" "$pid" 2>/dev/null # a second signal while closing changes nothing
    wait_for_exit
    status=$?
    [ "$status" -eq 0 ] || fail "SIG$signal: exit status $status"
    grep -qx '14=127' "$config/vantorel.conf" 2>/dev/null || fail "SIG$signal: gear 127 not saved"
    grep -qx 'Count=15' "$config/vantorel.conf" 2>/dev/null || fail "SIG$signal: count not saved"
    [ "$(grep -c '^Count=' "$config/vantorel.conf" 2>/dev/null)" = 1 ] || fail "SIG$signal: saved twice"
    [ "$failures" -eq 0 ] && passes=$((passes + 1))
done

# A save that cannot be written: the directory is read-only and, since root
# ignores permissions, every file write fails as on a full disk.
config="$work/readonly"
mkdir -p "$config"
printf '[Gears]\nCount=2\n0=30\n1=40\n' >"$config/vantorel.conf"
cp "$config/vantorel.conf" "$work/earlier.conf"
chmod a-w "$config"
before=$failures
(
    trap '' XFSZ
    ulimit -f 0
    start_and_add_gear "$config" 55 || exit 3
    kill -TERM "$pid"
    wait_for_exit
) 
status=$?
[ "$status" -eq 0 ] || fail "unwritable store: exit status $status"
cmp -s "$config/vantorel.conf" "$work/earlier.conf" || fail "unwritable store: earlier file changed"
[ -z "$(find "$config" -name 'vantorel.conf.*')" ] || fail "unwritable store: temporary file left"
[ "$failures" -eq "$before" ] && passes=$((passes + 1))

echo "$passes passed, $failures failed"
[ "$failures" -eq 0 ]
