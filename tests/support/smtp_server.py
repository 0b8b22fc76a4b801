"""SMTP server for the tests: stores every accepted message with its envelope.

Usage: smtp_server.py FOLDER
Listens on a free port of 127.0.0.1 and prints "PORT <n>" on its first line of output.
Each message becomes FOLDER/msg-NNNNNN.eml: "MAIL FROM:<...>", one "RCPT TO:<...>" line per
accepted recipient, an empty line, then the message data exactly as received (after the
transparency dots are removed). Recipients listed in FOLDER/refused.txt (one address a line,
read again at every RCPT) are refused with 550.
"""
import asyncio
import os
import sys

from aiosmtpd.smtp import SMTP


class Store:
    def __init__(self, folder):
        self.folder = folder
        self.count = 0

    def refused(self):
        try:
            with open(os.path.join(self.folder, "refused.txt"), encoding="utf-8") as f:
                return {line.strip().lower() for line in f if line.strip()}
        except FileNotFoundError:
            return set()

    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        if address.lower() in self.refused():
            return "550 5.1.1 <%s>: Recipient address rejected" % address
        envelope.rcpt_tos.append(address)
        return "250 OK"

    async def handle_DATA(self, server, session, envelope):
        self.count += 1
        head = "MAIL FROM:<%s>\r\n" % envelope.mail_from
        head += "".join("RCPT TO:<%s>\r\n" % r for r in envelope.rcpt_tos)
        name = os.path.join(self.folder, "msg-%06d.eml" % self.count)
        with open(name + ".tmp", "wb") as f:
            f.write(head.encode("utf-8") + b"\r\n" + envelope.original_content)
        os.replace(name + ".tmp", name)  # readers never see half a message
        return "250 Message accepted for delivery"


async def main(folder):
    store = Store(folder)
    loop = asyncio.get_running_loop()
    server = await loop.create_server(
        lambda: SMTP(store, hostname="localhost", ident="Test SMTP"), "127.0.0.1", 0)
    print("PORT %d" % server.sockets[0].getsockname()[1], flush=True)
    async with server:
        await server.serve_forever()


if __name__ == "__main__":
    asyncio.run(main(sys.argv[1]))
