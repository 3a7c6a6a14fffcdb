#!/usr/bin/env bash
# The server bank tests' own PostgreSQL cluster, started before them and stopped after.
# Usage: pgcluster.sh start <facts-dir> <source-dir>
#        pgcluster.sh stop <facts-dir>
#        pgcluster.sh crash <facts-dir>    the server killed at once, its data kept
#        pgcluster.sh revive <facts-dir>   started again after a crash, same port
# Data and socket live in a fresh 0700 folder under /tmp; the cluster listens on that
# socket and on 127.0.0.1 at a free port. The bank is made by server/qelvi-server-init,
# as an administrator would. <facts-dir>/connection then holds what the tests need to
# reach it: socket folder, port, database and role names, never a password.
# QELVI_PG_CONNECTIONS, when set, is the server's max_connections (30 otherwise), for a
# load of many clients at once.
# As root the server runs as nobody (PostgreSQL refuses to run as root).
set -euo pipefail

action="${1:-}"
facts="${2:-}"
[ -n "$facts" ] || { echo "usage: $0 start|stop <facts-dir> [source-dir]" >&2; exit 2; }
connections="${QELVI_PG_CONNECTIONS:-30}"
case "$connections" in
  '' | *[!0-9]*) echo "QELVI_PG_CONNECTIONS is not a number: $connections" >&2; exit 2 ;;
esac

# The newest installed server; never a program of the same name elsewhere on the PATH.
bindir="$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1)"
if [ -z "$bindir" ] || [ ! -x "$bindir/initdb" ]; then
  echo "No PostgreSQL server under /usr/lib/postgresql/*/bin (Debian package postgresql)" >&2
  exit 1
fi

as_server() {
  if [ "$(id -u)" -eq 0 ]; then
    setpriv --reuid=nobody --regid=nogroup --clear-groups -- "$@"
  else
    "$@"
  fi
}

fact() { sed -n "s/^$1=//p" "$facts/connection" 2>/dev/null; }

stop() {
  local folder
  folder="$(fact folder)"
  rm -f "$facts/connection"
  [ -n "$folder" ] && [ -d "$folder" ] || return 0
  case "$folder" in /tmp/qelvi-pg.*) ;; *) echo "Not a test cluster: $folder" >&2; return 1 ;; esac
  if [ -f "$folder/data/postmaster.pid" ]; then
    local pid
    pid="$(head -n 1 "$folder/data/postmaster.pid")"
    (cd "$folder" && as_server "$bindir/pg_ctl" -D "$folder/data" -m immediate -w -t 30 stop) >/dev/null ||
      true
    # pg_ctl has waited for the postmaster; its children leave with it. A process that
    # has ended but is not yet reaped by its parent (state Z) is gone.
    running() { [ -n "$(sed -n 's/^[0-9]* (.*) \([^Z]\) .*/\1/p' "/proc/$pid/stat" 2>/dev/null)" ]; }
    for _ in $(seq 1 50); do
      running || break
      sleep 0.1
    done
    if running; then
      echo "The test server (process $pid) did not stop" >&2
      return 1
    fi
  fi
  rm -rf "$folder"
}

start() {
  local source="$1"
  stop # a cluster an interrupted run left behind
  mkdir -p "$facts"
  local folder
  folder="$(mktemp -d /tmp/qelvi-pg.XXXXXX)"
  chmod 0700 "$folder"
  [ "$(id -u)" -eq 0 ] && chown nobody:nogroup "$folder"
  # Recorded first, so that stop finds whatever this start leaves behind.
  printf 'folder=%s\n' "$folder" >"$facts/connection"

  (cd "$folder" && as_server "$bindir/initdb" -D "$folder/data" -U qelvi_admin -E UTF8 \
      --locale=C.UTF-8 --auth-local=trust --auth-host=scram-sha-256 --no-sync --no-instructions) \
      >"$folder/initdb.log" 2>&1 || { cat "$folder/initdb.log" >&2; return 1; }
  # A role that must give a password on the socket and has none: every login is refused.
  {
    echo "local all qelvi_test_locked scram-sha-256"
    echo "local all all trust"
    echo "host all all 127.0.0.1/32 scram-sha-256"
  } | as_server tee "$folder/data/pg_hba.conf" >/dev/null

  local port="" tries
  for tries in 1 2 3 4 5; do
    port=$((20000 + RANDOM % 40000))
    # Something already answers there: another try.
    (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && continue
    if launch "$folder" "$port"; then
      break
    fi
    grep -q "could not bind\|already in use" "$folder/server.log" 2>/dev/null || {
      cat "$folder/server.log" >&2; return 1; }
    port=""
  done
  [ -n "$port" ] || { echo "No free port for the test server" >&2; return 1; }

  local psql=("$bindir/psql" -X -q -v ON_ERROR_STOP=1 -h "$folder" -p "$port" -U qelvi_admin)
  "${psql[@]}" -d postgres -c "CREATE DATABASE qelvi_test" >/dev/null
  PGHOST="$folder" PGPORT="$port" PGUSER=qelvi_admin "$source/server/qelvi-server-init" qelvi_test
  # The tests write as an author does, not as the administrator, and take tests as the
  # takers do.
  "${psql[@]}" -d qelvi_test >/dev/null <<'SQL'
CREATE ROLE qelvi_test_author LOGIN IN ROLE qelvi_authors;
CREATE ROLE qelvi_test_other LOGIN IN ROLE qelvi_authors;
CREATE ROLE qelvi_test_locked LOGIN IN ROLE qelvi_authors;
CREATE ROLE qelvi_test_taker LOGIN IN ROLE qelvi_takers;
CREATE ROLE qelvi_test_taker2 LOGIN IN ROLE qelvi_takers;
SQL
  cat >>"$facts/connection" <<FACTS
bindir=$bindir
socket=$folder
port=$port
dbname=qelvi_test
admin=qelvi_admin
author=qelvi_test_author
other=qelvi_test_other
locked=qelvi_test_locked
taker=qelvi_test_taker
taker2=qelvi_test_taker2
FACTS
}

# The server on its folder and port. Without fsync, as nothing here outlives the machine,
# but every commit is written out before it is confirmed, so that a server killed at
# once (crash) keeps what it confirmed, as a real one does.
launch() {
  (cd "$1" && as_server "$bindir/pg_ctl" -D "$1/data" -l "$1/server.log" -w -t 60 \
      -o "-c listen_addresses=127.0.0.1 -c port=$2 -k $1 -c fsync=off \
          -c full_page_writes=off -c shared_buffers=16MB -c max_connections=$connections" start) >/dev/null
}

case "$action" in
  crash)
    folder="$(fact folder)"
    (cd "$folder" && as_server "$bindir/pg_ctl" -D "$folder/data" -m immediate -w -t 30 stop) >/dev/null
    ;;
  revive) launch "$(fact folder)" "$(fact port)" ;;
  start)
    [ -n "${3:-}" ] || { echo "usage: $0 start <facts-dir> <source-dir>" >&2; exit 2; }
    begun=$(date +%s%N)
    if ! start "$3"; then
      stop || true
      exit 1
    fi
    echo "Test server ready in $(( ($(date +%s%N) - begun) / 1000000 )) ms (start and bank)"
    ;;
  stop) stop ;;
  *) echo "usage: $0 start|stop|crash|revive <facts-dir> [source-dir]" >&2; exit 2 ;;
esac
