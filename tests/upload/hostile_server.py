"""A hostile upload target on 127.0.0.1 for the client's fault tests, on Python's socketserver
(raw HTTP, so that it can answer what no well-behaved server library would).

Every request's body is read in full (by its Content-Length) before the answer, except on
/slowread, which reads it at its own pace. Paths:
  /redirect307, /redirect302   a redirect, with {"success":1}, to the target given at start
  /redirectself                a 302 to itself
  /trickle                     a 200 whose 3 KB body comes 20 bytes every 100 ms (15 s)
  /flood                       a status line, then 500,000 header lines (for at most 10 s, then close)
  /short                       Content-Length 1000, then {"success":1} (13 bytes) and close
  /chunked                     a whole chunked {"success":1}; with ?cut=1 the connection ends
                               after the chunk, before the last (empty) one; with &pause=1 what
                               follows the chunk comes 0.3 s after it; with big=1 the reply is
                               {"success":1,"pad":"xxx..."} of 3 MiB in chunks of 64 KiB; with
                               keepalive=1 the reply leaves the connection open for another
                               request (no "Connection: close"), and the server still closes it
  /trailing                    {"success":1} <b>Fatal error</b>... (Content-Length exact)
  /trailingspace               {"success":1} followed by blanks and line ends
  /trailingcomment             {"success":1} followed by a comment
  /slowread                    reads the body's first 3 MiB at once, the next 192 KiB at
                               43 KiB/s (128 KiB in 3 s), the rest at once; {"success":1,"length":N}
  /count                       {"path":count,...}: how many requests each path received
"""
import json
import socket
import socketserver
import threading
import time

FLOOD_LINES = 500000
FLOOD_SECONDS = 10


class _Handler(socketserver.StreamRequestHandler):
    def _read_head(self):
        lines = []
        while True:
            line = self.rfile.readline(65537)
            if not line or line in (b"\r\n", b"\n"):
                break
            lines.append(line.decode("latin-1").rstrip("\r\n"))
        if not lines:
            return None, {}
        parts = lines[0].split(" ")
        headers = {}
        for line in lines[1:]:
            name, _, value = line.partition(":")
            headers[name.strip().lower()] = value.strip()
        return parts[1] if len(parts) > 1 else "/", headers

    def _read_exactly(self, count, rate=None):
        got = 0
        while got < count:
            piece = self.rfile.read1(min(65536 if rate is None else 4096, count - got))
            if not piece:
                break
            got += len(piece)
            if rate:
                time.sleep(len(piece) / rate)
        return got

    def _send(self, data):
        try:
            self.wfile.write(data)
            self.wfile.flush()
            return True
        except OSError:
            return False

    def _answer(self, body, status="200 OK", extra=""):
        self._send(("HTTP/1.1 %s\r\nContent-Type: application/json\r\nContent-Length: %d\r\n%s"
                    "Connection: close\r\n\r\n" % (status, len(body), extra)).encode() + body)

    def handle(self):
        server = self.server
        path, headers = self._read_head()
        if path is None:
            return
        path, _, query = path.partition("?")
        query = dict(p.split("=", 1) for p in query.split("&") if "=" in p)
        with server.lock:
            server.counts[path] = server.counts.get(path, 0) + 1
        length = int(headers.get("content-length", "0") or 0)
        if path == "/slowread":
            fast = min(length, 3 << 20)
            slow = min(length - fast, 192 << 10)
            got = self._read_exactly(fast)
            got += self._read_exactly(slow, rate=(128 << 10) / 3.0)
            got += self._read_exactly(length - fast - slow)
            self._answer(json.dumps({"success": 1, "length": got}).encode())
            return
        self._read_exactly(length)
        if path in ("/redirect307", "/redirect302"):
            status = "307 Temporary Redirect" if path == "/redirect307" else "302 Found"
            self._answer(b'{"success":1}', status, "Location: %s\r\n" % server.target)
        elif path == "/redirectself":
            self._answer(b'{"success":1}', "302 Found", "Location: /redirectself\r\n")
        elif path == "/trickle":
            body = b'{"success":1,"pad":"' + b"x" * 3000 + b'"}'
            self._send(b"HTTP/1.1 200 OK\r\nContent-Length: %d\r\nConnection: close\r\n\r\n" % len(body))
            for i in range(0, len(body), 20):
                if server.released.is_set() or not self._send(body[i:i + 20]):
                    return
                time.sleep(0.1)
        elif path == "/flood":
            if not self._send(b"HTTP/1.1 200 OK\r\n"):
                return
            block = b"".join(b"X-Flood-%d: %s\r\n" % (i, b"v" * 20) for i in range(1000))
            # Bounded in time, so that a client still parsing meets the end of the connection
            # and the tests after this one get their processor back.
            ends = time.monotonic() + FLOOD_SECONDS
            for _ in range(FLOOD_LINES // 1000):
                if server.released.is_set() or time.monotonic() > ends or not self._send(block):
                    return
            self._send(b'Content-Length: 13\r\nConnection: close\r\n\r\n{"success":1}')
        elif path == "/short":
            self._send(b'HTTP/1.1 200 OK\r\nContent-Length: 1000\r\nConnection: close\r\n\r\n{"success":1}')
        elif path == "/chunked":
            text = b'{"success":1}'
            if query.get("big") == "1":
                text = b'{"success":1,"pad":"' + b"x" * ((3 << 20) - 22) + b'"}'
            chunks = b"".join(b"%x\r\n%s\r\n" % (len(text[i:i + 65536]), text[i:i + 65536])
                              for i in range(0, len(text), 65536))
            connection = b"" if query.get("keepalive") == "1" else b"Connection: close\r\n"
            if not self._send(b'HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n' + connection + b'\r\n'
                              + chunks):
                return
            if query.get("pause") == "1":
                time.sleep(0.3)
            if query.get("cut") != "1":
                self._send(b'0\r\n\r\n')
        elif path == "/trailing":
            self._answer(b'{"success":1} <br />\n<b>Fatal error</b>: Allowed memory size exhausted')
        elif path == "/trailingspace":
            self._answer(b'{"success":1} \r\n\t\n')
        elif path == "/trailingcomment":
            self._answer(b'{"success":1} /* stored as 7 */\n')
        elif path == "/count":
            with server.lock:
                counts = dict(server.counts)
            self._answer(json.dumps(counts).encode())
        else:
            self._answer(b'{"success":1}')


class _Server(socketserver.ThreadingTCPServer):
    daemon_threads = True
    allow_reuse_address = True

    def server_bind(self):
        # A small receive window, as a slow link has: what the server has not read waits in
        # the client's socket, so its writes wait for the server's reading.
        self.socket.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 4096)
        super().server_bind()

    def handle_error(self, request, client_address):
        pass  # clients that give up mid-answer are what the tests are about


class HostileServer:
    def __init__(self, target):
        self.httpd = _Server(("127.0.0.1", 0), _Handler)
        self.httpd.target = target
        self.httpd.lock = threading.Lock()
        self.httpd.counts = {}
        self.httpd.released = threading.Event()
        self.port = self.httpd.server_address[1]
        self.thread = threading.Thread(target=self.httpd.serve_forever, daemon=True)

    def __enter__(self):
        self.thread.start()
        return self

    def __exit__(self, *exc):
        self.httpd.released.set()
        self.httpd.shutdown()
        self.httpd.server_close()
