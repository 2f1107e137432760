# Sourced by the end-to-end scripts. Runs the script again inside a virtual
# display, gives it a scratch data folder, starts openbox and waits until it
# manages the display (a window mapped while openbox is still starting can be
# lost to it). When the script ends, the game ($pid) and openbox are stopped
# and the scratch folder is removed.
if [ -z "${KESTROVA_IN_XVFB:-}" ]; then
  exec env KESTROVA_IN_XVFB=1 xvfb-run -a -s "-screen 0 1280x800x24" "$0" "$@"
fi

work=$(mktemp -d)
export KESTROVA_DATA_DIR=$work/data KESTROVA_NO_AUDIO=1 QT_QPA_PLATFORM=xcb
mkdir -p "$KESTROVA_DATA_DIR"
ini=$KESTROVA_DATA_DIR/kestrova.ini
pid=
wm_pid=
end_desktop() {
  if [ -n "$pid" ] && kill "$pid" 2>/dev/null; then
    wait "$pid" 2>/dev/null || true
  fi
  if [ -n "$wm_pid" ]; then
    kill "$wm_pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap end_desktop EXIT

# Says what went wrong, with the settings file as it stands, and ends the test.
fail() { echo "FAIL: $*"; cat "$ini" 2>/dev/null || true; exit 1; }

# How many windows of the game ($pid) are on show: the main window, and a menu
# while one is open (menus are windows of their own).
windows_shown() { xdotool search --onlyvisible --pid "$pid" 2>/dev/null | wc -l; }

# Waits (bounded, 5 s) until the game shows exactly $1 windows.
await_windows() {
  for _ in $(seq 100); do
    [ "$(windows_shown)" -eq "$1" ] && return 0
    sleep 0.05
  done
  return 1
}

# Clicks the menu title at $1,$2 of $window and waits until its menu shows.
open_menu() {
  local before
  before=$(windows_shown)
  xdotool mousemove --window "$window" "$1" "$2" click 1
  await_windows $((before + 1)) || fail "the menu at $1,$2 did not open"
}

# Chooses the Nth item of the open menu and waits until the menu has gone: the
# item's command has then run, before any later event reaches the game.
choose_item() {
  local before
  before=$(windows_shown)
  for _ in $(seq "$1"); do xdotool key Down; done
  xdotool key Return
  await_windows $((before - 1)) || fail "the menu stayed open after choosing item $1"
}

openbox --sm-disable >/dev/null 2>&1 &
wm_pid=$!
# openbox announces its desktops once it manages the display.
for _ in $(seq 200); do
  xdotool get_num_desktops >/dev/null 2>&1 && break
  sleep 0.05
done
