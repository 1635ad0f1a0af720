"""A link of a given rate and delay between a client and a server, as a TCP proxy of our own
(these kernels have no traffic shaping).

Each direction is one wire shared by every connection: bytes leave one chunk after another at
`rate` bytes a second and arrive `delay` seconds later; a connection's first bytes wait one
round trip (its handshake). The wire's queue holds at most `buffer` seconds of bytes (a
router's buffer): a sender beyond that waits, as TCP would make it."""
import asyncio
import socket
import threading

CHUNK = 16 * 1024


class Wire:
    """One direction of the link."""

    def __init__(self, rate, delay, buffer):
        self.rate, self.delay, self.buffer = rate, delay, buffer
        self.free_at = 0.0  # when the last byte queued has left
        self.bytes = 0

    def backlog(self, now):
        return max(0.0, self.free_at - now)

    def send(self, n, now):
        """Queues n bytes; returns when they arrive at the far end."""
        self.free_at = max(now, self.free_at) + n / self.rate
        self.bytes += n
        return self.free_at + self.delay


class Shaper:
    """Listens on 127.0.0.1:port and forwards every connection to target through the link."""

    def __init__(self, target, rate_bits=50e6, delay=0.020, buffer=0.100):
        self.target = target
        self.rate = rate_bits / 8
        self.delay = delay
        self.up = Wire(self.rate, delay, buffer)    # client to server
        self.down = Wire(self.rate, delay, buffer)  # server to client
        self.connections = 0
        self.loop = asyncio.new_event_loop()
        self.ready = threading.Event()
        self.thread = threading.Thread(target=self._run, daemon=True)
        self.port = None

    def url(self, path):
        return "http://127.0.0.1:%d%s" % (self.port, path)

    def reset(self):
        """Counts from nothing (between runs; the link must be idle)."""
        def do():
            self.up.bytes = self.down.bytes = 0
            self.connections = 0
        self.loop.call_soon_threadsafe(do)

    def _run(self):
        asyncio.set_event_loop(self.loop)
        server = self.loop.run_until_complete(asyncio.start_server(self._serve, "127.0.0.1", 0))
        self.port = server.sockets[0].getsockname()[1]
        self.server = server
        self.ready.set()
        self.loop.run_forever()

    async def _pump(self, reader, writer, wire):
        loop = asyncio.get_running_loop()
        queue = asyncio.Queue()

        async def deliver():
            while True:
                arrival, data = await queue.get()
                wait = arrival - loop.time()
                if wait > 0:
                    await asyncio.sleep(wait)
                if data is None:
                    break
                writer.write(data)
                await writer.drain()
            if writer.can_write_eof():
                writer.write_eof()

        delivering = asyncio.ensure_future(deliver())
        try:
            while True:
                while wire.backlog(loop.time()) > wire.buffer:
                    await asyncio.sleep(wire.backlog(loop.time()) - wire.buffer)
                data = await reader.read(CHUNK)
                if not data:
                    break
                queue.put_nowait((wire.send(len(data), loop.time()), data))
        except (ConnectionError, OSError):
            pass
        queue.put_nowait((loop.time() + wire.delay, None))
        try:
            await delivering
        except (ConnectionError, OSError):
            pass

    async def _serve(self, client_reader, client_writer):
        try:
            await self._forward(client_reader, client_writer)
        except asyncio.CancelledError:  # the link closes
            pass

    async def _forward(self, client_reader, client_writer):
        self.connections += 1
        for w in (client_writer,):
            sock = w.get_extra_info("socket")
            if sock is not None:
                sock.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        await asyncio.sleep(2 * self.delay)  # the handshake's round trip
        try:
            server_reader, server_writer = await asyncio.open_connection(*self.target)
        except OSError:
            client_writer.close()
            return
        await asyncio.gather(self._pump(client_reader, server_writer, self.up),
                             self._pump(server_reader, client_writer, self.down))
        for w in (client_writer, server_writer):
            try:
                w.close()
            except OSError:
                pass

    def __enter__(self):
        self.thread.start()
        self.ready.wait(10)
        return self

    def __exit__(self, *exc):
        async def close():
            self.server.close()
            tasks = [t for t in asyncio.all_tasks() if t is not asyncio.current_task()]
            for t in tasks:
                t.cancel()
            await asyncio.gather(*tasks, return_exceptions=True)
            self.loop.stop()
        asyncio.run_coroutine_threadsafe(close(), self.loop)
        self.thread.join(5)
