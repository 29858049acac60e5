#!/usr/bin/python3
"""A real SMTP server for the mail tests (aiosmtpd from Debian) on a loopback port chosen at run time.

Usage: smtp_sink.py FOLDER [--eml] [--security none|starttls|tls --cert PEM --key PEM] [--user U --password P
[--mechanisms PLAIN,LOGIN]] [--strict]. Prints "PORT <n>" once it listens. Every message accepted is stored as
FOLDER/<n>.json holding the envelope (HELO name, sender, recipients) and the exact data bytes the server
received (after the end-of-data line, with the transparency dots removed), base64-encoded; with --eml
also as FOLDER/<n>.eml, the message as a mail program would open it. Every
authentication attempt appends "MECHANISM LOGIN ok|bad" to FOLDER/auth.log. With a user, mail is
accepted only after authentication; with "starttls", only after STARTTLS. With --strict it behaves as
strict submission servers do: a MAIL FROM or RCPT TO address without angle brackets gets "555 5.5.2" and
a message without a Date header field is refused with "554 5.6.0". The server stops when its
standard input closes, so it never outlives the test that started it.
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


def has_date(content):
    header = content.split(b"\r\n\r\n", 1)[0]
    return any(line.lower().startswith(b"date:") for line in header.split(b"\r\n"))


class Store:
    def __init__(self, folder, strict, eml):
        self.folder = folder
        self.strict = strict
        self.eml = eml
        self.count = 0

    async def handle_DATA(self, server, session, envelope):
        if self.strict and not has_date(envelope.original_content):
            return "554 5.6.0 Message refused: no Date header field"
        self.count += 1
        record = {
            "helo": session.host_name,
            "mail_from": envelope.mail_from,
            "rcpt_tos": envelope.rcpt_tos,
            "data": base64.b64encode(envelope.original_content).decode("ascii"),
        }
        path = os.path.join(self.folder, "%d.json" % self.count)
        with open(path + ".tmp", "w") as f:
            json.dump(record, f)
        os.replace(path + ".tmp", path)
        if self.eml:
            with open(os.path.join(self.folder, "%d.eml" % self.count), "wb") as f:
                f.write(envelope.original_content)
        return "250 OK stored"


class StrictSMTP(SMTP):
    """Refuses an envelope address outside angle brackets (RFC 5321 4.1.2), as strict servers do."""

    async def bracketed(self, arg, keyword):
        rest = arg[len(keyword):].lstrip() if arg and arg.upper().startswith(keyword) else ""
        if rest.startswith("<"):
            return True
        await self.push("555 5.5.2 Syntax error: angle brackets required around the address")
        return False

    async def smtp_MAIL(self, arg):
        if await self.bracketed(arg, "FROM:"):
            await super().smtp_MAIL(arg)

    async def smtp_RCPT(self, arg):
        if await self.bracketed(arg, "TO:"):
            await super().smtp_RCPT(arg)


class Authenticator:
    def __init__(self, folder, user, password):
        self.log = os.path.join(folder, "auth.log")
        self.user = user.encode()
        self.password = password.encode()

    def __call__(self, server, session, envelope, mechanism, auth_data):
        ok = (isinstance(auth_data, LoginPassword) and auth_data.login == self.user
              and auth_data.password == self.password)
        login = auth_data.login.decode(errors="replace") if isinstance(auth_data, LoginPassword) else "?"
        with open(self.log, "a") as f:
            f.write("%s %s %s\n" % (mechanism, login, "ok" if ok else "bad"))
        return AuthResult(success=ok, handled=False)


async def main(args):
    loop = asyncio.get_running_loop()
    store = Store(args.folder, args.strict, args.eml)
    context = None
    if args.security != "none":
        context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
        context.load_cert_chain(args.cert, args.key)
    options = {"hostname": "sink.test"}
    if args.security == "starttls":
        options.update(tls_context=context, require_starttls=True)
    if args.user:
        offered = {"PLAIN", "LOGIN"}
        options.update(
            authenticator=Authenticator(args.folder, args.user, args.password),
            auth_required=True,
            # Over TLS from the first byte aiosmtpd does not know the connection is encrypted.
            auth_require_tls=args.security == "starttls",
            auth_exclude_mechanism=offered - set(args.mechanisms.split(",")),
        )
    server_class = StrictSMTP if args.strict else SMTP
    server = await loop.create_server(lambda: server_class(store, **options), "127.0.0.1", 0,
                                      ssl=context if args.security == "tls" else None)
    print("PORT %d" % server.sockets[0].getsockname()[1], flush=True)
    stdin_closed = loop.run_in_executor(None, sys.stdin.buffer.read)
    await stdin_closed
    server.close()
    await server.wait_closed()


if __name__ == "__main__":
    # aiosmtpd warns about choices the tests make on purpose (a login over TLS it did not start itself).
    warnings.simplefilter("ignore")
    parser = argparse.ArgumentParser()
    parser.add_argument("folder")
    parser.add_argument("--eml", action="store_true")
    parser.add_argument("--security", choices=["none", "starttls", "tls"], default="none")
    parser.add_argument("--cert")
    parser.add_argument("--key")
    parser.add_argument("--user")
    parser.add_argument("--password", default="")
    parser.add_argument("--mechanisms", default="PLAIN,LOGIN")
    parser.add_argument("--strict", action="store_true")
    asyncio.run(main(parser.parse_args()))
