#!/usr/bin/env bash
# A throwaway PostgreSQL cluster for the server's tests and benchmark: Debian's
# server binaries run from a temporary folder, reachable only through a unix
# socket in that folder, never as a system service.
#
#   pgcluster.sh start STATE_DIR [--durable]
#   pgcluster.sh stop STATE_DIR
#   pgcluster.sh pause STATE_DIR    stops the server, keeping its data
#   pgcluster.sh resume STATE_DIR   starts it again on the same data
#
# start makes the cluster and the database "kestrova" owned by the user
# "kestrova" (trusted, no password) and writes into STATE_DIR:
#   url        postgresql://kestrova@/kestrova?host=SOCKET_DIR
#   socketdir  the folder holding the socket, for tests that make databases
#   cluster    the temporary folder, for stop
# A cluster still recorded there from an interrupted run is stopped first.
# Without --durable the cluster skips fsync: fast, and fine for data that is
# thrown away; the benchmark asks for --durable to measure what a real one costs.
#
# PostgreSQL refuses to run as root. Run as root (as CI does), the cluster runs
# as the unprivileged user "nobody" (through runuser), which owns the temporary
# folder; run as anyone else, it runs as that user.
set -euo pipefail

usage() {
  echo "usage: pgcluster.sh start STATE_DIR [--durable] | stop|pause|resume STATE_DIR" >&2
  exit 2
}

[ $# -ge 2 ] || usage
action=$1
state=$2
durable=no
if [ $# -ge 3 ]; then
  [ "$3" = --durable ] || usage
  durable=yes
fi

find_bindir() {
  local initdb
  initdb=$(ls -d /usr/lib/postgresql/*/bin/initdb 2>/dev/null | sort -V | tail -n 1)
  if [ -z "$initdb" ]; then
    echo "pgcluster.sh: no PostgreSQL server binaries under /usr/lib/postgresql (scripts/install-deps.sh installs them)" >&2
    exit 1
  fi
  dirname "$initdb"
}

as_owner() {
  if [ "$(id -u)" -eq 0 ]; then
    runuser -u nobody -- "$@"
  else
    "$@"
  fi
}

stop_cluster() {
  [ -f "$state/cluster" ] || return 0
  local folder
  folder=$(cat "$state/cluster")
  if [ -d "$folder/data" ]; then
    # Immediate: the data is thrown away next, nothing needs to reach the disk.
    (cd "$folder" && as_owner "$(find_bindir)/pg_ctl" -D "$folder/data" -m immediate -w stop >/dev/null 2>&1) || true
  fi
  case "$folder" in
    */kestrova-pg-*) rm -rf "$folder" ;;
  esac
  rm -f "$state/cluster" "$state/url" "$state/socketdir" "$state/options"
}

case "$action" in
  stop)
    stop_cluster
    ;;
  pause)
    folder=$(cat "$state/cluster")
    (cd "$folder" && as_owner "$(find_bindir)/pg_ctl" -D "$folder/data" -m fast -w -t 60 stop >/dev/null)
    ;;
  resume)
    folder=$(cat "$state/cluster")
    (cd "$folder" && as_owner "$(find_bindir)/pg_ctl" -D "$folder/data" -l "$folder/server.log" -w -t 60 \
      -o "$(cat "$state/options")" start >/dev/null)
    ;;
  start)
    mkdir -p "$state"
    stop_cluster
    bindir=$(find_bindir)
    # A unix socket's whole path must fit in 107 bytes, and the owner must be
    # able to reach the folder: else /tmp.
    base=${TMPDIR:-/tmp}
    if [ ${#base} -gt 64 ] || ! as_owner test -x "$base" -a -w "$base"; then
      base=/tmp
    fi
    folder=$(mktemp -d "$base/kestrova-pg-XXXXXX")
    echo "$folder" >"$state/cluster"
    if [ "$(id -u)" -eq 0 ]; then
      chown nobody: "$folder"
    fi
    settings=(-c listen_addresses= -c "unix_socket_directories=$folder" -c max_connections=200)
    if [ "$durable" = no ]; then
      settings+=(-c fsync=off -c synchronous_commit=off -c full_page_writes=off)
    fi
    printf '%q ' "${settings[@]}" >"$state/options"
    # The owner may not be able to read the caller's working folder.
    cd "$folder"
    if ! as_owner "$bindir/initdb" -D "$folder/data" -U kestrova --auth=trust -E UTF8 --locale=C.UTF-8 \
        --no-sync >"$folder/initdb.log" 2>&1; then
      cat "$folder/initdb.log" >&2
      stop_cluster
      exit 1
    fi
    if ! as_owner "$bindir/pg_ctl" -D "$folder/data" -l "$folder/server.log" -w -t 60 \
        -o "$(printf '%q ' "${settings[@]}")" start >/dev/null; then
      cat "$folder/server.log" >&2 || true
      stop_cluster
      exit 1
    fi
    if ! as_owner "$bindir/createdb" -h "$folder" -U kestrova kestrova; then
      stop_cluster
      exit 1
    fi
    echo "$folder" >"$state/socketdir"
    echo "postgresql://kestrova@/kestrova?host=$folder" >"$state/url"
    ;;
  *)
    usage
    ;;
esac
