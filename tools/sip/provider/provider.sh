#!/bin/bash
# Runs the loopback SIP provider (Kamailio as registrar and proxy) for the tests and ./dev sip.
#   provider.sh DIR WATCH_PID SIP_PORT VARIANT
# VARIANT "403" answers a wrong password with 403 at once; "plain" challenges again.
# DIR gets the configuration, Kamailio's output (DIR/log) and its pid (DIR/pid, while it runs). Kamailio
# runs until DIR/stop appears or the process WATCH_PID (0: none) ends. It runs in a session of its own:
# its children are killed with it, and the next start finds the port free.
set -u
[ $# -ge 4 ] || { echo "usage: provider.sh DIR WATCH_PID SIP_PORT VARIANT" >&2; exit 2; }
dir=$1 watch=$2 port=$3 variant=$4
here=$(dirname "$(readlink -f "$0")")
mkdir -p "$dir/run"
. "$(dirname "$(readlink -f "$0")")/sipdetach.sh"
detach "$dir"
sed "s/SIP_PORT/$port/g" "$here/sipprovider/kamailio.cfg" >"$dir/kamailio.cfg"
defines=()
[ "$variant" = 403 ] && defines=(-A WRONG_PASSWORD_403)

port_free() { ! ss -Hlun "sport = :$port" | grep -q .; }
for _ in $(seq 50); do port_free && break; sleep 0.1; done
port_free || { echo "port $port is taken"; ss -lunp "sport = :$port"; exit 1; }

setsid kamailio -f "$dir/kamailio.cfg" -Y "$dir/run" -P "$dir/run/kamailio.pid" -DD -E -m 32 -M 8 \
    "${defines[@]}" </dev/null >"$dir/log" 2>&1 &
main=$!
for _ in $(seq 50); do ! port_free && break; sleep 0.1; done
echo "$main" >"$dir/pid"
watch_run "$main" "$dir" "$watch" 50
wait "$main"
# Children stuck after their main ended have held the port before: none outlives the main.
pkill -KILL -s "$main" 2>/dev/null
for _ in $(seq 50); do port_free && break; sleep 0.1; done
rm -f "$dir/pid"
