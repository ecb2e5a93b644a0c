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
