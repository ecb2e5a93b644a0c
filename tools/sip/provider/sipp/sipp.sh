#!/bin/bash
# Runs one SIPp scenario of this folder for the tests: sipp.sh DIR WATCH_PID SCENARIO [-set NAME VALUE]...
# SIPP_ARGUMENTS... Each -set puts VALUE in place of [NAME] in the scenario before SIPp reads it (SIPp's
# own -key comes too late for a response's code, which it checks on loading).
# SIPp runs in DIR (its traces land there), its output goes to DIR/log, its exit code to DIR/rc; DIR/pid
# holds its pid while it runs. It ends at DIR/stop or when the process WATCH_PID (0: none) ends.
set -u
[ $# -ge 3 ] || { echo "usage: sipp.sh DIR WATCH_PID SCENARIO ARGS..." >&2; exit 2; }
dir=$1 watch=$2 scenario=$3
shift 3
here=$(dirname "$(readlink -f "$0")")/sipprovider/sipp
mkdir -p "$dir"
. "$(dirname "$(readlink -f "$0")")/sipdetach.sh"
detach "$dir"
rm -f "$dir/rc"
cd "$dir" || exit 1
cp "$here/$scenario" scenario.xml
while [ $# -ge 3 ] && [ "$1" = -set ]; do
    sed -i "s|\[$2\]|$3|g" scenario.xml
    shift 3
done
[ -e tone700.ul ] || sox -n -r 8000 -c 1 -t ul tone700.ul synth 10 sine 700
sipp -sf scenario.xml -nostdin "$@" </dev/null >"$dir/log" 2>&1 &
sipp=$!
echo "$sipp" >"$dir/pid"
watch_run "$sipp" "$dir" "$watch" 50
wait "$sipp"
echo $? >"$dir/rc"
rm -f "$dir/pid"
