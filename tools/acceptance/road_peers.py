#!/usr/bin/python3
"""Loopback WHOIS and SMTP peers for the desktop program's acceptance run (tools/acceptance/road).

Usage: road_peers.py FOLDER. Prints "WHOIS <port>", "SMTP <port>" and "CLOSED <port>" (a port nobody
listens on) once it listens, and stops when its standard input closes.

The WHOIS peer answers by the last part of the address asked (the query line), and logs every query to
FOLDER/whois.log:
  .11  stays silent      .12  names a new server at every connection, without end ("whois.chainN.test")
  .13  a mailbox that the SMTP peer refuses    .14  a mailbox whose complaint gets no answer to QUIT
  any other N  the mailbox abuse@isp-N.net

The SMTP peer accepts every message and appends its envelope and data to FOLDER/smtp.log as one JSON line,
refuses the recipient refused@...  with 550, and closes without a reply to QUIT after a message for
noquit@... has been accepted.
"""
import json
import os
import socket
import sys
import threading

folder = sys.argv[1]
lock = threading.Lock()
chain = [0]


def log(name, record):
    with lock, open(os.path.join(folder, name), "a") as f:
        f.write(json.dumps(record) + "\n")


def whois(conn):
    with conn:
        query = b""
        while not query.endswith(b"\n"):
            part = conn.recv(1024)
            if not part:
                return
            query += part
        address = query.decode("latin-1").strip()
        last = address.rsplit(".", 1)[-1]
        log("whois.log", {"query": address})
        if last == "11":
            conn.recv(1)  # silent until the client gives up
            return
        if last == "12":
            with lock:
                chain[0] += 1
                n = chain[0]
            answer = "OrgAbuseEmail: abuse@chain-isp.net\nWhois Server: whois.chain%d.test\n" % n
        elif last == "13":
            answer = "OrgAbuseEmail: refused@smtp-refuses.net\n"
        elif last == "14":
            answer = "OrgAbuseEmail: noquit@smtp-drops-quit.net\n"
        else:
            answer = "OrgAbuseEmail: abuse@isp-%s.net\n" % last
        conn.sendall(answer.encode("latin-1"))


def smtp(conn):
    with conn:
        f = conn.makefile("rb")

        def say(text):
            conn.sendall(text.encode("latin-1") + b"\r\n")

        say("220 acceptance peer")
        mail_from, rcpts, last_rcpts = None, [], []
        while True:
            line = f.readline()
            if not line:
                return
            verb = line.decode("latin-1").strip()
            upper = verb.upper()
            if upper.startswith(("HELO", "EHLO")):
                say("250 hello")
            elif upper.startswith("MAIL FROM:"):
                mail_from, rcpts = verb[10:].strip(), []
                say("250 sender ok")
            elif upper.startswith("RCPT TO:"):
                rcpt = verb[8:].strip().strip("<>")
                if rcpt.startswith("refused@"):
                    say("550 no such mailbox")
                else:
                    rcpts.append(rcpt)
                    say("250 recipient ok")
            elif upper == "DATA":
                say("354 go on")
                data = b""
                while True:
                    chunk = f.readline()
                    if not chunk or chunk == b".\r\n":
                        break
                    data += chunk
                log("smtp.log", {"from": mail_from, "rcpt": rcpts, "data": data.decode("latin-1")})
                last_rcpts = rcpts
                say("250 queued")
            elif upper == "QUIT":
                if not any(r.startswith("noquit@") for r in last_rcpts):
                    say("221 bye")
                return
            elif upper == "RSET":
                say("250 reset")
            else:
                say("502 not here")


def serve(handler):
    server = socket.socket()
    server.bind(("127.0.0.1", 0))
    server.listen(16)

    def loop():
        while True:
            conn, _ = server.accept()
            threading.Thread(target=handler, args=(conn,), daemon=True).start()

    threading.Thread(target=loop, daemon=True).start()
    return server.getsockname()[1]


closed = socket.socket()
closed.bind(("127.0.0.1", 0))
print("WHOIS %d" % serve(whois))
print("SMTP %d" % serve(smtp))
print("CLOSED %d" % closed.getsockname()[1], flush=True)
sys.stdin.read()
