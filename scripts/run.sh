#!/usr/bin/env bash
# Installs what is missing, builds, starts the local score server (unless one
# is listening already) and then the game, pointed at that server. A server
# started here stops again when the game ends.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display found: run it in a virtual display with  xvfb-run -a -s \"-screen 0 1280x800x24\" scripts/run.sh" >&2
  exit 1
fi

# KESTROVA_SERVER set by the caller means "use that server": start none.
if [ -z "${KESTROVA_SERVER:-}" ]; then
  export KESTROVA_SERVER=localhost
  # The game speaks to port 80 of its host; this routes that to the local
  # server's unprivileged port while URLs and Host headers stay as they are.
  export KESTROVA_CONNECT_TO=${KESTROVA_CONNECT_TO:-localhost:80:127.0.0.1:8080}
  if ! (exec 3<>/dev/tcp/127.0.0.1/8080) 2>/dev/null; then
    coproc server { exec build/bin/kestrova-server --listen 127.0.0.1:8080 --db build/kestrova-scores.db; }
    server_pid=$server_PID
    trap 'kill -TERM "$server_pid" 2>/dev/null && wait "$server_pid" 2>/dev/null; true' EXIT
    # The server prints its address once it takes connections.
    if read -r -t 10 announcement <&"${server[0]}"; then
      echo "kestrova-server: $announcement (scores in build/kestrova-scores.db)"
    else
      echo "The local score server did not start; posting and the high-score list will not work." >&2
    fi
  fi
fi

status=0
build/bin/kestrova || status=$?
exit "$status"
