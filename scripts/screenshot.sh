#!/usr/bin/env bash
# Makes the README's screenshot: the game under a virtual display, a game
# dealt with Ctrl+S, the window captured to docs/screenshot.png.
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-docs/screenshot.png}

if [ -z "${KESTROVA_IN_XVFB:-}" ]; then
  exec env KESTROVA_IN_XVFB=1 xvfb-run -a -s "-screen 0 1280x800x24" "$0" "$@"
fi

data=$(mktemp -d)
trap 'rm -rf "$data"' EXIT
KESTROVA_DATA_DIR=$data KESTROVA_NO_AUDIO=1 build/bin/kestrova &
pid=$!
window=$(xdotool search --sync --onlyvisible --name '^Kestrova$' | head -n 1)
xdotool windowfocus --sync "$window" key --window "$window" ctrl+s
sleep 1   # let the dealt board paint
import -window "$window" "$out"
kill "$pid"
wait "$pid" || true
echo "wrote $out"
