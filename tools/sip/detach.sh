# Sourced by the scripts that a Win32 program starts under Wine (SipLink's agent, and the tests' agents,
# provider and SIPp runs).
# detach DIR: started by a Win32 program, the script holds that program's output (a test runner's pipe,
# say) and Wine's own descriptors; it lets go of all of them, writes its own output to DIR/script.log and
# clears DIR's stop and kill flags of an earlier run.
detach() {
    exec </dev/null >"$1/script.log" 2>&1
    local fd
    for fd in /proc/$$/fd/*; do
        fd=${fd##*/}
        [ "$fd" -gt 2 ] && eval "exec $fd>&-"
    done 2>/dev/null
    rm -f "$1/stop" "$1/kill"
}

# watch_run PID DIR WATCH_PID GRACE [ALIVE_S]: returns when the process PID has ended. DIR/stop, or the end
# of the process WATCH_PID (0: none), asks it to end (SIGTERM); one still there GRACE tenths of a second
# later is killed, as it is at once on DIR/kill. With ALIVE_S, DIR/alive left untouched for longer than
# that many seconds also asks it to end: the Win32 program that touches it has gone.
watch_run() {
    local pid=$1 dir=$2 watch=$3 grace=$4 alive=${5:-0} asked=0 touched
    while kill -0 "$pid" 2>/dev/null; do
        [ "$watch" != 0 ] && ! kill -0 "$watch" 2>/dev/null && touch "$dir/stop"
        if [ "$alive" != 0 ]; then
            touched=$(stat -c %Y "$dir/alive" 2>/dev/null || echo 0)
            [ $(($(date +%s) - touched)) -gt "$alive" ] && touch "$dir/stop"
        fi
        if [ -e "$dir/kill" ] || { [ "$asked" = 1 ] && [ "$grace" -le 0 ]; }; then
            kill -KILL "$pid"
        elif [ -e "$dir/stop" ]; then
            [ "$asked" = 0 ] && kill -TERM "$pid"
            asked=1
            grace=$((grace - 1))
        fi
        sleep 0.1
    done
}
