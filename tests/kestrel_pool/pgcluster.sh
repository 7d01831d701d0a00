#!/usr/bin/env bash
# A throwaway PostgreSQL cluster for the address pool's tests, in a folder of its own and
# reachable only through a unix socket in that folder (no TCP port, nothing shared with
# another run). Run as root, the server runs as `nobody` (PostgreSQL refuses root).
#
#   pgcluster.sh start DIR     create (first time) and start; prints the connection string
#   pgcluster.sh fresh DIR     remove whatever an earlier run left in DIR, then start
#   pgcluster.sh stop DIR      fast shutdown
#   pgcluster.sh restart DIR
#   pgcluster.sh remove DIR    stop and delete DIR
#
# PG_BINDIR overrides where initdb and pg_ctl are found. The server keeps fsync and
# synchronous_commit on: the pool's figures are measured as a line would run it.
set -euo pipefail

cmd=${1:?usage: pgcluster.sh start|stop|restart|remove DIR}
dir=${2:?usage: pgcluster.sh start|stop|restart|remove DIR}

bindir=${PG_BINDIR:-}
if [[ -z $bindir ]]; then
  for b in /usr/lib/postgresql/15/bin /usr/lib/postgresql/*/bin; do
    [[ -x $b/initdb ]] && { bindir=$b; break; }
  done
fi
[[ -n $bindir && -x $bindir/pg_ctl ]] || { echo "pgcluster: no PostgreSQL server (apt-get install postgresql-15)" >&2; exit 2; }

as_owner() {
  if [[ $(id -u) -eq 0 ]]; then
    runuser -u nobody -- "$@"
  else
    "$@"
  fi
}

ctl() { as_owner "$bindir/pg_ctl" -D "$dir/data" -l "$dir/server.log" "$@"; }

remove() {
  [[ -f $dir/data/postmaster.pid ]] && ctl -w -m immediate stop >/dev/null 2>&1 || true
  rm -rf "$dir"
}

case $cmd in
  fresh|start)
    [[ $cmd == fresh ]] && remove
    mkdir -p "$dir"
    dir=$(cd "$dir" && pwd)
    [[ $(id -u) -eq 0 ]] && chown nobody "$dir" && chmod 0700 "$dir"
    if [[ ! -f $dir/data/PG_VERSION ]]; then
      as_owner "$bindir/initdb" -D "$dir/data" -U postgres -A trust -E UTF8 --locale=C.UTF-8 >"$dir/initdb.log" 2>&1 \
        || { cat "$dir/initdb.log" >&2; exit 1; }
      # Enough sessions for the concurrency tests and the benchmark's 32 stations.
      {
        echo "listen_addresses = ''"
        echo "unix_socket_directories = '$dir'"
        echo "max_connections = 120"
      } >>"$dir/data/postgresql.conf"
    fi
    ctl -w -t 60 start >/dev/null || { cat "$dir/server.log" >&2; exit 1; }
    echo "host=$dir user=postgres dbname=postgres"
    ;;
  stop) ctl -w -m fast stop >/dev/null ;;
  restart) ctl -w -m fast -t 60 restart >/dev/null ;;
  remove) remove ;;
  *) echo "pgcluster: unknown command $cmd" >&2; exit 2 ;;
esac
