#!/usr/bin/python3
"""A TCP relay for FTP that adds a round trip, as an office's link to the region would:
every byte waits half the round trip in each direction. Passive replies (227, 229) are
rewritten to a port of the relay's own, so the data connections cross it too.

  delay_relay.py LISTEN_PORT SERVER_PORT ROUND_TRIP_MS

Prints LISTEN_PORT once listening; ends when its standard input closes. 127.0.0.1 only.
"""
import asyncio
import re
import sys

HOST = "127.0.0.1"


async def pump(reader, writer, delay, rewrite=None):
    """Copies reader to writer, each chunk due `delay` seconds after it came, in order."""
    loop = asyncio.get_running_loop()
    queue = asyncio.Queue()

    async def deliver():
        while True:
            due, data = await queue.get()
            await asyncio.sleep(max(0.0, due - loop.time()))
            if data is None:
                break
            writer.write(data)
            await writer.drain()
        if writer.can_write_eof():
            writer.write_eof()

    sender = asyncio.ensure_future(deliver())
    try:
        while True:
            data = await (reader.readline() if rewrite else reader.read(65536))
            if not data:
                break
            if rewrite:
                data = await rewrite(data)
            queue.put_nowait((loop.time() + delay, data))
    except ConnectionError:
        pass
    queue.put_nowait((loop.time() + delay, None))
    try:
        await sender
    except ConnectionError:
        pass


async def couple(client_reader, client_writer, server_port, delay, control):
    try:
        server_reader, server_writer = await asyncio.open_connection(HOST, server_port)
    except OSError:
        client_writer.close()
        return

    async def passive(line):
        text = line.decode("latin-1")
        extended = re.match(r"229 .*\(\|\|\|(\d+)\|\)", text)
        plain = re.match(r"227 .*\((\d+),(\d+),(\d+),(\d+),(\d+),(\d+)\)", text)
        if not extended and not plain:
            return line
        target = int(extended.group(1)) if extended else int(plain.group(5)) * 256 + int(plain.group(6))
        data_server = await asyncio.start_server(
            lambda r, w: couple(r, w, target, delay, False), HOST, 0)
        port = data_server.sockets[0].getsockname()[1]
        # One data connection per reply; the listener goes once the reply is old.
        asyncio.get_running_loop().call_later(30 + 2 * delay, data_server.close)
        if extended:
            return ("229 Entering Extended Passive Mode (|||%d|)\r\n" % port).encode()
        return ("227 Entering Passive Mode (127,0,0,1,%d,%d)\r\n" % (port >> 8, port & 255)).encode()

    await asyncio.gather(pump(client_reader, server_writer, delay),
                         pump(server_reader, client_writer, delay, passive if control else None))
    client_writer.close()
    server_writer.close()


async def main(listen_port, server_port, round_trip_ms):
    delay = round_trip_ms / 2000.0
    server = await asyncio.start_server(
        lambda r, w: couple(r, w, server_port, delay, True), HOST, listen_port)
    print(server.sockets[0].getsockname()[1], flush=True)
    await asyncio.get_running_loop().run_in_executor(None, sys.stdin.read)
    server.close()


if __name__ == "__main__":
    asyncio.run(main(int(sys.argv[1]), int(sys.argv[2]), float(sys.argv[3])))
