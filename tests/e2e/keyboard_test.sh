#!/usr/bin/env bash
# Keyboard play under a virtual display with a real window manager and real
# key events: D and Return on the ring turn the stock, a click hides the ring,
# letters typed into the name box stay there, and Escape closes the name panel
# without taking what was typed.
set -euo pipefail
game=$1

source "$(dirname "$0")/desktop.sh"

# Places relative to the window's client area, the menu bar about 18 high.
menu_bar=18
board_x=15 board_y=$((33 + menu_bar))
empty_felt=($((board_x + 150)) $((board_y + 350)))
options_menu=(72 8)
# The stock with the ring's room around it, the discard and "Cards Left".
turn_area="176x131+$((board_x + 284))+$((board_y + 316))"
# The middle of the board, where the name panel lies.
name_area="329x161+$((board_x + 205))+$((board_y + 96))"

shoot() { import -window "$window" -crop "$1" +repage "$2"; }
same() { [ "$(compare -metric AE "$1" "$2" null: 2>&1 || true)" = "0" ]; }

# Waits (bounded) until the area $1 differs from the picture $2, into $3.
wait_for_change() {
  for _ in $(seq 50); do
    shoot "$1" "$3"
    same "$2" "$3" || return 0
    sleep 0.1
  done
  return 1
}

click_at() { xdotool mousemove --window "$window" "$1" "$2" click 1; }

stored() { sed -n "s/^$1=//p" "$ini"; }

"$game" &
pid=$!
window=$(xdotool search --sync --onlyvisible --name '^Kestrova$' | head -n 1)
xdotool windowactivate --sync "$window"

# The window opens with the name box in focus: Escape closes the panel and
# drops what was typed.
shoot "$name_area" "$work/name-open.png"
xdotool type --delay 50 Zed
xdotool key Escape
wait_for_change "$name_area" "$work/name-open.png" "$work/name-closed.png" || fail "Escape left the name panel open"

shoot "$turn_area" "$work/empty.png"
xdotool key ctrl+s
wait_for_change "$turn_area" "$work/empty.png" "$work/dealt.png" || fail "Ctrl+S dealt no game"

xdotool key d
wait_for_change "$turn_area" "$work/dealt.png" "$work/drawn.png" || fail "D turned no stock card"

# The first Left shows the ring on the stock, the last place in reading order.
xdotool key Left
wait_for_change "$turn_area" "$work/drawn.png" "$work/ring.png" || fail "Left showed no ring at the stock"
xdotool key Return
wait_for_change "$turn_area" "$work/ring.png" "$work/drawn-again.png" || fail "Return on the ring turned no stock card"

click_at "${empty_felt[@]}"
wait_for_change "$turn_area" "$work/drawn-again.png" "$work/no-ring.png" || fail "a click left the ring shown"

# Letters typed into the name box are the name's, never moves.
shoot "$name_area" "$work/name-closed-again.png"
open_menu "${options_menu[@]}"
choose_item 3                            # "Change  Name"
wait_for_change "$name_area" "$work/name-closed-again.png" "$work/name-reopened.png" || fail "the name panel did not show"
xdotool type --delay 50 dd
wait_for_change "$name_area" "$work/name-reopened.png" "$work/name-typed.png" || fail "the name box took no letters"
# Keys are taken in order: once the x shows, Left and Right have been handled.
xdotool key Left Right
xdotool type x
wait_for_change "$name_area" "$work/name-typed.png" "$work/name-marked.png" || fail "the name box took no x"
shoot "$turn_area" "$work/after-typing.png"
same "$work/no-ring.png" "$work/after-typing.png" || fail "keys typed into the name box reached the board"
xdotool key Escape
wait_for_change "$name_area" "$work/name-marked.png" "$work/name-gone.png" || fail "Escape left the name panel open"

kill -TERM "$pid"
status=0
wait "$pid" || status=$?
pid=
[ "$status" -eq 0 ] || fail "the game exited with $status"
[ "$(stored Name)" = "Guest" ] || fail "Escape kept a typed name: '$(stored Name)'"
grep -q FourColour "$ini" && fail "an option never switched on reached the settings file"
echo "PASS: D, Left and Return turn the stock, a click hides the ring, Escape cancels the name panel"
