#!/usr/bin/env bash
# A throwaway PostgreSQL cluster for the address pool's tests, reachable only through a
# unix socket in its own folder (no TCP port, nothing shared with another run). Run as
# root, the server runs as `nobody` (PostgreSQL refuses root).
#
#   pgcluster.sh start DIR     create (first time) and start; prints the connection string
#   pgcluster.sh fresh DIR     remove whatever an earlier run left, then start
#   pgcluster.sh url DIR       the connection string
#   pgcluster.sh stop DIR      fast shutdown
#   pgcluster.sh restart DIR
#   pgcluster.sh remove DIR    stop and delete the cluster and DIR
#
# The cluster itself lives in a new folder with an unpredictable name under $TMPDIR (or
# /tmp), which `nobody` can reach wherever DIR is; DIR/where names it. PG_BINDIR overrides
# where initdb and pg_ctl are found. The server keeps fsync and synchronous_commit on:
# the pool's figures are measured as a line would run it.
#
# Exit 77 (skipped) when this system cannot run the server at all: as root, `nobody` must
# be able to run initdb, which it cannot where `/` is mode 0700 (a chroot unpacked into a
# `mktemp -d` folder). DIR/unavailable then holds the reason, for the tests to report.
set -euo pipefail

cmd=${1:?usage: pgcluster.sh start|fresh|url|stop|restart|remove DIR}
dir=${2:?usage: pgcluster.sh start|fresh|url|stop|restart|remove DIR}

bindir=${PG_BINDIR:-}
if [[ -z $bindir ]]; then
  for b in /usr/lib/postgresql/15/bin /usr/lib/postgresql/*/bin; do
    [[ -x $b/initdb ]] && { bindir=$b; break; }
  done
fi
[[ -n $bindir && -x $bindir/pg_ctl ]] || { echo "pgcluster: no PostgreSQL server (scripts/setup.sh --with-postgres)" >&2; exit 2; }

as_owner() {
  if [[ $(id -u) -eq 0 ]]; then
    runuser -u nobody -- "$@"
  else
    "$@"
  fi
}

where() { [[ -f $dir/where ]] && cat "$dir/where"; }
ctl() {
  local home
  home=$(where) || { echo "pgcluster: no cluster in $dir" >&2; return 1; }
  as_owner "$bindir/pg_ctl" -D "$home/data" -l "$home/server.log" "$@"
}
url() { echo "host=$(where) user=postgres dbname=postgres"; }

remove() {
  local home
  if home=$(where); then
    [[ -f $home/data/postmaster.pid ]] && ctl -w -m immediate stop >/dev/null 2>&1 || true
    rm -rf "$home"
  fi
  rm -rf "$dir"
}

runnable_by_owner() {
  [[ $(id -u) -ne 0 ]] || runuser -u nobody -- "$bindir/initdb" --version >/dev/null 2>&1
}

case $cmd in
  fresh|start)
    [[ $cmd == fresh ]] && remove
    mkdir -p "$dir"
    if ! runnable_by_owner; then
      why="the user nobody cannot run $bindir/initdb here (the root folder is mode $(stat -c %a /)), and PostgreSQL refuses to run as root"
      echo "$why" >"$dir/unavailable"
      echo "pgcluster: $why: skipped" >&2
      exit 77
    fi
    if ! where >/dev/null; then
      home=$(mktemp -d "${TMPDIR:-/tmp}/kestrel-pg-XXXXXXXX")
      [[ $(id -u) -eq 0 ]] && chown nobody "$home"
      as_owner "$bindir/initdb" -D "$home/data" -U postgres -A trust -E UTF8 --locale=C.UTF-8 >"$home/initdb.log" 2>&1 \
        || { cat "$home/initdb.log" >&2; rm -rf "$home"; exit 1; }
      # Enough sessions for the concurrency tests and the benchmark's 32 stations.
      {
        echo "listen_addresses = ''"
        echo "unix_socket_directories = '$home'"
        echo "max_connections = 120"
      } >>"$home/data/postgresql.conf"
      echo "$home" >"$dir/where"
    fi
    ctl -w -t 60 start >/dev/null || { cat "$(where)/server.log" >&2; exit 1; }
    url
    ;;
  url) url ;;
  stop) ctl -w -m fast stop >/dev/null ;;
  restart) ctl -w -m fast -t 60 restart >/dev/null ;;
  remove) remove ;;
  *) echo "pgcluster: unknown command $cmd" >&2; exit 2 ;;
esac
