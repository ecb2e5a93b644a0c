#!/usr/bin/env python3
"""Writes the seed corpus of the fuzz targets: the frames the base and the program really exchange, their
known faults, and the registry values the settings really hold. Run once after changing it; the output is
committed."""
import os

HERE = os.path.dirname(os.path.abspath(__file__))


def frame(command, payload):
    body = bytes([len(payload) + 2, command]) + bytes(payload)
    return b"$$" + body + bytes([(-sum(body)) & 0xFF])


def write(target, name, data):
    folder = os.path.join(HERE, "corpus", target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as out:
        out.write(data)


def key(code):
    return frame(1, [0x00, 0x01, code])


frames = {
    "init": frame(0, [0x00]),
    "key5": key(ord("5")),
    "keyhash": key(ord("#")),
    "notice": frame(11, [0x00, 0x01, ord("*")]),
    "notice-unmarked": frame(11, [0x00, 0x00, ord("*")]),
    "release": frame(2, [0x81]),
    "connect": frame(4, [0x01, 0x81]),
    "display": frame(10, [0x01, 0x0C] + list(b"abc") + [0x20] * 9),
    "badsum": frame(1, [0x00, 0x01, 0x35])[:-1] + b"\xc5",
    "length0": b"$$\x00",
    "length1": b"$$\x01\xff",
    "length2": frame(0x30, []),
    "length20": frame(0x30, [0x31] * 18),
    "length255": b"$$\xff" + bytes(range(255)),
    "truncated": key(ord("7"))[:5],
    "nomarker": bytes([0x24, 0x11, 0x05]) + frame(4, [0x01]),
    "keyburst": b"".join(key(ord(c)) for c in "#0041234567#"),
    "call": key(ord("#")) + key(ord("1")) + key(ord("#")) + frame(4, [0x01, 0x81]) + frame(2, [0x07]),
}
for name, data in frames.items():
    write("FrameStream", name, b"\x00" + data)
write("FrameStream", "keyburst-gaps", b"\x03" + frames["keyburst"])
write("FrameStream", "call-gaps", b"\x05" + frames["call"])

# Mode byte: bits 0-1 the code page (none, 932, all lead), bit 4 grows the data to around 2,048 bytes.
values = {
    "countrycode": (0x00, b"44\x00"),
    "screensize": (0x00, b"1\x00"),
    "dword": (0x00, b"\xff\xff\xff\xff"),
    "dword-short": (0x00, b"\x2c\x01"),
    "binary": (0x00, b"12\x003"),
    "multi": (0x00, b"a\x00b\x00\x00"),
    "multi-open": (0x00, b"one\x00\x00two\x00three"),
    "sjis": (0x01, "\u65e5\u672c".encode("cp932") + b"44"),
    "limit-text": (0x10, b"abcdefgh"),
    "limit-sjis": (0x11, "\u65e5\u672ca".encode("cp932")),
    "limit-multi": (0x10, b"abc\x00de\x00"),
    "alllead": (0x12, b"xyz"),
}
for name, (mode, data) in values.items():
    write("RegistryConversions", name, bytes([mode, 0x80, 0x05]) + data)

# Call rules: a settings byte, then steps. 0 a notification (0 for raw bytes, length, bytes, cbData), 1 a
# handset key (an index into the target's key list), 2 a timer (0 contacts, 1 ring, 2 release, 3 notice), 3 a
# base in service, 4 a frame lost on the way from the base, 5 the link to Skype lost.


def notify(text, cbdata=None):
    data = text.encode()
    return bytes([0, 0, len(data), *data, len(data) + 1 if cbdata is None else cbdata])


def key(k):
    return bytes([1, {"0": 0, "1": 1, "2": 2, "5": 3, "9": 4, "*": 5, "#": 6, "B": 7, "C": 8, "D": 9}[k]])


def keys(ks):
    return b"".join(key(k) for k in ks)


def timer(which):
    return bytes([2, which])


FRAME_LOST = bytes([4])
LINK_LOST = bytes([5])


calls = {
    "incoming-answered": notify("CALL 71 STATUS RINGING") + notify("CALL 71 PARTNER_HANDLE alice") + timer(1)
    + key("C") + notify("CALL 71 STATUS INPROGRESS") + keys("5*#") + notify("CALL 71 STATUS FINISHED"),
    "incoming-pc": notify("CALL 73 STATUS RINGING") + notify("CALL 73 PARTNER_HANDLE bob")
    + notify("CALL 73 STATUS INPROGRESS") + key("B") + notify("CALL 73 STATUS FINISHED"),
    "missed": notify("CALL 5 STATUS RINGING") + notify("CALL 5 PARTNER_HANDLE alice") + timer(1)
    + notify("CALL 5 STATUS MISSED") + notify("CALL 6 STATUS RINGING") + timer(2) + timer(2),
    "outgoing": keys("#0125#") + notify("CALL 72 STATUS ROUTING") + notify("CALL 72 PARTNER_HANDLE 0125")
    + notify("CALL 72 STATUS RINGING") + notify("CALL 72 STATUS INPROGRESS") + key("B")
    + notify("CALL 72 STATUS FINISHED"),
    "refused": keys("#1") + notify("CALL 8 STATUS RINGING") + key("B") + notify("CALL 9 STATUS RINGING")
    + notify("CALL 10 STATUS ROUTING") + notify("CALL 9 STATUS ONHOLD"),
    "contacts": bytes([3, 1]) + timer(0) + notify("USERS bob, Alice, carol, 123, alice")
    + notify("USER alice ONLINESTATUS ONLINE") + keys("##22#") + notify("CALL 74 STATUS ROUTING"),
    "errors": notify("ERROR 24 x") + notify("ERROR 68 Invalid") + notify("USERSTATUS LOGGEDOUT")
    + notify("CONNSTATUS ONLINE") + notify("ERROR") + notify("CALL 5") + notify("CALL 5 STATUS"),
    "lost-keys": keys("#01") + FRAME_LOST + keys("05#") + timer(3) + keys("##2") + FRAME_LOST + keys("#")
    + timer(3) + keys("#0105#") + notify("CALL 75 STATUS ROUTING") + LINK_LOST + timer(2),
    "raw": notify("CALL 5 STATUS RINGING\0junk", 40) + notify("USERS a,  b, ,", 3) + notify("", 0)
    + notify("call 5 status ringing"),
}
for name, steps in calls.items():
    write("CallRules", name, b"\x00" + steps)
write("CallRules", "online-only", b"\x01" + calls["contacts"])

# The contacts file SipLink reads: a byte for how many names are asked about, then the file's text.
contact_lists = {
    "quoted": b"\x00\xef\xbb\xbf\"alice\" <sip:alice@127.0.0.1:5060>;presence=p2p\r\n"
    b"Carol Smith, Jr <sip:carol@127.0.0.1:5100;transport=udp>\n# a comment\n",
    "plain": b"\x02eve <sip:eve@host>\nbob <sip:bob@[::1]:5080>\nfrank <mailto:frank@h>\n",
    "noname": b"\x01<sip:dave@example.org>\nsip:%41b%zz@h;transport=tcp\n<12345>\n\"open\" <sip:x@y\n",
    "twins": b"\x10bob <sip:bob@host>\nBOB <sip:bob@host:5060>\n\"Bob\" <sips:bob@HOST>\n",
    "many": b"\xff" + b"".join(b"u%d <sip:u%d@h>\n" % (i, i) for i in range(40)),
    "empty": b"\x00",
}
for name, data in contact_lists.items():
    write("ContactList", name, data)

# The phone's readers: the first byte chooses one (0 PIDF, 1 host:port, 2 a dialled target, 3 an SDP's
# formats and direction), the rest is its text.
pidf = (b'<?xml version="1.0"?><presence xmlns="urn:ietf:params:xml:ns:pidf" '
        b'xmlns:rpid="urn:ietf:params:xml:ns:pidf:rpid" entity="sip:42@h"><dm:person><rpid:activities>'
        b'<rpid:busy/></rpid:activities></dm:person><tuple id="t"><status><basic>open</basic></status>'
        b'</tuple></presence>')
phone_readers = {
    "pidf": b"\x00" + pidf,
    "pidfbroken": b"\x00<basic></basic>open</basic><p:basic>closed",
    "hostport": b"\x01[2001:db8::1]:5061",
    "hostportbad": b"\x01sip.example.net:65536",
    "target": b"\x02J\xc3\xbcrgen Smith@example.org",
    "targeturi": b"\x02sip:bob@example.org;transport=tcp",
    "formats": b"\x03\x07\x00PCMU\x00\x08pcma\x00\x65telephone-event\x00\x12G729",
}
for name, data in phone_readers.items():
    write("PhoneReaders", name, data)

# SipLink's link and line: steps of three bytes (what, a, b). what: 0 CALL, 1 SET CALL, 2 GET CALL, 3 contacts,
# 4 a call comes in, 5 progress, 6 established, 7 closed, 8 presence, 9 registration, 10 account stored, the
# program gone or back, the line lost (by a), 11 a tick.


def step(what, a=0, b=0):
    return bytes([what, a, b])


registered = step(9, 2)
link_steps = {
    "call-out": registered + step(0, 0) + step(5, 1) + step(6, 1) + step(1, 1, 2) + step(1, 1, 1) + step(7, 1, 0),
    "call-in": registered + step(4, 2, 0) + step(2, 1, 1) + step(1, 1, 0) + step(6, 0) + step(7, 0, 1),
    "busy": registered + step(4, 2, 1) + step(4, 3, 5) + step(0, 1) + step(7, 1, 12),
    "refresh-fails": registered + step(0, 0) + step(6, 1) + step(9, 4, 1) + step(11, 5) + step(7, 1, 1),
    "apply-in-call": registered + step(0, 2) + step(6, 1) + step(10, 0, 2) + step(10, 0, 9) + step(1, 1, 1),
    "gone": registered + step(4, 2) + step(1, 1, 0) + step(10, 1) + step(10, 2) + step(10, 3) + step(8, 5, 1),
}
for name, data in link_steps.items():
    write("LinkCalls", name, data)
