"""A real SMTP server for the mail tests: stores every delivered mail in OUTDIR.

Usage: smtp_sink.py PORT OUTDIR
Each mail becomes OUTDIR/mail-N: the envelope as "MAIL FROM:<...>" and "RCPT TO:<...>"
lines, a "DATA" line, then the message bytes exactly as received after the end-of-data
line was taken off and dots were unstuffed.
"""
import os
import signal
import sys
import threading

from aiosmtpd.controller import Controller


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
    controller = Controller(Sink(outdir), hostname="127.0.0.1", port=port)
    controller.start()
    stop = threading.Event()
    signal.signal(signal.SIGTERM, lambda *_: stop.set())
    signal.signal(signal.SIGINT, lambda *_: stop.set())
    stop.wait()
    controller.stop()


if __name__ == "__main__":
    main()
