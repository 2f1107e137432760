#!/usr/bin/env bash
# A polite termination (SIGTERM) of a running game under a virtual display
# closes the main window the ordinary way: the settings file gets the window's
# bounds and the tally file is written before the process ends. The same holds
# for a termination while start-up still shows an error box, before the main
# window is on the screen.
set -euo pipefail
game=$1

if [ -z "${KESTROVA_IN_XVFB:-}" ]; then
  exec env KESTROVA_IN_XVFB=1 xvfb-run -a -s "-screen 0 1280x800x24" "$0" "$@"
fi

data=$(mktemp -d)
trap 'rm -rf "$data"' EXIT
export KESTROVA_DATA_DIR=$data KESTROVA_NO_AUDIO=1 QT_QPA_PLATFORM=xcb

"$game" &
pid=$!
window=$(xdotool search --sync --onlyvisible --name '^Kestrova$' | head -n 1)
xdotool windowmove --sync "$window" 40 50
kill -TERM "$pid"
status=0
wait "$pid" || status=$?

fail() { echo "FAIL: $*"; cat "$data/kestrova.ini" 2>/dev/null || true; exit 1; }
[ "$status" -eq 0 ] || fail "the game exited with $status"
[ -f "$data/kestrova.ini" ] || fail "no settings file"
grep -qx 'Left=40' "$data/kestrova.ini" || fail "the window's left edge was not saved"
grep -qx 'Top=50' "$data/kestrova.ini" || fail "the window's top edge was not saved"
grep -qx 'Name=Guest' "$data/kestrova.ini" || fail "the name was not saved"
[ "$(head -c 4 "$data/kestrovatally.tld")" = "WRZL" ] || fail "the tally file was not written"
echo "PASS: SIGTERM saved the settings and the tally"

# A tally file that is no container: start-up stops at its error box.
rm -f "$data"/*
printf 'not a tally\r\n' > "$data/kestrovatally.tld"
"$game" &
pid=$!
box=$(xdotool search --sync --onlyvisible --name '^Kestrova$' | head -n 1)
width=$(xdotool getwindowgeometry --shell "$box" | sed -n 's/^WIDTH=//p')
[ "$width" -lt 700 ] || fail "the first window shown is not the error box (width $width)"
kill -TERM "$pid"
status=0
wait "$pid" || status=$?
[ "$status" -eq 0 ] || fail "SIGTERM during the start-up error box: the game exited with $status"
grep -qx 'Name=Guest' "$data/kestrova.ini" || fail "SIGTERM during the start-up error box: the settings were not saved"
[ "$(head -c 4 "$data/kestrovatally.tld")" = "WRZL" ] || fail "SIGTERM during the start-up error box: no tally written"
echo "PASS: SIGTERM during the start-up error box saved the settings and the tally"
