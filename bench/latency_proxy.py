"""A TCP proxy that makes a server on 127.0.0.1 look distant: every chunk read from either
side is written to the other side DELAY milliseconds later (in order), so each round trip
costs twice the delay while many chunks can be on the way at once, as on a real network.

Usage: latency_proxy.py TARGET_PORT [DELAY_MS]   (DELAY_MS defaults to 25)
Prints "PORT <n>" (the proxy's own port on 127.0.0.1) on its first line of output.
"""
import asyncio
import sys


async def pipe(reader, writer, delay):
    loop = asyncio.get_running_loop()
    queue = asyncio.Queue()

    async def deliver():
        while True:
            due, data = await queue.get()
            wait = due - loop.time()
            if wait > 0:
                await asyncio.sleep(wait)
            if data is None:
                writer.close()
                return
            writer.write(data)
            await writer.drain()

    sender = asyncio.create_task(deliver())
    try:
        while True:
            data = await reader.read(65536)
            queue.put_nowait((loop.time() + delay, data or None))
            if not data:
                break
        await sender
    except (ConnectionError, OSError):
        sender.cancel()
        writer.close()


async def main(target_port, delay):
    async def accept(client_reader, client_writer):
        try:
            server_reader, server_writer = await asyncio.open_connection("127.0.0.1", target_port)
        except OSError:
            client_writer.close()
            return
        await asyncio.gather(pipe(client_reader, server_writer, delay),
                             pipe(server_reader, client_writer, delay), return_exceptions=True)

    server = await asyncio.start_server(accept, "127.0.0.1", 0)
    print("PORT %d" % server.sockets[0].getsockname()[1], flush=True)
    async with server:
        await server.serve_forever()


if __name__ == "__main__":
    asyncio.run(main(int(sys.argv[1]), (float(sys.argv[2]) if len(sys.argv) > 2 else 25.0) / 1000.0))
