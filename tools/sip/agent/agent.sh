#!/bin/bash
# Runs one headless SIP user agent (baresip) on loopback with a generated configuration.
#   agent.sh DIR WATCH_PID NAME SIP_PORT RTP_FIRST CONTROL_PORT ANSWER_TIMEOUT_S OUTBOUND_PORT REGISTRAR_PORT DISPLAY_NAME RECORD [CONTACT ADDRESS]...
# DISPLAY_NAME is the name the account's calls carry ("-" for none), with \xNN escapes read as bytes so that
# any UTF-8 passes a Windows command line. RECORD "record" writes what each call sends and receives into DIR
# (dump-*-enc.wav, dump-*-dec.wav, 8 kHz mono); "-" records nothing.
# OUTBOUND_PORT 0 sends each request straight to its address; another port sends every request there, as
# to a provider's proxy (a dialled number then reaches the agent at that port).
# REGISTRAR_PORT 0 registers nowhere; another port makes the agent the user NAME (password NAMEpw) of the
# loopback provider at that port, registered there; OUTBOUND_PORT is then not used.
# DIR gets the configuration files, the agent's output (DIR/log) and its pid (DIR/pid, while it runs).
# The agent runs until DIR/stop appears (orderly end), DIR/kill appears (killed at once), or the process
# WATCH_PID (0: none) ends, so that an agent does not outlive what started it.
set -u
[ $# -ge 11 ] || { echo "usage: agent.sh DIR WATCH_PID NAME SIP_PORT RTP_FIRST CONTROL_PORT ANSWER_TIMEOUT_S OUTBOUND_PORT REGISTRAR_PORT DISPLAY_NAME RECORD [CONTACT ADDRESS]..." >&2; exit 2; }
dir=$1 watch=$2 name=$3 sip=$4 rtp=$5 control=$6 timeout=$7 outbound=$8 registrar=$9 display=$(printf '%b' "${10}")
record=${11}
shift 11
mkdir -p "$dir"
. "$(dirname "$(readlink -f "$0")")/sipdetach.sh"
detach "$dir"
cat >"$dir/config" <<CONFIG
sip_listen         127.0.0.1:$sip
net_interface      127.0.0.1
audio_player       aubridge,$name
audio_source       ausine,440
audio_alert        aubridge,${name}alert
ausrc_srate        48000
auplay_srate       48000
ausrc_channels     2
rtp_ports          $rtp-$((rtp + 9))
dns_server         127.0.0.1:53
call_local_timeout $timeout
module_path        /usr/lib/baresip/modules
module             g711.so
module             aubridge.so
module             ausine.so
module_tmp         uuid.so
module_tmp         account.so
module_app         contact.so
module_app         menu.so
module_app         presence.so
module_app         ctrl_tcp.so
ctrl_tcp_listen    127.0.0.1:$control
CONFIG
[ "$record" = record ] && printf 'module             sndfile.so\nsnd_path           %s\n' "$dir" >>"$dir/config"
proxy=
[ "$outbound" != 0 ] && proxy=";outbound=\"sip:127.0.0.1:$outbound\""
shown=
[ "$display" != - ] && shown="\"$display\" "
if [ "$registrar" != 0 ]; then
    echo "$shown<sip:$name@127.0.0.1:$registrar;transport=udp>;auth_pass=${name}pw;regint=60;pubint=0;answermode=manual;audio_codecs=PCMU;mwi=no" \
        >"$dir/accounts"
else
    echo "$shown<sip:$name@127.0.0.1:$sip;transport=udp>;regint=0;pubint=0;answermode=manual;audio_codecs=PCMU;mwi=no$proxy" \
        >"$dir/accounts"
fi
: >"$dir/contacts"
while [ $# -ge 2 ]; do
    echo "\"$1\" <$2>;presence=p2p" >>"$dir/contacts"
    shift 2
done

baresip -f "$dir" </dev/null >"$dir/log" 2>&1 &
agent=$!
echo "$agent" >"$dir/pid"
# An orderly end waits for the agent's goodbyes (unsubscribing from contacts) up to 3 s: a contact that
# is not there would keep it for a SIP time-out.
watch_run "$agent" "$dir" "$watch" 30
wait "$agent"
rm -f "$dir/pid"
