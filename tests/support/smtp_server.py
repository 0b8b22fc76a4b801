"""SMTP server for the tests: stores every accepted message with its envelope.

Usage: smtp_server.py FOLDER [--cert FILE --key FILE [--implicit]] [--auth USER:PASSWORD]
                       [--auth-require-tls] [--size N] [--sessions N]
With a certificate the server offers STARTTLS, or speaks TLS from the first byte with
--implicit. With --auth it takes logins (PLAIN, LOGIN) of that one user and wants one before
MAIL; --auth-require-tls hides AUTH until TLS is on. --size announces SIZE N. With --sessions
a connection beyond N at once is greeted with 421 and closed.
Listens on a free port of 127.0.0.1 and prints "PORT <n>" on its first line of output.
Each message becomes FOLDER/msg-NNNNNN.eml: "MAIL FROM:<...>" and its parameters, one "RCPT TO:<...>" line per
accepted recipient, an empty line, then the message data exactly as received (after the
transparency dots are removed). Recipients listed in FOLDER/refused.txt (one address a line,
read again at every RCPT) are refused with 550. FOLDER/deferred.txt ("address count" a line)
answers 450 to the first `count` RCPTs of that address. FOLDER/421.txt (a number K) answers
the MAIL after the first K with 421 and closes the session, once. While FOLDER/hold.txt (a
number K) exists, a MAIL after K stored messages gets no answer.
"""
import argparse
import asyncio
import os
import ssl

from aiosmtpd.smtp import SMTP, AuthResult


class Store:
    def __init__(self, folder):
        self.folder = folder
        self.count = 0
        self.mails = 0
        self.tries = {}

    def control(self, name):
        try:
            with open(os.path.join(self.folder, name), encoding="utf-8") as f:
                return f.read().split()
        except FileNotFoundError:
            return None

    async def handle_MAIL(self, server, session, envelope, address, mail_options):
        self.mails += 1
        close = self.control("421.txt")
        if close and self.mails > int(close[0]):
            os.remove(os.path.join(self.folder, "421.txt"))
            asyncio.get_running_loop().call_later(0.05, server.transport.close)
            return "421 4.3.2 Service shutting down"
        hold = self.control("hold.txt")
        while hold and self.count >= int(hold[0]):
            await asyncio.sleep(0.05)
            hold = self.control("hold.txt")
        envelope.mail_from = address
        envelope.mail_options.extend(mail_options)
        return "250 OK"

    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        if address.lower() in {a.lower() for a in self.control("refused.txt") or []}:
            return "550 5.1.1 <%s>: Recipient address rejected" % address
        words = self.control("deferred.txt") or []
        deferred = {words[i].lower(): int(words[i + 1]) for i in range(0, len(words) - 1, 2)}
        tries = self.tries[address.lower()] = self.tries.get(address.lower(), 0) + 1
        if tries <= deferred.get(address.lower(), 0):
            return "450 4.2.1 <%s>: Mailbox busy, try again later" % address
        envelope.rcpt_tos.append(address)
        return "250 OK"

    async def handle_DATA(self, server, session, envelope):
        self.count += 1
        head = "MAIL FROM:<%s>%s\r\n" % (envelope.mail_from,
                                          "".join(" " + o for o in envelope.mail_options))
        head += "".join("RCPT TO:<%s>\r\n" % r for r in envelope.rcpt_tos)
        name = os.path.join(self.folder, "msg-%06d.eml" % self.count)
        with open(name + ".tmp", "wb") as f:
            f.write(head.encode("utf-8") + b"\r\n" + envelope.original_content)
        os.replace(name + ".tmp", name)  # readers never see half a message
        return "250 Message accepted for delivery"


def authenticator(user, password):
    def check(server, session, envelope, mechanism, auth_data):
        ok = auth_data.login == user.encode() and auth_data.password == password.encode()
        return AuthResult(success=ok, handled=False)
    return check


async def main(args):
    store = Store(args.folder)
    loop = asyncio.get_running_loop()
    context = None
    if args.cert:
        context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
        context.load_cert_chain(args.cert, args.key)
    options = dict(hostname="localhost", ident="Test SMTP")
    if args.auth:
        user, password = args.auth.split(":", 1)
        options.update(authenticator=authenticator(user, password), auth_required=True,
                       auth_require_tls=args.auth_require_tls)
    else:
        options.update(auth_require_tls=False)
    if context and not args.implicit:
        options.update(tls_context=context)
    if args.size:
        options.update(data_size_limit=args.size)

    live = set()

    class Counted(SMTP):
        def connection_lost(self, exc):
            live.discard(self)
            super().connection_lost(exc)

    class Busy(asyncio.Protocol):
        def connection_made(self, transport):
            transport.write(b"421 4.7.0 Too many sessions at once\r\n")
            transport.close()

    def factory():
        if args.sessions and len(live) >= args.sessions:
            return Busy()
        session = Counted(store, **options)
        live.add(session)
        return session

    server = await loop.create_server(factory, "127.0.0.1", 0,
                                      ssl=context if args.implicit else None)
    print("PORT %d" % server.sockets[0].getsockname()[1], flush=True)
    async with server:
        await server.serve_forever()


if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    parser.add_argument("folder")
    parser.add_argument("--cert")
    parser.add_argument("--key")
    parser.add_argument("--implicit", action="store_true")
    parser.add_argument("--auth")
    parser.add_argument("--auth-require-tls", action="store_true")
    parser.add_argument("--size", type=int, default=0)
    parser.add_argument("--sessions", type=int, default=0)
    asyncio.run(main(parser.parse_args()))
