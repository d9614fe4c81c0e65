#!/usr/bin/python3
# The mail tests' SMTP peers on 127.0.0.1 at a free port.
#   smtp_server.py real --user U --password P [--cert FILE --key FILE [--starttls]] [--relay]
#                  [--login-only] [--strict-sender]
#       aiosmtpd with AUTH PLAIN and LOGIN; with a certificate implicit TLS, or STARTTLS required before
#       anything else; a relay that takes mail without AUTH, offers none and answers one with 502; AUTH
#       LOGIN only; a sender without "@" refused.
#   smtp_server.py script STEPS_JSON   one connection served step by step, for what a real server won't do
#       (a "tls" step takes the certificate file; its key is server.key beside it)
# The servers print "PORT <n>" once they listen, then one JSON line per event on stdout: "auth" (mechanism,
# user, password, ok), "mail" (user, mail_from, rcpt_tos, data in base64); "accepted", "recv" (data in
# base64) and "done" from the scripted one.
import asyncio
import base64
import json
import ssl
import sys
import time


def emit(record):
    sys.stdout.write(json.dumps(record) + "\n")
    sys.stdout.flush()


def b64(data):
    return base64.b64encode(data).decode("ascii")


def real(args):
    from aiosmtpd.smtp import SMTP, AuthResult, LoginPassword
    user, password = args[args.index("--user") + 1], args[args.index("--password") + 1]

    class Handler:
        async def handle_EHLO(self, server, session, envelope, hostname, responses):
            session.host_name = hostname
            return [r for r in responses if not ("--relay" in args and r.startswith("250-AUTH"))]

        async def handle_MAIL(self, server, session, envelope, address, mail_options):
            if "--strict-sender" in args and "@" not in address:
                return "553 5.1.7 The sender address <%s> is not a valid address" % address
            envelope.mail_from = address
            return "250 OK"

        async def handle_DATA(self, server, session, envelope):
            emit({"event": "mail", "user": session.auth_data.login.decode() if session.auth_data else None,
                  "mail_from": envelope.mail_from, "rcpt_tos": envelope.rcpt_tos,
                  "data": b64(envelope.original_content)})
            return "250 OK"

    def authenticator(server, session, envelope, mechanism, auth):
        ok = (isinstance(auth, LoginPassword) and auth.login == user.encode()
              and auth.password == password.encode())
        emit({"event": "auth", "mechanism": mechanism, "user": auth.login.decode("utf-8", "replace"),
              "password": auth.password.decode("utf-8", "replace"), "ok": ok})
        return AuthResult(success=ok, handled=False, auth_data=auth)

    class Relay(SMTP):
        async def smtp_AUTH(self, arg):
            await self.push("502 5.5.1 AUTH not supported here")

    tls = None
    if "--cert" in args:
        tls = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        tls.load_cert_chain(args[args.index("--cert") + 1], args[args.index("--key") + 1])
    starttls = tls if "--starttls" in args else None
    # Implicit TLS is invisible to the server's STARTTLS bookkeeping, so there encryption is not demanded
    # of AUTH; authentication itself is, except at the relay.
    relay = "--relay" in args
    factory = lambda: (Relay if relay else SMTP)(
        Handler(), authenticator=authenticator, auth_required=not relay, auth_require_tls=bool(starttls),
        tls_context=starttls, require_starttls=bool(starttls), hostname="smtp.test",
        auth_exclude_mechanism=["PLAIN"] if "--login-only" in args else None)
    return factory, None if starttls else tls


async def scripted(steps, reader, writer):
    async def listen(seconds):
        # Says nothing, keeps what the client sends; EOFError once it has gone.
        end = time.monotonic() + seconds
        while (left := end - time.monotonic()) > 0:
            try:
                data = await asyncio.wait_for(reader.read(4096), left)
            except asyncio.TimeoutError:
                return
            if not data:
                raise EOFError
            emit({"event": "recv", "data": b64(data)})

    async def until(end):
        data = await reader.readuntil(end)
        emit({"event": "recv", "data": b64(data)})

    async def send(data):
        writer.write(data)
        await writer.drain()

    for kind, text, ms in steps:
        data = text.encode("latin-1")
        if kind == "send":
            await asyncio.sleep(ms / 1000)
            await send(data)
        elif kind == "line":
            await until(b"\n")
        elif kind == "data":
            await until(b"\r\n.\r\n")
        elif kind == "silence":
            await listen(ms / 1000)
        elif kind == "close":
            return
        elif kind == "tls":  # the server's side of STARTTLS, with the certificate file given
            tls = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
            tls.load_cert_chain(text, text.rsplit("/", 1)[0] + "/server.key")
            await writer.start_tls(tls)
        elif kind == "flood":
            for _ in range(4096):
                await send(b"x" * 4096)
            return
        elif kind == "trickle":
            i = 0
            while not data or i < len(data):
                await listen(ms / 1000)
                await send(data[i:i + 1] if data else b"x")
                i += 1
    await listen(1)


def main():
    mode, args = sys.argv[1], sys.argv[2:]
    loop = asyncio.new_event_loop()
    asyncio.set_event_loop(loop)
    if mode == "real":
        factory, tls = real(args)
        server = loop.run_until_complete(loop.create_server(factory, "127.0.0.1", 0, ssl=tls))
    else:
        steps = json.loads(args[0])
        served = []

        async def serve(reader, writer):
            if served:  # one connection only; later ones wait for a greeting that never comes
                return await asyncio.sleep(3600)
            served.append(writer)
            emit({"event": "accepted"})
            try:
                await scripted(steps, reader, writer)
            except (OSError, EOFError, asyncio.IncompleteReadError):
                pass
            writer.close()
            emit({"event": "done"})

        server = loop.run_until_complete(asyncio.start_server(serve, "127.0.0.1", 0))
    print("PORT", server.sockets[0].getsockname()[1], flush=True)
    loop.run_forever()


if __name__ == "__main__":
    main()
