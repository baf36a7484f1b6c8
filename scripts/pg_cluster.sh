#!/usr/bin/env bash
# A throwaway PostgreSQL cluster for the tests.
#   pg_cluster.sh start DIR   creates a cluster in DIR (removed first), starts
#                             it listening only on a Unix socket in DIR, and
#                             prints the URI of its "postgres" database
#   pg_cluster.sh stop DIR    stops it and removes DIR
#   pg_cluster.sh uri DIR     prints the URI without starting anything
#   pg_cluster.sh restart DIR [SECONDS]
#                             stops the running cluster (fast: sessions are
#                             cut), waits SECONDS (default 0), starts it again
#   pg_cluster.sh password DIR ROLE
#                             makes ROLE a login whose password (read from
#                             standard input) the server asks for
#                             (scram-sha-256); every other role stays trusted
# initdb refuses root: run as root, the cluster belongs to the system user
# "postgres" (created by the Debian package). Nothing listens on TCP.
set -euo pipefail

cmd=${1:-}
dir=${2:-}
usage="usage: $0 start|stop|uri|restart|password DIR [ARG]"
[[ -n "$cmd" && -n "$dir" ]] || { echo "$usage" >&2; exit 2; }
dir=$(realpath -m "$dir")
port=5432

bindir=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1 || true)
uri="postgresql://postgres@/postgres?host=$dir&port=$port"

as_owner() {
  if [[ $(id -u) -eq 0 ]]; then
    runuser -u postgres -- "$@"
  else
    "$@"
  fi
}

start_server() {
  # Enough connections for two stations, the tests and their checks.
  as_owner "$bindir/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 60 \
    -o "-c listen_addresses='' -k $dir -p $port -c max_connections=100" start >/dev/null ||
    { cat "$dir/server.log" >&2; exit 1; }
}

case "$cmd" in
  uri)
    echo "$uri"
    ;;
  start)
    [[ -x "$bindir/initdb" ]] || { echo "pg_cluster: no PostgreSQL server installed" >&2; exit 1; }
    if [[ -f "$dir/data/postmaster.pid" ]]; then
      as_owner "$bindir/pg_ctl" -D "$dir/data" -m immediate stop >/dev/null 2>&1 || true
    fi
    rm -rf "$dir"
    mkdir -p "$dir"
    [[ $(id -u) -eq 0 ]] && chown postgres "$dir"
    as_owner "$bindir/initdb" -D "$dir/data" -U postgres -A trust -E UTF8 --locale=C.UTF-8 >"$dir/initdb.log" 2>&1 ||
      { cat "$dir/initdb.log" >&2; exit 1; }
    start_server
    echo "$uri"
    ;;
  restart)
    as_owner "$bindir/pg_ctl" -D "$dir/data" -m fast -w stop >/dev/null
    sleep "${3:-0}"
    start_server
    ;;
  password)
    role=${3:?"$usage"}
    IFS= read -r secret
    # The password goes to the server as a literal, never on a command line.
    quoted=${secret//\'/\'\'}
    printf "CREATE ROLE \"%s\" LOGIN PASSWORD '%s';\n" "$role" "$quoted" |
      as_owner "$bindir/psql" -q -X -v ON_ERROR_STOP=1 -h "$dir" -p $port -U postgres -d postgres >/dev/null
    hba="$dir/data/pg_hba.conf"
    { echo "local all $role scram-sha-256"; cat "$hba"; } >"$hba.new"
    chown --reference="$hba" "$hba.new"
    mv "$hba.new" "$hba"
    as_owner "$bindir/pg_ctl" -D "$dir/data" reload >/dev/null
    ;;
  stop)
    if [[ -f "$dir/data/postmaster.pid" ]]; then
      as_owner "$bindir/pg_ctl" -D "$dir/data" -m fast -w stop >/dev/null || true
    fi
    rm -rf "$dir"
    ;;
  *)
    echo "$usage" >&2
    exit 2
    ;;
esac
