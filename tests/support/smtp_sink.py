"""A real SMTP server (aiosmtpd) on loopback for the tests: stores every delivered mail.

Usage: /usr/bin/python3 smtp_sink.py --folder DIR [--port N]
Listens on 127.0.0.1 (port 0: one the system picks), then prints
"smtp-sink listening on 127.0.0.1:PORT" and runs until SIGTERM or SIGINT.
Each mail becomes DIR/mail-N (N from 1, written whole under another name, then renamed): the
envelope as "MAIL FROM:<...>" and "RCPT TO:<...>" lines, a "DATA" line, then the message
bytes exactly as received, with the end-of-data line taken off and dots unstuffed.
Options for further server behaviour (a TLS context, a login) are added to server_options().
"""
import argparse
import asyncio
import os
import signal
import socket

from aiosmtpd.smtp import SMTP


class Store:
    def __init__(self, folder):
        self.folder = folder
        self.count = 0

    async def handle_DATA(self, server, session, envelope):
        self.count += 1
        head = "MAIL FROM:<%s>\n" % envelope.mail_from
        head += "".join("RCPT TO:<%s>\n" % r for r in envelope.rcpt_tos)
        head += "DATA\n"
        path = os.path.join(self.folder, "mail-%d" % self.count)
        with open(path + ".part", "wb") as f:
            f.write(head.encode("ascii", "surrogateescape") + envelope.original_content)
        os.rename(path + ".part", path)
        return "250 OK"


def parse_arguments():
    parser = argparse.ArgumentParser()
    parser.add_argument("--folder", required=True)
    parser.add_argument("--port", type=int, default=0)
    return parser.parse_args()


def server_options(arguments):
    """Keyword arguments for aiosmtpd's SMTP class, from the command line."""
    return {}


async def serve(arguments):
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.bind(("127.0.0.1", arguments.port))
    store = Store(arguments.folder)
    options = server_options(arguments)
    loop = asyncio.get_running_loop()
    server = await loop.create_server(lambda: SMTP(store, **options), sock=listener)
    stop = asyncio.Event()
    for sig in (signal.SIGTERM, signal.SIGINT):
        loop.add_signal_handler(sig, stop.set)
    print("smtp-sink listening on 127.0.0.1:%d" % listener.getsockname()[1], flush=True)
    await stop.wait()
    server.close()
    await server.wait_closed()


if __name__ == "__main__":
    asyncio.run(serve(parse_arguments()))
