#!/usr/bin/env bash
# The Debian packages as a user gets them: built by scripts/package.sh from
# BUILD_DIR, checked by lintian, unpacked into a scratch root, their desktop
# entry, metainfo, icon and service checked with the tools distributions use,
# then the server run from there on loopback and the game under a virtual
# display. The game runs as a user who cannot write its installed folder, so
# its settings and tally must land in the per-user data folder; its request
# for the high-score list must go to SERVER_HOST, the host it was built with.
#   package_test.sh SOURCE_DIR BUILD_DIR SERVER_HOST
set -euo pipefail

if [ "${1:-}" = --run-game ]; then
  # Second stage, inside the virtual display: start a window manager and the
  # installed game, open the high-score list from the View menu, wait for its
  # request at the server, stop the game politely.
  shift
  game=$1 log=$2 seen=$3
  openbox --sm-disable >/dev/null 2>&1 &
  wm_pid=$!
  trap 'kill "$wm_pid" 2>/dev/null || true' EXIT
  # A window mapped before the window manager publishes its desktops may be lost to it.
  timeout 30 bash -c 'until xdotool get_num_desktops >/dev/null 2>&1; do sleep 0.1; done' ||
    { echo "FAIL: openbox did not start"; exit 1; }
  "$game" &
  pid=$!
  window=$(timeout 30 xdotool search --sync --onlyvisible --name '^Kestrova$' | head -n 1)
  [ -n "$window" ] || { echo "FAIL: no game window"; kill -KILL "$pid"; exit 1; }
  xdotool windowactivate --sync "$window"
  # View is the third menu of the bar, its second item View High Score List.
  xdotool mousemove --window "$window" 118 8 click 1
  # The open menu is a second visible window of the game's.
  timeout 10 bash -c "until [ \$(xdotool search --onlyvisible --pid $pid | wc -l) -ge 2 ]; do sleep 0.05; done" ||
    { echo "FAIL: the View menu did not open"; kill -KILL "$pid"; exit 1; }
  xdotool key Down Down Return
  # The request reaches the server only through the route for the built-in
  # host. The log's first SEEN lines are the test's own requests.
  timeout 30 grep -q -m 1 'GET /counter/kestrova.shtml ' <(tail -n +$((seen + 1)) -f "$log") ||
    { echo "FAIL: the game's request for the high-score list never reached the server"; kill -KILL "$pid"; exit 1; }
  kill -TERM "$pid"
  status=0
  wait "$pid" || status=$?
  [ "$status" -eq 0 ] || { echo "FAIL: the game exited with $status after SIGTERM"; exit 1; }
  exit 0
fi

[ $# -eq 3 ] || { echo "usage: package_test.sh SOURCE_DIR BUILD_DIR SERVER_HOST" >&2; exit 2; }
source_dir=$1 build_dir=$2 server_host=$3
work=$(mktemp -d)
server_pid=""
cleanup() {
  if [ -n "$server_pid" ]; then kill -TERM "$server_pid" 2>/dev/null || true; wait "$server_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; exit 1; }
step() { echo "--- $*"; }

step "building the packages"
"$source_dir/scripts/package.sh" --build-dir "$build_dir" "$work/debs"
game_deb=$(ls "$work"/debs/kestrova_1.0.2_*.deb)
server_deb=$(ls "$work"/debs/kestrova-server_1.0.2_*.deb)

step "dependencies from the libraries linked"
game_depends=$(dpkg-deb -f "$game_deb" Depends)
server_depends=$(dpkg-deb -f "$server_deb" Depends)
echo "kestrova: $game_depends"
echo "kestrova-server: $server_depends"
for lib in libqt6widgets6 libqt6multimedia6 libcurl4 libc6; do
  [[ $game_depends == *"$lib "* ]] || fail "kestrova does not depend on $lib"
done
for lib in libsqlite3-0 libpq5 libstdc++6 libc6; do
  [[ $server_depends == *"$lib"* ]] || fail "kestrova-server does not depend on $lib"
done
[[ $server_depends != *libqt6* ]] || fail "kestrova-server depends on Qt"

step "lintian"
lintian --fail-on error,warning --display-info --tag-display-limit 0 "$game_deb" "$server_deb" ||
  fail "lintian found errors or warnings"

step "unpacking"
root=$work/root
dpkg-deb -x "$game_deb" "$root"
dpkg-deb -x "$server_deb" "$root"
(cd "$root" && find . -type f | sort)

step "the sound module"
# Qt Multimedia is the module's alone, so that the game starts without it;
# the game finds the module in ../lib/games/kestrova from its own folder.
module=$root/usr/lib/games/kestrova/kestrova-sound.so
[ -f "$module" ] || fail "no sound module at /usr/lib/games/kestrova"
[[ $(readelf -d "$module") == *'[libQt6Multimedia.so.6]'* ]] || fail "the sound module does not link Qt Multimedia"
[[ $(readelf -d "$root/usr/games/kestrova") != *libQt6Multimedia* ]] || fail "the game links Qt Multimedia"
[ -n "$(readelf --dyn-syms -W "$module" | awk '$8 ~ /^kestrova_sound_module_v[0-9]+$/')" ] ||
  fail "the sound module lacks the entry point the game looks for"

step "the transfer program"
# libcurl is the transfer program's alone, so that the game never maps the
# network library; the game finds it in ../lib/games/kestrova as well.
fetcher=$root/usr/lib/games/kestrova/kestrova-fetch
[ -x "$fetcher" ] || fail "no transfer program at /usr/lib/games/kestrova"
[[ $(readelf -d "$fetcher") == *'[libcurl.so.4]'* ]] || fail "the transfer program does not link libcurl"
[[ $(readelf -d "$root/usr/games/kestrova") != *libcurl* ]] || fail "the game links libcurl"
! strings "$root/usr/games/kestrova" | grep -q 'libcurl\.so' || fail "the game loads libcurl itself"

step "desktop entry and metainfo"
desktop-file-validate "$root"/usr/share/applications/com.vorlinsoftware.kestrova.desktop ||
  fail "desktop-file-validate"
grep -qx 'Categories=Game;CardGame;' "$root"/usr/share/applications/com.vorlinsoftware.kestrova.desktop ||
  fail "the desktop entry is not in Game;CardGame;"
appstreamcli validate --no-net --pedantic "$root"/usr/share/metainfo/com.vorlinsoftware.kestrova.metainfo.xml ||
  fail "appstreamcli validate"

step "icon"
for size in 16 22 24 32 48 64 128 256 512; do
  png=$root/usr/share/icons/hicolor/${size}x${size}/apps/kestrova.png
  [ "$(identify -format '%wx%h' "$png")" = "${size}x${size}" ] || fail "$png is not ${size}x${size}"
done
# The SVG, drawn by another renderer, must look like the PNG of the same size.
rsvg-convert -w 128 -h 128 "$root"/usr/share/icons/hicolor/scalable/apps/kestrova.svg -o "$work/svg128.png"
# compare exits with 1 whenever the images differ at all; the measure decides.
difference=$( (compare -metric RMSE "$work/svg128.png" "$root"/usr/share/icons/hicolor/128x128/apps/kestrova.png null: 2>&1 || true) |
  sed -E 's/.*\((.*)\)/\1/')
echo "SVG against PNG at 128: RMSE $difference"
awk -v d="$difference" 'BEGIN { exit !(d < 0.03) }' || fail "the SVG icon does not match the PNG ($difference)"

step "the service"
unit=$root/lib/systemd/system/kestrova-server.service
grep -qx 'ExecStart=/usr/sbin/kestrova-server --config /etc/kestrova-server.conf' "$unit" || fail "ExecStart"
systemd-analyze security --offline=yes --threshold=49 "$unit" | tail -n 1 | tee "$work/exposure"
grep -Eq ' (OK|SAFE|PERFECT) ' "$work/exposure" || fail "the service's exposure is not OK or better"

step "the server from the unpacked root"
# The installed settings file, with what a test must not touch overridden.
coproc server {
  exec "$root/usr/sbin/kestrova-server" --config "$root/etc/kestrova-server.conf" \
    --listen 127.0.0.1:0 --db "$work/scores.db" --access-log "$work/access.log"
}
server_pid=$server_PID
read -r -t 30 announcement <&"${server[0]}" || fail "the server did not start"
port=${announcement##*:}
[[ $announcement == "listening on 127.0.0.1:$port" ]] || fail "announcement '$announcement'"
exec 3<>"/dev/tcp/127.0.0.1/$port"
printf 'GET /kestrova/kestrovaversion.txt HTTP/1.0\r\n\r\n' >&3
reply=$(cat <&3)
exec 3<&-
[[ $reply == *$'\r\n\r\n1.0.2' ]] || fail "version reply: $reply"
# The log line may follow the reply; it must be there before the game's
# requests are told from the test's own by counting lines.
timeout 30 grep -q -m 1 'GET /kestrova/kestrovaversion.txt' <(tail -n +1 -f "$work/access.log") ||
  fail "no access log line for the version request"

step "the game from the unpacked root"
home=$work/home
mkdir -p "$home" "$work/runtime"
chmod 755 "$work"
chmod 700 "$work/runtime"
as_player=()
if [ "$(id -u)" -eq 0 ]; then
  # Root writes anywhere; a player cannot write the installed game's folder.
  chown nobody "$home" "$work/runtime"
  as_player=(runuser -u nobody --)
else
  chmod -R a-w "$root/usr"
  trap 'chmod -R u+w "$root/usr"; cleanup' EXIT
fi
"${as_player[@]}" env -u KESTROVA_SERVER -u KESTROVA_DATA_DIR -u KESTROVA_FETCH_PROGRAM -u DISPLAY \
  HOME="$home" XDG_DATA_HOME="$home/.local/share" XDG_CONFIG_HOME="$home/.config" \
  XDG_RUNTIME_DIR="$work/runtime" TMPDIR="$home" KESTROVA_NO_AUDIO=1 QT_QPA_PLATFORM=xcb \
  KESTROVA_CONNECT_TO="$server_host:80:127.0.0.1:$port" \
  xvfb-run -a -s "-screen 0 1280x800x24" "$0" --run-game "$root/usr/games/kestrova" "$work/access.log" "$(wc -l <"$work/access.log")" ||
  fail "the installed game"

data="$home/.local/share/Vorlin Software/Kestrova"
[ -f "$data/kestrova.ini" ] || fail "no kestrova.ini in the per-user data folder"
[ "$(head -c 4 "$data/kestrovatally.tld")" = WRZL ] || fail "no tally in the per-user data folder"
leftovers=$(find "$root" -name 'kestrova.ini' -o -name 'kestrovatally.tld' -o -name '.kestrova-probe*')
[ -z "$leftovers" ] || fail "files beside the installed game: $leftovers"
echo "PASS: packages built, checked, and run from an unpacked root"
