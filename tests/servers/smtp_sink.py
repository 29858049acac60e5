#!/usr/bin/python3
"""A real SMTP server for the mail tests (aiosmtpd from Debian) on a loopback port chosen at run time.

Usage: smtp_sink.py FOLDER. Prints "PORT <n>" once it listens. Every message accepted is stored as
FOLDER/<n>.json holding the envelope (HELO name, sender, recipients) and the exact data bytes the server
received (after the end-of-data line, with the transparency dots removed), base64-encoded. The server stops
when its standard input closes, so it never outlives the test that started it.
"""
import asyncio
import base64
import json
import os
import sys

from aiosmtpd.smtp import SMTP


class Store:
    def __init__(self, folder):
        self.folder = folder
        self.count = 0

    async def handle_DATA(self, server, session, envelope):
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
        return "250 OK stored"


async def main(folder):
    loop = asyncio.get_running_loop()
    store = Store(folder)
    server = await loop.create_server(lambda: SMTP(store, hostname="sink.test"), "127.0.0.1", 0)
    print("PORT %d" % server.sockets[0].getsockname()[1], flush=True)
    stdin_closed = loop.run_in_executor(None, sys.stdin.buffer.read)
    await stdin_closed
    server.close()
    await server.wait_closed()


if __name__ == "__main__":
    asyncio.run(main(sys.argv[1]))
