"""Upload targets for the tests and the benchmark, all on 127.0.0.1.

RecordingServer: Python's http.server; records every request (headers and body) in a
folder and answers by path:
  /record          200 {"success":1,"seq":N,"length":L}
  /status500       500 {"success":1}
  /html            200 an HTML page
  /zero            200 a JSON reply with a zero byte inside, longer than one read piece
  /never           reads the body, then never answers
  /stall           reads the headers, then never reads the body
  /reset           reads 64 KiB of the body, then resets the connection
  /sink            reads and discards the body, 200 {"success":1}
  /hash            reads the body and answers its SHA-256 {"success":1,"sha256":...}
  /slow?group=G    records, holds the answer 0.2 s, and counts the requests of group G in
                   flight (from the request line to the answer): 200 {"success":1,"seq":N,
                   "length":L,"peak":most in flight at once so far}
  /refuse          records, then 200 {"success":0,"msg":"refused"} (JSON, but no success)
  /slowread        reads the body 32 KiB at a time, 50 ms apart, then {"success":1}
  /hold?release=R  records, then holds the answer until a file named R appears in the folder
                   (at most 60 s): 200 {"success":1,"seq":N,"length":L}
  /whole           as /record, but a body shorter than its Content-Length is counted as cut
                   short (and not answered); /cuts answers {"cuts":N} with that count
  /big?size=N      reads the body, then 200 with a JSON reply of exactly N bytes
                   {"success":1,"pad":"xxx..."}
  /flaky?every=E&fails=F  for a file (by its "id" field) whose id as a number is a multiple
                   of E, the first F tries fail in turn: a reset after the body, a 503, a
                   dropped connection, a 500; every other try is stored: 200 {"success":1,
                   "stored":times this id was stored,"tries":tries of this id}
  /busy            a file's first try: 429 with Retry-After: 2; then stored as /flaky
  /status400       400 {"success":0,"msg":"bad request"}
  /shuffle?n=N     holds every answer until N requests are in (at most 20 s), then answers
                   them 100 ms apart in an order of its own (of the first five to arrive: the
                   third, the first, the fifth, the second, the fourth; then the later ones):
                   200 {"success":1,"index":the request's "index" field,"arrived":its place}
With a certificate and key it serves https instead.

PeerServer: PHP's built-in server with peer.php, which answers what PHP's own multipart
parser made of the request ($_POST and $_FILES with each file's SHA-256).
"""
import hashlib
import http.server
import json
import os
import re
import shutil
import socket
import ssl
import struct
import subprocess
import tempfile
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def wait_port(port, timeout=15.0):
    end = time.time() + timeout
    while time.time() < end:
        try:
            with socket.create_connection(("127.0.0.1", port), timeout=0.5):
                return True
        except OSError:
            time.sleep(0.05)
    return False


class _Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.0"

    def log_message(self, *args):
        pass

    def _read_body(self, limit=None):
        length = int(self.headers.get("Content-Length", "0"))
        want = length if limit is None else min(limit, length)
        chunks, got = [], 0
        while got < want:
            chunk = self.rfile.read(min(1 << 20, want - got))
            if not chunk:
                break
            chunks.append(chunk)
            got += len(chunk)
        return b"".join(chunks)

    def _answer(self, status, body, content_type="application/json"):
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def _field(self, body, name):
        match = re.search(rb'name="' + name.encode() + rb'"\r\n\r\n([^\r]*)\r\n', body)
        return match.group(1).decode() if match else ""

    def _reset(self):
        self.connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
        self.connection.close()

    def _retrying(self, path, query):
        body = self._read_body()
        file_id = self._field(body, "id")
        tries = self.server.take("try:" + file_id)
        self.server.record(self, body)
        if path == "/busy" and tries == 1:
            self.send_response(429)
            self.send_header("Retry-After", "2")
            self.send_header("Content-Length", "2")
            self.end_headers()
            self.wfile.write(b"{}")
            return
        every, fails = int(query.get("every", "5")), int(query.get("fails", "2"))
        if path == "/flaky" and file_id and int(file_id, 16) % every == 0 and tries <= fails:
            kind = (tries - 1) % 4
            if kind == 0:
                self._reset()
            elif kind == 1:
                self._answer(503, b'{"success":0,"msg":"busy"}')
            elif kind == 2:
                self.close_connection = True
                self.connection.shutdown(socket.SHUT_RDWR)
            else:
                self._answer(500, b"<html>Internal error</html>", "text/html")
            return
        stored = self.server.take("stored:" + file_id)
        self._answer(200, json.dumps({"success": 1, "stored": stored, "tries": tries}).encode())

    def _shuffle(self, query):
        server = self.server
        body = self._read_body()
        server.record(self, body)
        wanted = int(query.get("n", "5"))
        with server.shuffle_lock:
            arrived = len(server.shuffle_arrivals) + 1
            server.shuffle_arrivals.append(arrived)
            if arrived == wanted:
                server.shuffle_full.set()
        server.shuffle_full.wait(20)
        order = [1, 3, 0, 4, 2]  # arrival 1 answers second, arrival 3 first...
        time.sleep(0.1 * (order[arrived - 1] if arrived <= len(order) else arrived))
        self._answer(200, json.dumps({"success": 1, "index": self._field(body, "index"), "arrived": arrived}).encode())

    def do_POST(self):
        server = self.server
        path = self.path.split("?")[0]
        query = dict(p.split("=", 1) for p in self.path.partition("?")[2].split("&") if "=" in p)
        if path in ("/flaky", "/busy"):
            self._retrying(path, query)
            return
        if path == "/shuffle":
            self._shuffle(query)
            return
        if path == "/slow":
            group = self.path.partition("group=")[2] or "-"
            peak = server.enter(group)
            try:
                body = self._read_body()
                seq = server.record(self, body)
                time.sleep(0.2)
            finally:
                peak = server.leave(group)  # before the answer: the client may start the next one then
            self._answer(200, json.dumps({"success": 1, "seq": seq, "length": len(body), "peak": peak}).encode())
            return
        if path == "/slowread":
            left = int(self.headers.get("Content-Length", "0"))
            while left > 0:
                chunk = self.rfile.read(min(32 * 1024, left))
                if not chunk:
                    return
                left -= len(chunk)
                time.sleep(0.05)
            self._answer(200, b'{"success":1}')
            return
        if path == "/hold":
            name = self.path.partition("release=")[2] or "release"
            body = self._read_body()
            seq = server.record(self, body)
            release = os.path.join(server.folder, os.path.basename(name))
            deadline = time.monotonic() + 60
            while not os.path.exists(release) and time.monotonic() < deadline:
                time.sleep(0.02)
            self._answer(200, json.dumps({"success": 1, "seq": seq, "length": len(body)}).encode())
            return
        if path in ("/gate", "/failfirst", "/statusfirst"):
            # /gate?group=G&pass=N: the first N requests of the group are accepted, the later
            # ones held until the server stops. /failfirst?group=G: the group's first request is
            # refused, the others accepted; /statusfirst?group=G&status=S refuses it with the status S
            # instead. Accepted replies carry the picture part's SHA-256.
            query = dict(p.split("=", 1) for p in self.path.partition("?")[2].split("&") if "=" in p)
            group = query.get("group", "-")
            body = self._read_body()
            server.record(self, body)
            number = server.take(group)
            if path == "/gate" and number > int(query.get("pass", "0")):
                server.release.wait(120)
                return
            if path == "/failfirst" and number == 1:
                self._answer(200, b'{"success":0,"msg":"try again"}')
                return
            if path == "/statusfirst" and number == 1:
                self._answer(int(query.get("status", "413")), b'{"success":0,"msg":"file too large"}')
                return
            self._answer(200, json.dumps({"success": 1, "n": number, "length": len(body)}).encode())
            return
        if path == "/whole":
            try:
                body = self._read_body()
            except OSError:  # reset by a client that gave the body up
                body = b""
            if len(body) < int(self.headers.get("Content-Length", "0")):
                with server.lock:
                    server.cuts += 1
                return
            seq = server.record(self, body)
            self._answer(200, json.dumps({"success": 1, "seq": seq, "length": len(body)}).encode())
            return
        if path == "/cuts":
            self._read_body()
            with server.lock:
                cuts = server.cuts
            self._answer(200, json.dumps({"success": 1, "cuts": cuts}).encode())
            return
        if path == "/big":
            self._read_body()
            size = int(self.path.partition("size=")[2] or "0")
            head, tail = b'{"success":1,"pad":"', b'"}'
            self._answer(200, head + b"x" * (size - len(head) - len(tail)) + tail)
            return
        if path == "/stall":
            server.release.wait(120)
            return
        if path == "/reset":
            self._read_body(64 * 1024)
            self.connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
            self.connection.close()
            return
        if path == "/sink":
            length = int(self.headers.get("Content-Length", "0"))
            left = length
            while left > 0:
                chunk = self.rfile.read(min(1 << 20, left))
                if not chunk:
                    break
                left -= len(chunk)
            self._answer(200, b'{"success":1}')
            return
        if path == "/hash":
            length = int(self.headers.get("Content-Length", "0"))
            digest, left = hashlib.sha256(), length
            while left > 0:
                chunk = self.rfile.read(min(1 << 20, left))
                if not chunk:
                    break
                digest.update(chunk)
                left -= len(chunk)
            self._answer(200, json.dumps({"success": 1, "sha256": digest.hexdigest()}).encode())
            return
        body = self._read_body()
        seq = server.record(self, body)
        if path == "/never":
            server.release.wait(120)
            return
        if path == "/status500":
            self._answer(500, b'{"success":1}')
        elif path == "/status400":
            self._answer(400, b'{"success":0,"msg":"bad request"}')
        elif path == "/refuse":
            self._answer(200, b'{"success":0,"msg":"refused"}')
        elif path == "/html":
            self._answer(200, b"<html><body><h1>Upload failed</h1></body></html>", "text/html")
        elif path == "/zero":
            self._answer(200, b'{"success":1,"pad":"' + b"x" * 100 + b"\x00" + b"y" * 400 + b'"}')
        else:
            self._answer(200, json.dumps({"success": 1, "seq": seq, "length": len(body)}).encode())


class _Server(http.server.ThreadingHTTPServer):
    daemon_threads = True

    def handle_error(self, request, client_address):
        pass  # clients that go away mid-reply are part of the tests


class RecordingServer:
    def __init__(self, folder, certfile=None, keyfile=None):
        self.folder = folder
        os.makedirs(folder, exist_ok=True)
        self.port = free_port()
        self.httpd = _Server(("127.0.0.1", self.port), _Handler)
        self.httpd.release = threading.Event()
        self.httpd.folder = folder
        self.httpd.record = self._record
        self.httpd.enter = self._enter
        self.httpd.leave = self._leave
        self.httpd.take = self._take
        self.httpd.lock = threading.Lock()
        self.httpd.cuts = 0
        self.httpd.shuffle_lock = threading.Lock()
        self.httpd.shuffle_arrivals = []
        self.httpd.shuffle_full = threading.Event()
        self.taken = {}
        self.in_flight = {}
        self.peaks = {}
        self.lock = threading.Lock()
        self.count = 0
        self.scheme = "http"
        if certfile:
            context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
            context.load_cert_chain(certfile, keyfile)
            self.httpd.socket = context.wrap_socket(self.httpd.socket, server_side=True)
            self.scheme = "https"
        self.thread = threading.Thread(target=self.httpd.serve_forever, daemon=True)

    def _record(self, handler, body):
        with self.lock:
            self.count += 1
            seq = self.count
        with open(os.path.join(self.folder, "%d.body" % seq), "wb") as f:
            f.write(body)
        with open(os.path.join(self.folder, "%d.head" % seq), "w", newline="") as f:
            f.write("%s %s\n" % (handler.command, handler.path))
            for name, value in handler.headers.items():
                f.write("%s: %s\n" % (name, value))
        return seq

    def _enter(self, group):
        with self.lock:
            self.in_flight[group] = self.in_flight.get(group, 0) + 1
            self.peaks[group] = max(self.peaks.get(group, 0), self.in_flight[group])
            return self.peaks[group]

    def _take(self, group):
        with self.lock:
            self.taken[group] = self.taken.get(group, 0) + 1
            return self.taken[group]

    def _leave(self, group):
        with self.lock:
            self.in_flight[group] -= 1
            return self.peaks[group]

    def url(self, path="/record", host="127.0.0.1"):
        return "%s://%s:%d%s" % (self.scheme, host, self.port, path)

    def __enter__(self):
        self.thread.start()
        return self

    def __exit__(self, *exc):
        self.httpd.release.set()
        self.httpd.shutdown()
        self.httpd.server_close()


class PeerServer:
    def __init__(self, log_path):
        self.port = free_port()
        self.log = open(log_path, "wb")
        self.proc = subprocess.Popen(
            ["php", "-d", "upload_max_filesize=200M", "-d", "post_max_size=300M", "-d", "memory_limit=512M",
             "-S", "127.0.0.1:%d" % self.port, os.path.join(HERE, "peer.php")],
            stdout=self.log, stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL, cwd=HERE)
        if not wait_port(self.port):
            raise RuntimeError("php -S did not start")

    def url(self, path="/upload"):
        return "http://127.0.0.1:%d%s" % (self.port, path)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.proc.terminate()
        try:
            self.proc.wait(10)
        except subprocess.TimeoutExpired:
            self.proc.kill()
        self.log.close()


def make_certificate(folder, names=("IP:127.0.0.1",), common_name="127.0.0.1"):
    """A self-signed certificate and key made now with openssl."""
    cert, key = os.path.join(folder, "server.crt"), os.path.join(folder, "server.key")
    subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
                    "-subj", "/CN=" + common_name, "-addext", "subjectAltName=" + ",".join(names),
                    "-keyout", key, "-out", cert], check=True,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, stdin=subprocess.DEVNULL)
    return cert, key


def winepath(path):
    """The Windows form of a host path inside the prefix (Z: is the host's root)."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def run_wine(args, out_path, env=None, timeout=600):
    """Runs a Windows program; its output goes to a file (never a pipe) and is returned.

    A program still running after the time-out is killed; what it printed up to then is returned
    with a last line that says so, so that the test that hung can be read off the output."""
    with open(out_path, "wb") as out:
        try:
            proc = subprocess.run(["wine"] + args, stdout=out, stderr=subprocess.STDOUT,
                                  stdin=subprocess.DEVNULL, env=env, timeout=timeout)
            rc, note = proc.returncode, ""
        except subprocess.TimeoutExpired:
            rc, note = 124, "\n*** %s still running after %d s: killed\n" % (os.path.basename(args[0]), timeout)
    with open(out_path, "rb") as f:
        return rc, f.read().decode("utf-8", "replace") + note
