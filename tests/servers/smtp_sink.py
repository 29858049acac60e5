#!/usr/bin/python3
"""A real SMTP server for the mail tests (Debian's aiosmtpd) on a loopback port chosen at run time.

Usage: smtp_sink.py FOLDER [--eml] [--strict] [--security none|starttls|tls --cert PEM --key PEM]
[--user U --password P [--mechanisms PLAIN,LOGIN]]. Prints "PORT <n>" once it listens and stops when its
standard input closes, so it never outlives the test that started it. Each message accepted goes to
FOLDER/<n>.json: the envelope (helo, mail_from, rcpt_tos) and the exact data bytes received (transparency
dots removed), base64-encoded; with --eml (the demo's) also to FOLDER/<n>.eml, as a mail program would open it.
Each login attempt appends "MECHANISM LOGIN ok|bad" to FOLDER/auth.log. With a user, mail is accepted only
after a login; with starttls, only after STARTTLS. --strict acts as strict submission servers do: an envelope
address without angle brackets gets "553 5.1.3", a message without a Date header field "554 5.6.0".
"""
import argparse
import asyncio
import base64
import json
import os
import ssl
import sys
import warnings

from aiosmtpd.smtp import SMTP, AuthResult, LoginPassword


class Store:
    def __init__(self, args):
        self.args, self.count = args, 0

    def authenticate(self, server, session, envelope, mechanism, auth_data):
        known = isinstance(auth_data, LoginPassword)
        ok = known and (auth_data.login, auth_data.password) == (self.args.user.encode(), self.args.password.encode())
        with open(os.path.join(self.args.folder, "auth.log"), "a") as f:
            f.write("%s %s %s\n" % (mechanism, auth_data.login.decode(errors="replace") if known else "?",
                                    "ok" if ok else "bad"))
        return AuthResult(success=ok, handled=False)

    async def handle_DATA(self, server, session, envelope):
        content = envelope.original_content
        header = content.split(b"\r\n\r\n", 1)[0].split(b"\r\n")
        if self.args.strict and not any(line.lower().startswith(b"date:") for line in header):
            return "554 5.6.0 Message refused: no Date header field"
        self.count += 1
        path = os.path.join(self.args.folder, "%d.json" % self.count)
        with open(path + ".tmp", "w") as f:
            json.dump({"helo": session.host_name, "mail_from": envelope.mail_from, "rcpt_tos": envelope.rcpt_tos,
                       "data": base64.b64encode(content).decode("ascii")}, f)
        os.replace(path + ".tmp", path)
        if self.args.eml:
            with open(os.path.join(self.args.folder, "%d.eml" % self.count), "wb") as f:
                f.write(content)
        return "250 OK stored"


class StrictSMTP(SMTP):
    """Refuses an envelope address outside angle brackets (RFC 5321 4.1.2), as strict servers do."""

    def _getaddr(self, arg):
        # MAIL and RCPT answer an address read as None with "553 5.1.3".
        return super()._getaddr(arg) if arg.lstrip().startswith("<") else (None, None)


async def main(args):
    context = None
    if args.security != "none":
        context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
        context.load_cert_chain(args.cert, args.key)
    store, server_class = Store(args), StrictSMTP if args.strict else SMTP
    options = {"hostname": "sink.test"}
    if args.security == "starttls":
        options.update(tls_context=context, require_starttls=True)
    if args.user:
        # Over TLS from the first byte aiosmtpd does not know the connection is encrypted.
        options.update(authenticator=store.authenticate, auth_required=True,
                       auth_require_tls=args.security == "starttls",
                       auth_exclude_mechanism={"PLAIN", "LOGIN"} - set(args.mechanisms.split(",")))
    server = await asyncio.get_running_loop().create_server(lambda: server_class(store, **options), "127.0.0.1", 0,
                                                            ssl=context if args.security == "tls" else None)
    print("PORT %d" % server.sockets[0].getsockname()[1], flush=True)
    await asyncio.get_running_loop().run_in_executor(None, sys.stdin.buffer.read)
    server.close()
    await server.wait_closed()


if __name__ == "__main__":
    # aiosmtpd warns about choices the tests make on purpose (a login over TLS it did not start itself).
    warnings.simplefilter("ignore")
    parser = argparse.ArgumentParser()
    parser.add_argument("folder")
    for flag in ("--eml", "--strict"):
        parser.add_argument(flag, action="store_true")
    parser.add_argument("--security", choices=["none", "starttls", "tls"], default="none")
    for option, default in (("--cert", None), ("--key", None), ("--user", None), ("--password", ""),
                            ("--mechanisms", "PLAIN,LOGIN")):
        parser.add_argument(option, default=default)
    asyncio.run(main(parser.parse_args()))
