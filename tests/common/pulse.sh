#!/bin/bash
# The sound devices of a test sandbox: a PulseAudio server of its own whose null sinks Wine's programs
# see as named devices, and the tools the sound tests use on them. ./dev starts a server per sandbox
# before the tests and stops it by its pid after them; the tests run the other verbs under Wine.
#   pulse.sh DIR 0 server                  starts the server on DIR (its socket, files and log), prints
#                                          the environment that leads clients to it (export lines) and
#                                          leaves the server's pid in DIR/server.pid
#   pulse.sh DIR WATCH_PID record SOURCE   records SOURCE into DIR/sound.raw (8 kHz mono s16le)
#   pulse.sh DIR WATCH_PID feed SINK HZ    plays a sine of HZ into SINK
#   pulse.sh DIR WATCH_PID unplug|plug     takes the DECT base's devices away, or brings them back
# record and feed run until DIR/stop or DIR/kill appears or the process WATCH_PID ends, with their pid in
# DIR/pid meanwhile; unplug and plug write their exit code to DIR/rc.
#
# The devices (Windows names; PulseAudio names in brackets): "Desk_speaker" [desk], the system's default,
# and "Desk_microphone" [deskmic], which takes what desk plays; the base's "USB_base_speaker"
# [basespeaker] and "USB_base_microphone" [basemic], which takes what "Microphone_feed" [micfeed] plays.
# All at 8 kHz mono 16-bit, the phone's own format, so that nothing is resampled. Names stay under the
# 31 characters Wine shows, without blanks.
set -u
[ $# -ge 3 ] || { echo "usage: pulse.sh DIR WATCH_PID server|record|feed|unplug|plug [ARGUMENTS]" >&2; exit 2; }
dir=$1 watch=$2 verb=$3
shift 3
format="rate=8000 channels=1 format=s16le"
base_speaker="module-null-sink sink_name=basespeaker $format sink_properties=device.description=USB_base_speaker"
base_microphone="module-remap-source source_name=basemic master=micfeed.monitor channels=1
    source_properties=device.description=USB_base_microphone"
raw="--rate=8000 --channels=1 --format=s16le"

# The server's own pid from an earlier run that was killed before it could stop it.
stop_left_server() {
    local pid
    pid=$(cat "$dir/server.pid" 2>/dev/null) || return 0
    if tr '\0' ' ' <"/proc/$pid/cmdline" 2>/dev/null | grep -qF -- "-F $dir/devices.pa"; then
        kill "$pid"
        for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    fi
    rm -f "$dir/server.pid"
}

server() {
    mkdir -p "$dir"
    stop_left_server
    rm -rf "$dir/run" "$dir/home" "$dir/native"
    mkdir -p -m 0700 "$dir/run" "$dir/home"
    cat >"$dir/devices.pa" <<PA
load-module module-native-protocol-unix socket=$dir/native auth-anonymous=1
load-module module-null-sink sink_name=desk $format sink_properties=device.description=Desk_speaker
load-module module-remap-source source_name=deskmic master=desk.monitor channels=1 source_properties=device.description=Desk_microphone
load-module module-null-sink sink_name=micfeed $format sink_properties=device.description=Microphone_feed
load-module $(echo $base_speaker)
load-module $(echo $base_microphone)
set-default-sink desk
set-default-source deskmic
PA
    # An ordinary process of the caller (root too), in the background, holding none of the caller's pipes.
    XDG_RUNTIME_DIR=$dir/run HOME=$dir/home setsid pulseaudio -n -F "$dir/devices.pa" --daemonize=no \
        --exit-idle-time=-1 --disallow-exit --use-pid-file=no --realtime=no --high-priority=no \
        </dev/null >"$dir/server.log" 2>&1 &
    echo "$!" >"$dir/server.pid"
    export PULSE_SERVER=unix:$dir/native PULSE_COOKIE=$dir/home/cookie
    for _ in $(seq 100); do
        pactl info >/dev/null 2>&1 && break
        sleep 0.1
    done
    pactl info >/dev/null 2>&1 || { echo "pulse.sh: the sound server did not start:" >&2; cat "$dir/server.log" >&2; exit 1; }
    echo "export PULSE_SERVER=$PULSE_SERVER"
    echo "export PULSE_COOKIE=$PULSE_COOKIE"
}

# The index of the module that made the sink or source NAME.
module_of() {
    pactl list short modules | awk -v name="$1" '{ for (i = 3; i <= NF; i++) if ($i ~ "^(sink|source)_name=" name "$") print $1 }'
}

plug() {
    local rc=0
    [ -n "$(module_of basespeaker)" ] || pactl load-module $base_speaker >/dev/null || rc=1
    [ -n "$(module_of basemic)" ] || pactl load-module $base_microphone >/dev/null || rc=1
    return $rc
}

unplug() {
    local module rc=0
    for module in $(module_of basemic) $(module_of basespeaker); do
        pactl unload-module "$module" || rc=1
    done
    return $rc
}

# Runs a command (the rest of the line) until it ends or is asked to end, as record and feed do.
run_watched() {
    "$@" &
    local main=$!
    echo "$main" >"$dir/pid"
    watch_run "$main" "$dir" "$watch" 10
    wait "$main"
    rm -f "$dir/pid"
}

case "$verb" in
server)
    server
    ;;
record | feed | unplug | plug)
    mkdir -p "$dir"
    . "$(dirname "$(readlink -f "$0")")/sipdetach.sh"
    detach "$dir"
    case "$verb" in
    record)
        rm -f "$dir/sound.raw"
        run_watched sh -c "exec parec -d '$1' $raw --latency-msec=10 >'$dir/sound.raw'"
        ;;
    feed)
        # pacat's own pid is watched; sox ends when pacat no longer reads.
        run_watched bash -c "exec pacat -d '$1' $raw --latency-msec=20 \\
            < <(exec sox -n -r 8000 -c 1 -b 16 -e signed-integer -t raw - synth 3600 sine $2 vol 0.3)"
        ;;
    *)
        "$verb"
        echo $? >"$dir/rc"
        ;;
    esac
    ;;
*)
    echo "pulse.sh: no verb $verb" >&2
    exit 2
    ;;
esac
