"""A real SMTP server (aiosmtpd) on loopback for the tests: stores every delivered mail.

Usage: /usr/bin/python3 smtp_sink.py --folder DIR [--port N]
           [--tls starttls|implicit --cert CERT --key KEY] [--auth USER:PASSWORD]
Listens on 127.0.0.1 (port 0: one the system picks), then prints
"smtp-sink listening on 127.0.0.1:PORT" and runs until SIGTERM or SIGINT.
Each mail becomes DIR/mail-N (N from 1, written whole under another name, then renamed): the
envelope as "MAIL FROM:<...>" and "RCPT TO:<...>" lines, a "DATA" line, then the message
bytes exactly as received, with the end-of-data line taken off and dots unstuffed.
With --tls the server is a submission server: STARTTLS required before anything else, or TLS
from the first byte, with the certificate chain CERT and its key KEY. With --auth a login is
required before MAIL (after STARTTLS in that mode).
"""
import argparse
import asyncio
import os
import signal
import socket
import ssl

from aiosmtpd.smtp import SMTP, AuthResult, LoginPassword


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
    parser.add_argument("--tls", choices=["starttls", "implicit"])
    parser.add_argument("--cert")
    parser.add_argument("--key")
    parser.add_argument("--auth", help="USER:PASSWORD")
    return parser.parse_args()


def tls_context(arguments):
    """The server's TLS context, or None without --tls."""
    if not arguments.tls:
        return None
    context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
    context.load_cert_chain(arguments.cert, arguments.key)
    return context


def server_options(arguments, context):
    """Keyword arguments for aiosmtpd's SMTP class, from the command line."""
    options = {}
    if arguments.auth:
        user, _, password = arguments.auth.partition(":")

        def authenticate(server, session, envelope, mechanism, auth_data):
            ok = (isinstance(auth_data, LoginPassword) and auth_data.login == user.encode()
                  and auth_data.password == password.encode())
            # Not "handled": the server itself answers a refusal with 535.
            return AuthResult(success=ok, handled=False)

        options.update(authenticator=authenticate, auth_required=True, auth_require_tls=False)
    if arguments.tls == "starttls":
        options.update(tls_context=context, require_starttls=True)
        if arguments.auth:
            options.update(auth_require_tls=True)
    return options


async def serve(arguments):
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.bind(("127.0.0.1", arguments.port))
    store = Store(arguments.folder)
    context = tls_context(arguments)
    options = server_options(arguments, context)
    loop = asyncio.get_running_loop()
    implicit = context if arguments.tls == "implicit" else None
    server = await loop.create_server(lambda: SMTP(store, **options), sock=listener, ssl=implicit)
    stop = asyncio.Event()
    for sig in (signal.SIGTERM, signal.SIGINT):
        loop.add_signal_handler(sig, stop.set)
    print("smtp-sink listening on 127.0.0.1:%d" % listener.getsockname()[1], flush=True)
    await stop.wait()
    server.close()
    await server.wait_closed()


if __name__ == "__main__":
    asyncio.run(serve(parse_arguments()))
