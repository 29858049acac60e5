#!/usr/bin/python3
"""A WHOIS server for the demo on a loopback port chosen at run time.

Usage: whois_demo.py. Prints "PORT <n>" once it listens. A query that holds an address of the documentation
ranges (192.0.2.0/24, 198.51.100.0/24, 203.0.113.0/24), which the sample messages use, is answered with a
record naming the abuse mailbox abuse@example.net; any other query with "No match". Every query is logged
to standard error. The server stops when its standard input closes, so it never outlives the demo.
"""
import asyncio
import ipaddress
import re
import sys

DOCUMENTATION = [ipaddress.ip_network(n) for n in ("192.0.2.0/24", "198.51.100.0/24", "203.0.113.0/24")]

# The client follows any "whois server:" in an answer as a referral, so the texts never say it.
RECORD = """% Nettlewright demo, documentation addresses only
inetnum:        {network}
netname:        EXAMPLE-NET
descr:          Example Network, documentation range (RFC 5737)
country:        ZZ
abuse-mailbox:  abuse@example.net
notify:         noc@example.net
source:         DEMO
"""


def answer(query):
    for found in re.findall(r"\d{1,3}(?:\.\d{1,3}){3}", query):
        try:
            address = ipaddress.ip_address(found)
        except ValueError:
            continue
        for network in DOCUMENTATION:
            if address in network:
                return RECORD.format(network=network)
    return "% Nettlewright demo\nNo match for \"%s\".\n" % query


async def serve(reader, writer):
    try:
        line = await asyncio.wait_for(reader.readline(), 10)
        query = line.decode("latin-1").strip()
        print("whois query: %s" % query, file=sys.stderr, flush=True)
        writer.write(answer(query).replace("\n", "\r\n").encode("latin-1"))
        await writer.drain()
    except (asyncio.TimeoutError, ConnectionError):
        pass
    finally:
        writer.close()


async def main():
    loop = asyncio.get_running_loop()
    server = await asyncio.start_server(serve, "127.0.0.1", 0)
    print("PORT %d" % server.sockets[0].getsockname()[1], flush=True)
    await loop.run_in_executor(None, sys.stdin.buffer.read)
    server.close()
    await server.wait_closed()


if __name__ == "__main__":
    asyncio.run(main())
