#!/bin/bash
# Runs Debian's baresip for SipLink.exe under Wine: baresip.sh CONFIG_DIR (a Unix path).
# The agent's output goes to CONFIG_DIR/log, its pid to CONFIG_DIR/pid while it runs. SipLink touches
# CONFIG_DIR/alive every quarter second: when that stops for 3 s (SipLink ended, however) or when
# CONFIG_DIR/stop appears, the agent is asked to end (SIGTERM) and killed 2 s later; CONFIG_DIR/kill
# kills it at once.
set -u
[ $# -ge 1 ] || { echo "usage: baresip.sh CONFIG_DIR" >&2; exit 2; }
dir=$1
. "$(dirname "$(readlink -f "$0")")/sipdetach.sh"
detach "$dir"
baresip -f "$dir" </dev/null >"$dir/log" 2>&1 &
agent=$!
echo "$agent" >"$dir/pid"
watch_run "$agent" "$dir" 0 20 3
wait "$agent"
rm -f "$dir/pid"
