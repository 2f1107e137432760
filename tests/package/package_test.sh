#!/usr/bin/env bash
# The Debian packages as a user gets them: built by scripts/package.sh from
# BUILD_DIR, checked by lintian, unpacked into a scratch root, their desktop
# entry, metainfo, icon and service checked with the tools distributions use,
# then the server run from there on loopback and the game under a virtual
# display. The server package is also installed, removed and installed again
# with dpkg into a scratch root, its maintainer scripts run against it. The
# game runs as the test's user (root in CI) with its installed folder
# writable, and still its settings and tally must land in the per-user data
# folder; its request for the high-score list must go to SERVER_HOST, the
# host it was built with.
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
"$source_dir/scripts/package.sh" --build-dir "$build_dir" "$work/debs" 2>"$work/package.err" ||
  { cat "$work/package.err"; fail "package.sh"; }
cat "$work/package.err" >&2
game_deb=$(ls "$work"/debs/kestrova_1.0.2_*.deb)
server_deb=$(ls "$work"/debs/kestrova-server_1.0.2_*.deb)
# Packages that name this machine as the maker's site get one line saying so.
homepage=$(dpkg-deb -f "$game_deb" Homepage)
if [[ $homepage =~ ^http://(localhost|127\.[0-9.]+|\[::1\])[:/] ]]; then
  [ "$(grep -c "warning: no server host given: the packages name $homepage" "$work/package.err")" -eq 1 ] ||
    fail "package.sh did not warn once that the packages name $homepage"
else
  ! grep -q warning "$work/package.err" || fail "package.sh warned about the homepage $homepage"
fi

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
# The transfer program's options need libcurl 7.85, more than the scan finds.
[[ $game_depends == *"libcurl4 (>= 7.85.0)"* ]] || fail "kestrova does not depend on libcurl4 (>= 7.85.0)"
for depends in "$game_depends" "$server_depends"; do
  twice=$(tr ',' '\n' <<<"$depends" | awk '{ print $1 }' | sort | uniq -d)
  [ -z "$twice" ] || fail "a package named twice in Depends: $twice"
done

step "lintian"
lintian --fail-on error,warning --display-info --tag-display-limit 0 "$game_deb" "$server_deb" ||
  fail "lintian found errors or warnings"
# One override, for the settings file that is root's alone; no other slips in.
overrides=$(dpkg-deb --fsys-tarfile "$server_deb" | tar -xO ./usr/share/lintian/overrides/kestrova-server | grep -v '^#')
[ "$overrides" = "kestrova-server: non-standard-file-perm 0600 != 0644 [etc/kestrova-server.conf]" ] ||
  fail "lintian overrides other than the settings file's permissions: $overrides"
! dpkg-deb -c "$game_deb" | grep -q lintian || fail "the game overrides lintian"

step "the settings file"
[ "$(dpkg-deb -I "$server_deb" conffiles)" = /etc/kestrova-server.conf ] ||
  fail "/etc/kestrova-server.conf is not the server package's conffile"
[[ $(dpkg-deb -c "$server_deb") == *$'\n-rw------- root/root '*' ./etc/kestrova-server.conf'* ]] ||
  fail "/etc/kestrova-server.conf is not 0600 root:root in the package"

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
# The settings reach the dynamic user as a credential, read from root's file.
grep -qx 'LoadCredential=kestrova-server.conf:/etc/kestrova-server.conf' "$unit" || fail "LoadCredential"
grep -qx 'ExecStart=/usr/sbin/kestrova-server --config %d/kestrova-server.conf' "$unit" || fail "ExecStart"
grep -qx 'DynamicUser=yes' "$unit" || fail "DynamicUser"
systemd-analyze security --offline=yes --threshold=49 "$unit" | tail -n 1 | tee "$work/exposure"
grep -Eq ' (OK|SAFE|PERFECT) ' "$work/exposure" || fail "the service's exposure is not OK or better"
# 1.1 when the settings became a credential: no worse than that.
awk '{ for (i = 1; i < NF; i++) if ($i ~ /^[0-9.]+$/) exposure = $i } END { exit !(exposure != "" && exposure <= 1.1) }' \
  "$work/exposure" || fail "the service's exposure rose above 1.1"

step "the server package removed and installed again"
# dpkg installs into a scratch root of its own and runs the maintainer scripts
# outside a chroot with DPKG_ROOT set, which deb-systemd-helper honours; a
# policy-rc.d in that root refuses every start there, should a script ignore
# DPKG_ROOT. The libraries the package depends on are not in that root.
droot=$work/dpkg-root
mkdir -p "$droot/var/lib/dpkg/info" "$droot/var/lib/dpkg/updates" "$droot/usr/sbin"
touch "$droot/var/lib/dpkg/status" "$droot/var/lib/dpkg/available"
printf '#!/bin/sh\nexit 101\n' >"$droot/usr/sbin/policy-rc.d"
chmod 755 "$droot/usr/sbin/policy-rc.d"
in_root() {
  fakeroot=()
  [ "$(id -u)" -eq 0 ] || fakeroot=(fakeroot)
  "${fakeroot[@]}" dpkg --root="$droot" --log=/dev/null --force-script-chrootless --force-depends \
    --force-not-root "$@" >"$work/dpkg.log" 2>&1 || { cat "$work/dpkg.log"; fail "dpkg $*"; }
  # Nothing but the missing libraries may be complained of.
  ! grep -v -e 'depends on' -e 'is not installed' -e 'dependency problems' -e 'not empty so not removed' \
    "$work/dpkg.log" | grep -Eiq 'error|warning|fail' || { cat "$work/dpkg.log"; fail "dpkg $* complained"; }
}
wants=$droot/etc/systemd/system/multi-user.target.wants/kestrova-server.service
mask=$droot/etc/systemd/system/kestrova-server.service
enabled() { [ "$(readlink "$wants")" = /lib/systemd/system/kestrova-server.service ]; }
masked() { [ "$(readlink "$mask")" = /dev/null ]; }
in_root --install "$server_deb"
enabled || fail "a first install did not enable the service"
! masked || fail "a first install left the service masked"
owner=""
[ "$(id -u)" -ne 0 ] || owner=" root:root" # fakeroot's owners end with it
[ "$(stat -c '%a %U:%G' "$droot/etc/kestrova-server.conf")" = "600${owner:- $(id -un):$(id -gn)}" ] ||
  fail "the installed settings file is $(stat -c '%a %U:%G' "$droot/etc/kestrova-server.conf")"
in_root --remove kestrova-server
masked || fail "a remove did not mask the service, whose links stay"
[ -f "$droot/etc/kestrova-server.conf" ] || fail "a remove took the settings file"
in_root --install "$server_deb"
enabled || fail "the install after a remove did not enable the service"
! masked || fail "the install after a remove left the service masked"
# An administrator's choices outlive a remove and an install again: a service
# disabled stays disabled, and a mask of their own stays.
SYSTEMD_LOG_LEVEL=err systemctl --root="$droot" --quiet disable kestrova-server.service
in_root --remove kestrova-server
in_root --install "$server_deb"
! enabled || fail "the install after a remove enabled a service the administrator had disabled"
! masked || fail "the install after a remove left the service masked"
SYSTEMD_LOG_LEVEL=err systemctl --root="$droot" --quiet enable kestrova-server.service
SYSTEMD_LOG_LEVEL=err systemctl --root="$droot" --quiet mask kestrova-server.service
in_root --remove kestrova-server
in_root --install "$server_deb"
masked || fail "the install after a remove lifted the administrator's mask"
rm "$mask"
# A settings file an earlier package left readable by everyone, and dpkg
# keeps because the administrator changed it, is closed to others.
echo 'listen = 127.0.0.1:8081' >>"$droot/etc/kestrova-server.conf"
chmod 644 "$droot/etc/kestrova-server.conf"
in_root --remove kestrova-server
in_root --install "$server_deb"
[ "$(stat -c '%a' "$droot/etc/kestrova-server.conf")" = 640 ] ||
  fail "the install left the settings file $(stat -c '%a' "$droot/etc/kestrova-server.conf")"
grep -qx 'listen = 127.0.0.1:8081' "$droot/etc/kestrova-server.conf" || fail "the install lost the administrator's settings"
in_root --purge kestrova-server
[ ! -e "$droot/etc/kestrova-server.conf" ] || fail "a purge left the settings file"
leftovers=$(find "$droot/etc/systemd" "$droot/var/lib/systemd" -name 'kestrova-server*' 2>/dev/null)
[ -z "$leftovers" ] || fail "a purge left $leftovers"

step "the server package's start where systemd runs"
# Where systemd runs, the scripts start the service; that cannot happen here,
# so the packaged postinst runs in a mount namespace of its own where
# /run/systemd/system exists, with the helpers it calls replaced by ones that
# note their arguments and fail when told to.
if unshare --mount --fork true 2>/dev/null; then
  scripts=$work/control
  dpkg-deb -e "$server_deb" "$scripts"
  stubs=$work/stubs
  mkdir -p "$stubs"
  for helper in systemctl deb-systemd-helper deb-systemd-invoke; do
    printf '#!/bin/sh\necho "%s $*" >>"$STUB_LOG"\n[ "$*" != "$STUB_FAIL" ]\n' "$helper" >"$stubs/$helper"
    chmod 755 "$stubs/$helper"
  done
  postinst() {
    : >"$work/calls"
    STUB_LOG=$work/calls STUB_FAIL=$1 PATH="$stubs:$PATH" unshare --mount --fork sh -c \
      'mount -t tmpfs tmpfs /run && mkdir -p /run/systemd/system && exec sh "$0" "$@"' \
      "$scripts/postinst" configure "${@:2}"
  }
  postinst - 1.0.2 2>"$work/postinst.err" || { cat "$work/postinst.err"; fail "postinst configure 1.0.2"; }
  cat "$work/calls"
  # An install after a remove: unmasked, enabled, and restarted, which starts
  # it (try-restart would leave it stopped).
  [ "$(tr '\n' '|' <"$work/calls")" = "deb-systemd-helper unmask kestrova-server.service|deb-systemd-helper --quiet was-enabled kestrova-server.service|deb-systemd-helper enable kestrova-server.service|systemctl --system daemon-reload|deb-systemd-invoke restart kestrova-server.service|" ] ||
    fail "postinst configure 1.0.2 did not unmask, enable and restart"
  postinst - || fail "postinst configure"
  tail -n 1 "$work/calls" | grep -qx 'deb-systemd-invoke start kestrova-server.service' || fail "a first install did not start"
  # A start that fails fails the configuration, saying so.
  status=0
  postinst "start kestrova-server.service" 2>"$work/postinst.err" || status=$?
  [ "$status" -ne 0 ] || fail "postinst hid a failed start"
  grep -q 'kestrova-server: the service did not start' "$work/postinst.err" || fail "postinst did not say the start failed"
  status=0
  postinst "unmask kestrova-server.service" 2>/dev/null || status=$?
  [ "$status" -ne 0 ] || fail "postinst hid a failed unmask"
else
  echo "SKIP: no mount namespace here for the start"
fi

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
# The test's user owns the unpacked root as root owns /usr: the installed
# game could write its folder, and must not.
home=$work/home
mkdir -p "$home" "$work/runtime"
chmod 700 "$work/runtime"
(cd "$root/usr/games" && find . -printf '%p %s %T@\n' | sort) >"$work/games.before"
env -u KESTROVA_SERVER -u KESTROVA_DATA_DIR -u KESTROVA_FETCH_PROGRAM -u DISPLAY \
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
(cd "$root/usr/games" && find . -printf '%p %s %T@\n' | sort) >"$work/games.after"
diff "$work/games.before" "$work/games.after" || fail "the game changed its installed folder"
echo "PASS: packages built, checked, and run from an unpacked root"
