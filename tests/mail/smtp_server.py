#!/usr/bin/python3
"""A real SMTP server for the mail tests, on 127.0.0.1 at a free port.

Prints "PORT <n>" once it listens, then one JSON line per event on stdout:
  {"event": "auth", "user": ..., "password": ..., "ok": bool}
  {"event": "mail", "user": ..., "mail_from": ..., "rcpt_tos": [...], "data": <base64 of the DATA bytes>}
usage: smtp_server.py --user U --password P [--cert FILE --key FILE]   (implicit TLS when a cert is given)
"""
import argparse
import asyncio
import base64
import json
import ssl
import sys

from aiosmtpd.smtp import SMTP, AuthResult, LoginPassword


def emit(record):
    sys.stdout.write(json.dumps(record) + "\n")
    sys.stdout.flush()


class Handler:
    async def handle_DATA(self, server, session, envelope):
        emit({
            "event": "mail",
            "user": session.auth_data.login.decode("utf-8") if session.auth_data else None,
            "mail_from": envelope.mail_from,
            "rcpt_tos": envelope.rcpt_tos,
            "data": base64.b64encode(envelope.original_content).decode("ascii"),
        })
        return "250 OK"


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--user", required=True)
    parser.add_argument("--password", required=True)
    parser.add_argument("--cert")
    parser.add_argument("--key")
    args = parser.parse_args()

    def authenticator(server, session, envelope, mechanism, auth_data):
        ok = (isinstance(auth_data, LoginPassword) and auth_data.login == args.user.encode("utf-8")
              and auth_data.password == args.password.encode("utf-8"))
        emit({"event": "auth", "mechanism": mechanism,
              "user": auth_data.login.decode("utf-8", "replace"),
              "password": auth_data.password.decode("utf-8", "replace"), "ok": ok})
        return AuthResult(success=ok, handled=False, auth_data=auth_data)

    tls = None
    if args.cert:
        tls = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        tls.load_cert_chain(args.cert, args.key)

    loop = asyncio.new_event_loop()
    asyncio.set_event_loop(loop)
    # Implicit TLS is invisible to the server's STARTTLS bookkeeping, so encryption is not demanded
    # of AUTH on either kind of listener; authentication itself is.
    factory = lambda: SMTP(Handler(), authenticator=authenticator, auth_required=True,
                           auth_require_tls=False, hostname="smtp.test")
    server = loop.run_until_complete(loop.create_server(factory, host="127.0.0.1", port=0, ssl=tls))
    print("PORT", server.sockets[0].getsockname()[1], flush=True)
    try:
        loop.run_forever()
    except KeyboardInterrupt:
        pass


if __name__ == "__main__":
    main()
