"""A real SMTP server for the mail tests: stores every delivered mail in OUTDIR.

Usage: smtp_sink.py PORT OUTDIR [starttls|tls CERT KEY]
With a mode the server is a submission server: STARTTLS required before anything else, or
TLS from the first byte, with the certificate chain CERT and its key KEY, and a login
("tester", "s3cret") required before MAIL.
Each mail becomes OUTDIR/mail-N: the envelope as "MAIL FROM:<...>" and "RCPT TO:<...>"
lines, a "DATA" line, then the message bytes exactly as received after the end-of-data
line was taken off and dots were unstuffed.
"""
import os
import signal
import ssl
import sys
import threading

from aiosmtpd.controller import Controller
from aiosmtpd.smtp import AuthResult, LoginPassword


def authenticate(server, session, envelope, mechanism, auth_data):
    ok = isinstance(auth_data, LoginPassword) and auth_data.login == b"tester" and auth_data.password == b"s3cret"
    # Not "handled": the server itself answers a refusal with 535.
    return AuthResult(success=ok, handled=False)


class Sink:
    def __init__(self, outdir):
        self.outdir = outdir
        self.count = 0

    async def handle_DATA(self, server, session, envelope):
        self.count += 1
        head = "MAIL FROM:<%s>\n" % envelope.mail_from
        head += "".join("RCPT TO:<%s>\n" % r for r in envelope.rcpt_tos)
        head += "DATA\n"
        path = os.path.join(self.outdir, "mail-%d" % self.count)
        with open(path + ".tmp", "wb") as f:
            f.write(head.encode("ascii", "surrogateescape") + envelope.original_content)
        os.rename(path + ".tmp", path)
        return "250 OK"


def main():
    port = int(sys.argv[1])
    outdir = sys.argv[2]
    options = {}
    if len(sys.argv) > 3:
        mode, cert, key = sys.argv[3:6]
        context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
        context.load_cert_chain(cert, key)
        options = dict(authenticator=authenticate, auth_required=True)
        if mode == "starttls":
            options.update(tls_context=context, require_starttls=True, auth_require_tls=True)
        else:
            options.update(ssl_context=context, auth_require_tls=False)
    controller = Controller(Sink(outdir), hostname="127.0.0.1", port=port, **options)
    controller.start()
    stop = threading.Event()
    signal.signal(signal.SIGTERM, lambda *_: stop.set())
    signal.signal(signal.SIGINT, lambda *_: stop.set())
    stop.wait()
    controller.stop()


if __name__ == "__main__":
    main()
