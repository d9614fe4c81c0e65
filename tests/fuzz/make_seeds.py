#!/usr/bin/python3
"""Writes the seed inputs of the fuzz corpora (tests/fuzz/corpus/<target>/seed-*).

datagram: the reply frames the device tests use, well formed and broken, and short exchanges of
          several datagrams ("#>" plus a sender byte starts the next one; see fuzz_datagram.cpp).
smtpreply: what real servers say during one delivery. The first seed is recorded from a real server
          (aiosmtpd on 127.0.0.1, started by this script); the others are written out by hand.
Run from anywhere; existing seeds are overwritten, other corpus files are left alone.
"""
import os
import socket
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))


def frame(ftype, cmd, payload):
    body = bytes([0xA7, ftype, cmd, len(payload)]) + payload
    return body + bytes([sum(body) & 0xFF])


def reply(cmd, payload):
    return frame(0x42, cmd, payload)


def text(s, n):
    return s.encode("latin-1").ljust(n, b"\0")[:n]


NETWORK = (bytes([192, 168, 0, 100, 255, 255, 255, 0, 192, 168, 0, 1, 0x00, 0x04, 0xA3, 0, 0, 0])
           + (51230).to_bytes(2, "little") + text("IP PDU", 16) + text("office", 16))
DEVICE_INFO = text("IP PDU", 16) + text("1.0.0", 8)
STATUS = bytes.fromhex("DC0005000319 3205".replace(" ", ""))
THRESHOLDS = bytes([5, 0, 0, 6, 0, 0]) + (250).to_bytes(2, "little") + (300).to_bytes(2, "little") + bytes([5, 50, 80])
DELAYS = bytes(range(5, 13)) * 2
NAMES = b"".join(text("outlet%d" % (i + 1), 10) for i in range(8))


def close(hexbytes):
    body = bytes.fromhex(hexbytes.replace(" ", ""))
    return body + bytes([sum(body) & 0xFF])


def sender(i):
    return b"#>" + bytes([i])


def network_at(ip, port=51230):
    return reply(0x01, bytes(ip) + NETWORK[4:18] + port.to_bytes(2, "little") + NETWORK[20:])


DATAGRAM = {
    "network": reply(0x01, NETWORK),
    "device-info": reply(0x02, DEVICE_INFO),
    "status-example": bytes.fromhex("A742 0608 DC00 0500 0319 3205 2B".replace(" ", "")),
    "thresholds": reply(0x08, THRESHOLDS),
    "delays": reply(0x0E, DELAYS),
    "names": reply(0x10, NAMES),
    "name-16-no-nul": reply(0x01, NETWORK[:20] + b"ABCDEFGHIJKLMNOP" + NETWORK[36:]),
    "tenths-255": reply(0x06, bytes([0xDC, 0, 2, 0, 0xFF, 25, 50, 0xFF])),
    "stale-check-byte": bytes.fromhex("A742 0608 DC00 0600 0319 3205 2B".replace(" ", "")),
    "length-8-nine-bytes": close("A7 42 06 08 DC 00 05 00 03 19 32 05 00"),
    "length-9-nine-bytes": close("A7 42 06 09 DC 00 05 00 03 19 32 05 00"),
    "outlet-switch-reply": close("A7 42 0C 02 02 04"),
    "unknown-command": close("A7 42 03 08 DC 00 05 00 03 19 32 05"),
    "query-frame": bytes.fromhex("A7400100E8"),
    "set-frame": frame(0x41, 0x08, bytes([1] * 13)),
    "wrong-header": close("A6 42 06 08 DC 00 05 00 03 19 32 05"),
    "four-bytes": bytes.fromhex("A74200E9"),
    "empty-known-command": close("A7 42 06 00"),
    "short": bytes.fromhex("A74206"),
    "garbage": b"hello",
    "empty": b"",
    # Several datagrams: a device that reports a new address, then answers from there.
    "readdress": network_at([10, 201, 0, 3]) + sender(1) + reply(0x06, STATUS),
    # Two devices, one re-addressed onto the other's address, then a new port.
    "two-devices": (reply(0x06, STATUS) + sender(1) + reply(0x02, DEVICE_INFO) + sender(0)
                    + network_at([10, 201, 0, 3], 6000) + sender(1) + reply(0x10, NAMES)),
    # A stray packet first, then a reply from an IPv4-mapped and an IPv6 sender.
    "odd-senders": b"junk" + sender(5) + reply(0x06, STATUS) + sender(6) + reply(0x06, STATUS),
}

AIOSMTPD = b""  # filled by capture()

SMTP = {
    "postfix-style": (b"220 mail.example.test ESMTP\r\n"
                      b"250-mail.example.test\r\n250-PIPELINING\r\n250-SIZE 10240000\r\n250-AUTH PLAIN LOGIN\r\n"
                      b"250-8BITMIME\r\n250 SMTPUTF8\r\n"
                      b"235 2.7.0 Authentication successful\r\n250 2.1.0 Ok\r\n250 2.1.5 Ok\r\n250 2.1.5 Ok\r\n"
                      b"250 2.1.5 Ok\r\n354 End data with <CR><LF>.<CR><LF>\r\n250 2.0.0 Ok: queued as 4B2C1\r\n"
                      b"221 2.0.0 Bye\r\n"),
    "lf-only": b"220 hi\n250 ok\n235 ok\n250 ok\n250 ok\n250 ok\n250 ok\n354 go\n250 done\n",
    "bare-codes": b"220\r\n250\r\n235\r\n250\r\n250\r\n250\r\n250\r\n354\r\n250\r\n",
    "greeting-421": b"421 4.3.2 Service not available\r\n",
    "greeting-554": b"554 no thanks\r\n",
    "ehlo-refused": b"220 hi\r\n500 5.5.1 Command unrecognized\r\n",
    "auth-535": b"220 hi\r\n250 ok\r\n535 5.7.8 Authentication credentials invalid\r\n",
    "rcpt-550": b"220 hi\r\n250 ok\r\n235 ok\r\n250 ok\r\n550 5.1.1 no such user\r\n",
    "data-451": b"220 hi\r\n250 ok\r\n235 ok\r\n250 ok\r\n250 ok\r\n250 ok\r\n250 ok\r\n451 try later\r\n",
    "end-552": (b"220 hi\r\n250 ok\r\n235 ok\r\n250 ok\r\n250 ok\r\n250 ok\r\n250 ok\r\n354 go\r\n"
                b"552 too big\r\n"),
    "truncated-line": b"220 hi\r\n250-first\r\n250 la",
    "long-line": b"220 " + b"x" * 5000 + b"\r\n",
    "no-line-end": b"220 " + b"y" * 300,
    "non-digit-code": b"2x0 hi\r\n",
    "utf8-text": "220 mail.example.test ESMTP \u90ae\u4ef6\r\n250 \u597d\r\n".encode("utf-8"),
    "nul-bytes": b"220\0hi\r\n250 \0\r\n",
}


def capture():
    """One delivery against aiosmtpd on 127.0.0.1, recording only what the server sends."""
    server = subprocess.Popen(["/usr/bin/python3", os.path.join(HERE, "..", "mail", "smtp_server.py"),
                               "--user", "console@example.test", "--password", "secret"],
                              stdout=subprocess.PIPE, text=True)
    try:
        port = int(server.stdout.readline().split()[1])
        sock = socket.create_connection(("127.0.0.1", port), timeout=10)
        got = b""

        def read_reply():
            nonlocal got
            buf = b""
            while True:
                chunk = sock.recv(4096)
                if not chunk:
                    return
                buf += chunk
                lines = buf.split(b"\r\n")
                if len(lines) > 1 and len(lines[-2]) >= 4 and lines[-2][3:4] == b" ":
                    got += buf
                    return

        import base64
        read_reply()
        auth = base64.b64encode(b"\0console@example.test\0secret")
        for cmd in [b"EHLO localhost", b"AUTH PLAIN " + auth, b"MAIL FROM: <console@example.test>",
                    b"RCPT TO: <ops@example.test>", b"RCPT TO: <night@example.test>",
                    b"RCPT TO: <lead@example.test>", b"DATA"]:
            sock.sendall(cmd + b"\r\n")
            read_reply()
        sock.sendall(b"Subject: PDU Warning\r\n\r\nVoltage Warn\r\n.\r\n")
        read_reply()
        sock.sendall(b"QUIT\r\n")
        read_reply()
        sock.close()
        return got
    finally:
        server.terminate()
        server.wait()


def write(target, seeds):
    folder = os.path.join(HERE, "corpus", target)
    os.makedirs(folder, exist_ok=True)
    for name, data in seeds.items():
        with open(os.path.join(folder, "seed-" + name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    write("datagram", DATAGRAM)
    SMTP["aiosmtpd"] = capture()
    write("smtpreply", SMTP)
