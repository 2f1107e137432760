#!/usr/bin/env bash
# The game under a virtual display with a real, reparenting window manager
# (openbox) and real input events: short-cuts reach the game after the name
# panel has closed, keys typed during play change no hidden name box, and a
# window that is neither moved nor resized keeps its stored size run after run.
set -euo pipefail
game=$1

source "$(dirname "$0")/desktop.sh"

# Places on the window, relative to its client area: the menu bar is about
# 18 pixels high; every target below is at least 40 pixels tall, so a few
# pixels either way still hit it.
menu_bar=18
board_x=15 board_y=$((33 + menu_bar))
stock=($((board_x + 293 + 35)) $((board_y + 323 + 48)))
name_done=($((board_x + 205 + 99 + 63)) $((board_y + 96 + 106 + 20)))
options_menu=(72 8)
# Stock, discard and "Cards Left": what a stock turn changes and its undo restores.
turn_area="170x125+$((board_x + 287))+$((board_y + 319))"
board_area="737x448+$board_x+$board_y"
# The middle of the board, where the name panel lies.
name_area="329x161+$((board_x + 205))+$((board_y + 96))"

start_game() {
  "$game" &
  pid=$!
  window=$(xdotool search --sync --onlyvisible --name '^Kestrova$' | head -n 1)
  xdotool windowactivate --sync "$window"
}

stop_game() {
  kill -TERM "$pid"
  local status=0
  wait "$pid" || status=$?
  [ "$status" -eq 0 ] || fail "the game exited with $status"
}

shoot() { import -window "$window" -crop "${2:-$turn_area}" +repage "$1"; }

# Waits (bounded) until the area ($3, else the turn area) differs from the
# picture $1, into $2.
wait_for_change() {
  for _ in $(seq 50); do
    shoot "$2" "${3:-$turn_area}"
    [ "$(compare -metric AE "$1" "$2" null: 2>&1 || true)" != "0" ] && return 0
    sleep 0.1
  done
  return 1
}

click_at() { xdotool mousemove --window "$window" "$1" "$2" click 1; }

choose_option() { # the Nth item of the Options menu
  open_menu "${options_menu[@]}"
  choose_item "$1"
}

# "Change  Name", then waits until the name panel shows.
open_name_panel() {
  shoot "$work/before-name.png" "$name_area"
  choose_option 3
  wait_for_change "$work/before-name.png" "$work/name-panel.png" "$name_area" || fail "the name panel did not show"
}

stored() { sed -n "s/^$1=//p" "$ini"; }

# Run 1: short-cuts and keys during play.
start_game
shoot "$work/empty.png"
xdotool key ctrl+s
wait_for_change "$work/empty.png" "$work/dealt.png" || fail "Ctrl+S dealt no game"
# Typed before any click, while the name box that had the focus is hidden.
xdotool type --delay 50 q
click_at "${stock[@]}"
wait_for_change "$work/dealt.png" "$work/turned.png" || fail "the stock click turned no card"
xdotool key ctrl+z
wait_for_change "$work/turned.png" "$work/undone.png" || fail "Ctrl+Z did not undo the stock turn"
[ "$(compare -metric AE "$work/dealt.png" "$work/undone.png" null: 2>&1 || true)" = "0" ] ||
  fail "after Ctrl+Z the stock, discard and cards left differ from the dealt board"

open_name_panel
click_at "${name_done[@]}"            # DONE takes the name panel's text
stop_game
[ "$(stored Name)" = "Guest" ] || fail "a key typed during play changed the name to '$(stored Name)'"
first_size="$(stored Width)x$(stored Height)"

# Runs 2 and 3: a window neither moved nor resized writes back what it read.
for run in 2 3; do
  start_game
  stop_game
  size="$(stored Width)x$(stored Height)"
  [ "$size" = "$first_size" ] || fail "run $run stored $size after reading $first_size"
done

# Run 4: "Reset Screen Location" after a move and a resize, then a close,
# stores the default place and size, exactly as a first run does.
start_game
xdotool windowmove --sync "$window" 200 150 windowsize --sync "$window" 900 650
choose_option 2                       # "Reset Screen Location"
stop_game
[ "$(stored Left),$(stored Top)" = "3,3" ] || fail "Reset Screen Location stored $(stored Left),$(stored Top)"
size="$(stored Width)x$(stored Height)"
[ "$size" = "$first_size" ] || fail "Reset Screen Location stored $size, a first run $first_size"
[ "$(stored Width)" = 774 ] || fail "Reset Screen Location stored the width $(stored Width)"

# Run 5: H rings a card or the stock during play; in a name box it is a letter.
start_game
shoot "$work/empty5.png" "$board_area"
xdotool key ctrl+s
wait_for_change "$work/empty5.png" "$work/dealt5.png" "$board_area" || fail "Ctrl+S dealt no game"
xdotool key h
wait_for_change "$work/dealt5.png" "$work/hinted5.png" "$board_area" || fail "H showed no hint"
open_name_panel                       # the box has the focus
xdotool type --delay 50 h
click_at "${name_done[@]}"
stop_game
[ "$(stored Name)" = "Guesth" ] || fail "an h typed into the name box gave the name '$(stored Name)'"

echo "PASS: short-cuts after the name panel, no key reaches a hidden box, stored size stable at $first_size, H hints"
