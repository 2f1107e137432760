#!/usr/bin/env bash
# The help and about windows under a real window manager: F1 opens help at its
# size, its "About" button brings the about window up in front with help still
# open, at its own size, and its "Done" hides only it.
set -euo pipefail
game=$1

source "$(dirname "$0")/desktop.sh"

"$game" &
pid=$!

size_of() { xdotool getwindowgeometry "$1" | sed -n 's/^ *Geometry: //p'; }
visible() { xdotool search --onlyvisible --name "$1" >/dev/null 2>&1; }

main=$(xdotool search --sync --onlyvisible --name '^Kestrova$' | head -n 1)
xdotool windowactivate --sync "$main" key --window "$main" F1
help=$(xdotool search --sync --onlyvisible --name '^Kestrova - Help File$' | head -n 1)
[ "$(size_of "$help")" = "523x431" ] || fail "help is $(size_of "$help"), not 523x431"

# "About" is the sixth side button: x 7..129, y 127..147 in the help window.
xdotool mousemove --window "$help" 60 137 click 1
about=$(xdotool search --sync --onlyvisible --name '^Kestrova - About$' | head -n 1)
for _ in $(seq 50); do
  [ "$(xdotool getactivewindow)" = "$about" ] && break
  sleep 0.1
done
[ "$(xdotool getactivewindow)" = "$about" ] || fail "the about window is not in front"
visible '^Kestrova - Help File$' || fail "help closed when about opened"
[ "$(size_of "$about")" = "304x193" ] || fail "about is $(size_of "$about"), not 304x193"

# "Done" at 202, 164, 95 x 20 in the about window.
xdotool mousemove --window "$about" 250 174 click 1
for _ in $(seq 50); do
  visible '^Kestrova - About$' || break
  sleep 0.1
done
visible '^Kestrova - About$' && fail "Done left the about window open"
visible '^Kestrova - Help File$' || fail "Done in about closed help too"
echo "PASS: help and about open, stack and close as they should"
