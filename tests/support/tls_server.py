"""TLS server for the socket tests, one behaviour per run.

Usage: tls_server.py MODE --cert CERT --key KEY
Listens on a free port of 127.0.0.1 and prints "PORT <n>" on its first line of output.
Modes:
  echo      TLS from the first byte; greets with "HELLO", answers each line with the line in
            capitals, and "BYE" with its close_notify.
  starttls  greets in clear text; "STARTTLS" is answered "GO" (followed by "INJECTED" in the
            same write), then TLS starts and the session goes on as in echo.
  stall     accepts and never answers.
  hangup    reads the first bytes of the handshake, then closes the connection.
  garbage   answers the handshake with bytes that are not TLS.
"""
import socket
import ssl
import sys
import threading
import time


def lines(conn):
    buf = b""
    while True:
        data = conn.recv(65536)
        if not data:
            return
        buf += data
        while b"\r\n" in buf:
            line, buf = buf.split(b"\r\n", 1)
            yield line


def echo(conn):
    conn.sendall(b"HELLO\r\n")
    for line in lines(conn):
        if line == b"BYE":
            conn.sendall(b"BYE\r\n")
            conn.unwrap()
            return
        conn.sendall(line.upper() + b"\r\n")


def serve(mode, context, conn):
    try:
        if mode == "echo":
            echo(context.wrap_socket(conn, server_side=True))
        elif mode == "starttls":
            conn.sendall(b"PLAIN\r\n")
            for line in lines(conn):
                if line == b"STARTTLS":
                    conn.sendall(b"GO\r\nINJECTED\r\n")
                    echo(context.wrap_socket(conn, server_side=True))
                    return
                conn.sendall(b"CLEAR " + line + b"\r\n")
        elif mode == "stall":
            time.sleep(60)
        elif mode == "hangup":
            conn.recv(10)
        elif mode == "garbage":
            conn.recv(4096)
            conn.sendall(b"220 this is not TLS at all\r\n" * 4)
            time.sleep(60)
    except (OSError, ssl.SSLError):
        pass
    finally:
        conn.close()


def main(mode, cert, key):
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(cert, key)
    listener = socket.socket()
    listener.bind(("127.0.0.1", 0))
    listener.listen(8)
    print("PORT %d" % listener.getsockname()[1], flush=True)
    while True:
        conn, _ = listener.accept()
        threading.Thread(target=serve, args=(mode, context, conn), daemon=True).start()


if __name__ == "__main__":
    args = sys.argv[1:]
    main(args[0], args[args.index("--cert") + 1], args[args.index("--key") + 1])
