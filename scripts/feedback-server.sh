#!/bin/bash
# A local PostgreSQL server holding the error feedback table, for development
# and tests. It listens on 127.0.0.1 only and matches the demo bank's
# parameter 错误反馈数据库:
#   host=127.0.0.1 port=55432 dbname=qbrx_feedback user=qbrx connect_timeout=5
#
# usage: scripts/feedback-server.sh [start|stop|status|conninfo]
#   start     create the cluster if needed, start it, create the role qbrx,
#             the database qbrx_feedback and the table (safe to run again)
#   stop      stop the server
#   status    exit 0 when it runs
#   conninfo  print the connection string for the program
#
# environment:
#   QBRX_FEEDBACK_PORT  TCP port on 127.0.0.1 (default 55432)
#   QBRX_FEEDBACK_DATA  data folder (default: ~/.local/share/qbrx-feedback, or
#                       ~postgres/qbrx-feedback when run as root)
#   PG_BINDIR           PostgreSQL programs (default: newest /usr/lib/postgresql/*/bin)
#
# The server refuses to run as root; as root the script runs it as the user
# "postgres" (created by the postgresql package), which must be able to reach
# the data folder.
#
# Access: over TCP only the role qbrx may connect, only to qbrx_feedback,
# without a password (trust on 127.0.0.1). The superuser is reachable only
# through the Unix socket inside the data folder. This is for development; a
# real feedback server uses passwords (see README).
set -euo pipefail

command=${1:-start}
port=${QBRX_FEEDBACK_PORT:-55432}
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
schema=$repo/server/feedback/schema.sql

die() { echo "feedback-server: $*" >&2; exit 1; }

bindir=${PG_BINDIR:-}
if [ -z "$bindir" ]; then
  bindir=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1 || true)
  [ -n "$bindir" ] || bindir=$(dirname "$(command -v initdb 2>/dev/null || echo /nonexistent/initdb)")
fi
[ -x "$bindir/initdb" ] && [ -x "$bindir/pg_ctl" ] && [ -x "$bindir/psql" ] ||
  die "PostgreSQL server programs not found (install the postgresql package or set PG_BINDIR)"

runas=()
if [ "$(id -u)" = 0 ]; then
  getent passwd postgres >/dev/null || die "running as root needs the user postgres"
  runas=("$(command -v runuser || echo /sbin/runuser)" -u postgres --)
  home=$(getent passwd postgres | cut -d: -f6)
  data=${QBRX_FEEDBACK_DATA:-$home/qbrx-feedback}
else
  data=${QBRX_FEEDBACK_DATA:-${XDG_DATA_HOME:-$HOME/.local/share}/qbrx-feedback}
fi
case $data in /*) ;; *) data=$PWD/$data ;; esac
# The server's user may not be allowed into the current folder.
cd /

pg() { "${runas[@]}" "$bindir/$@"; }
running() { pg pg_ctl -D "$data" status >/dev/null 2>&1; }
conninfo() { echo "host=127.0.0.1 port=$port dbname=qbrx_feedback user=qbrx connect_timeout=5"; }
# Superuser statements over the socket in the data folder.
psql_admin() { pg psql -X -q -v ON_ERROR_STOP=1 -h "$data" -p "$port" -U postgres "$@"; }

init_cluster() {
  mkdir -p "$data"
  if [ ${#runas[@]} -gt 0 ]; then chown postgres: "$data"; fi
  chmod 700 "$data"
  pg initdb --no-sync -D "$data" -U postgres -E UTF8 --locale=C \
    --auth-local=trust --auth-host=reject >/dev/null
  # Only qbrx over TCP, only to its database; the socket lives in the
  # (private) data folder.
  cat >"$data/pg_hba.conf" <<'EOF'
# TYPE  DATABASE       USER      ADDRESS        METHOD
local   all            all                      trust
host    qbrx_feedback  qbrx      127.0.0.1/32   trust
EOF
  echo "include_if_exists 'qbrx.conf'" >>"$data/postgresql.conf"
  if [ ${#runas[@]} -gt 0 ]; then chown postgres: "$data/pg_hba.conf"; fi
}

start() {
  [ -f "$data/PG_VERSION" ] || init_cluster
  # Rewritten on every start, so another port takes effect (a running server
  # is restarted for it).
  local conf changed=yes
  conf=$(printf "port = %s\nlisten_addresses = '127.0.0.1'\nunix_socket_directories = '%s'\nunix_socket_permissions = 0700" "$port" "$data")
  if [ -f "$data/qbrx.conf" ] && [ "$(cat "$data/qbrx.conf")" = "$conf" ]; then changed=no; fi
  if [ $changed = yes ]; then
    printf '%s\n' "$conf" >"$data/qbrx.conf"
    if [ ${#runas[@]} -gt 0 ]; then chown postgres: "$data/qbrx.conf"; fi
  fi
  if running; then
    if [ $changed = yes ]; then
      pg pg_ctl -D "$data" -l "$data/server.log" -w -t 60 restart >/dev/null ||
        die "the server did not restart, see $data/server.log"
    fi
  else
    pg pg_ctl -D "$data" -l "$data/server.log" -w -t 60 start >/dev/null ||
      die "the server did not start, see $data/server.log"
  fi
  psql_admin -d postgres <<'EOF'
SELECT 'CREATE ROLE qbrx LOGIN' WHERE NOT EXISTS (SELECT 1 FROM pg_roles WHERE rolname = 'qbrx')\gexec
SELECT 'CREATE DATABASE qbrx_feedback OWNER qbrx ENCODING ''UTF8'' TEMPLATE template0'
  WHERE NOT EXISTS (SELECT 1 FROM pg_database WHERE datname = 'qbrx_feedback')\gexec
EOF
  # The table belongs to qbrx, the login the program uses.
  psql_admin -d qbrx_feedback -c 'SET client_min_messages = warning' -c 'SET ROLE qbrx' -f - <"$schema"
  echo "feedback server running: $(conninfo)"
}

case $command in
  start) start ;;
  stop)
    if running; then pg pg_ctl -D "$data" -m fast -w stop >/dev/null; fi
    ;;
  status) running ;;
  conninfo) conninfo ;;
  *) die "unknown command '$command' (start, stop, status, conninfo)" ;;
esac
