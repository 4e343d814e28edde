# A real SMTP server for the watch tests: aiosmtpd on a free loopback port, each message's
# DATA written to a numbered file in the folder given as the first argument.
import asyncio, os, socket, sys, time
from aiosmtpd.controller import Controller

folder = sys.argv[1]

class Store:
    count = 0
    async def handle_DATA(self, server, session, envelope):
        Store.count += 1
        path = os.path.join(folder, "mail-%d.eml" % Store.count)
        with open(path + ".part", "wb") as f:
            f.write(envelope.original_content or envelope.content)
        os.rename(path + ".part", path)
        return "250 OK"

s = socket.socket()
s.bind(("127.0.0.1", 0))
port = s.getsockname()[1]
s.close()
controller = Controller(Store(), hostname="127.0.0.1", port=port)
controller.start()
print(port, flush=True)
try:
    sys.stdin.read()  # runs until the test closes the pipe
finally:
    controller.stop()
