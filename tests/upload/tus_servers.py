"""Resumable-upload targets on 127.0.0.1 for the tests and the benchmark.

TusServer: the tus sample server (examples/server/tus: @tus/server with its file store), run
from the packages scripts/setup installed; restart() keeps its port and its store.
CuttingProxy: a TCP relay of the tests' own in front of a server. It counts the bytes the
client sends, can cut the link (both sides closed at once) when the count reaches given
totals, calling a hook at each cut, and can hold the client to a rate.
OldTusServer: answers OPTIONS as a server of an older protocol version would (Tus-Version:
0.2.2) and every other request with 412.
"""
import http.server
import json
import os
import shutil
import socket
import subprocess
import sys
import tempfile
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.environ.get("FOTOLOFT_SOURCE_DIR", os.path.join(HERE, "..", ".."))
sys.path.insert(0, HERE)
import servers  # noqa: E402


def cache_dir(variable):
    """A folder named in scripts/env.sh (SAMPLE_TUS_DIR, BENCH_TUS_DIR)."""
    out = os.path.join(tempfile.gettempdir(), "fotoloft-env-%d.txt" % os.getpid())
    with open(out, "w") as f:
        subprocess.run(["bash", "-c", 'source "$1/scripts/env.sh" && echo "${!2}"', "-", SOURCE, variable],
                       stdout=f, check=True)
    with open(out) as f:
        value = f.read().strip()
    os.remove(out)
    return value


class TusServer:
    """The sample tus server in a folder of its own."""

    def __init__(self, work, json_reply=False, port=None):
        self.work = work
        self.store = os.path.join(work, "store")
        self.log = os.path.join(work, "tus.log")
        self.json_reply = json_reply
        self.port = port or servers.free_port()
        modules = os.path.join(cache_dir("SAMPLE_TUS_DIR"), "node_modules")
        if not os.path.isdir(modules):
            raise RuntimeError("no %s: run scripts/setup" % modules)
        os.makedirs(work, exist_ok=True)
        # ES modules find their packages beside the script, not through NODE_PATH.
        self.script = os.path.join(work, "server.mjs")
        shutil.copyfile(os.path.join(SOURCE, "examples", "server", "tus", "server.js"), self.script)
        if not os.path.exists(os.path.join(work, "node_modules")):
            os.symlink(modules, os.path.join(work, "node_modules"))
        self.process = None
        self.start()

    def url(self, path="/files"):
        return "http://127.0.0.1:%d%s" % (self.port, path)

    def start(self):
        command = ["node", self.script, "--port", str(self.port), "--folder", self.store]
        if self.json_reply:
            command.append("--json-reply")
        log = open(self.log, "ab")
        self.process = subprocess.Popen(command, stdout=log, stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL,
                                        cwd=self.work)
        log.close()
        end = time.time() + 20
        while time.time() < end:
            if self.process.poll() is not None:
                break
            if "listening on" in self.read_log() and servers.wait_port(self.port, 0.5):
                return
            time.sleep(0.05)
        self.stop()
        raise RuntimeError("tus server did not start: " + self.read_log())

    def stop(self):
        if self.process and self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait(timeout=10)
        self.process = None

    def restart(self):
        self.stop()
        self.start()

    def read_log(self):
        try:
            with open(self.log, "rb") as f:
                return f.read().decode("utf-8", "replace")
        except OSError:
            return ""

    def count(self, word):
        """Lines of the log that start with the word ("created", "finished", "terminated")."""
        return sum(1 for line in self.read_log().splitlines() if line.startswith(word + " "))

    def uploads(self):
        """{id: (info from <id>.json, the stored bytes)} of the store."""
        found = {}
        if not os.path.isdir(self.store):
            return found
        for name in os.listdir(self.store):
            if name.endswith(".json"):
                ident = name[:-5]
                with open(os.path.join(self.store, name), encoding="utf-8") as f:
                    info = json.load(f)
                data = os.path.join(self.store, ident)
                body = None
                if os.path.exists(data):
                    with open(data, "rb") as f:
                        body = f.read()
                found[ident] = (info, body)
        return found

    def forget_all(self):
        """Removes every upload from the store, as an expiry would."""
        for name in os.listdir(self.store):
            os.remove(os.path.join(self.store, name))

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.stop()


class CuttingProxy:
    """Relays 127.0.0.1:port to the target port."""

    def __init__(self, target_port, rate=None):
        self.target_port = target_port
        self.rate = rate  # bytes per second from the client, None: no limit
        self.lock = threading.Lock()
        self.sent = 0  # bytes from the client, in all
        self.cuts = []  # totals at which to cut, ascending
        self.on_cut = None
        self.cut_count = 0
        self.pause_at = None
        self.pause_seconds = 0
        self.pauses = 0
        self.connections = []
        self.listener = socket.socket()
        self.listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        self.listener.bind(("127.0.0.1", 0))
        self.listener.listen(64)
        self.port = self.listener.getsockname()[1]
        self.closing = False
        threading.Thread(target=self._accept, daemon=True).start()

    def url(self, path="/files"):
        return "http://127.0.0.1:%d%s" % (self.port, path)

    def arm(self, fractions_of, size, on_cut=None):
        """Cuts when the client has sent these shares of size more bytes than it has so far."""
        with self.lock:
            self.cuts = sorted(self.sent + int(f * size) for f in fractions_of)
            self.on_cut = on_cut

    def arm_pause(self, fraction_of, size, seconds):
        """Once the client has sent this share of size more bytes, the link takes nothing more
        for the given seconds (the client's writes stall), then that connection is cut."""
        with self.lock:
            self.pause_at = self.sent + int(fraction_of * size)
            self.pause_seconds = seconds

    def reset_count(self):
        with self.lock:
            self.sent = 0
            self.cut_count = 0
            self.cuts = []

    def _accept(self):
        while not self.closing:
            try:
                client, _ = self.listener.accept()
            except OSError:
                return
            try:
                upstream = socket.create_connection(("127.0.0.1", self.target_port), timeout=5)
                upstream.settimeout(None)
            except OSError:
                client.close()
                continue
            pair = (client, upstream)
            with self.lock:
                self.connections.append(pair)
            threading.Thread(target=self._pump, args=(client, upstream, True, pair), daemon=True).start()
            threading.Thread(target=self._pump, args=(upstream, client, False, pair), daemon=True).start()

    def _cut(self, pair):
        for s in pair:
            try:
                s.shutdown(socket.SHUT_RDWR)
            except OSError:
                pass
            try:
                s.close()
            except OSError:
                pass

    def _pump(self, source, target, from_client, pair):
        started = time.time()
        moved = 0
        try:
            while True:
                data = source.recv(65536)
                if not data:
                    break
                hook = None
                if from_client:
                    pause = 0
                    with self.lock:
                        if self.pause_at is not None and self.sent + len(data) >= self.pause_at:
                            pause, self.pause_at = self.pause_seconds, None
                            self.pauses += 1
                    if pause:
                        time.sleep(pause)  # nothing read meanwhile: the client's socket fills
                        self._cut(pair)
                        return
                    with self.lock:
                        if self.cuts and self.sent + len(data) >= self.cuts[0]:
                            # Only the bytes before the cut go through.
                            keep = self.cuts[0] - self.sent
                            self.cuts.pop(0)
                            self.sent += keep
                            self.cut_count += 1
                            hook = self.on_cut
                            data = data[:keep]
                            if data:
                                target.sendall(data)
                            self._cut(pair)
                        else:
                            self.sent += len(data)
                    if hook is not None:
                        hook()
                        return
                    if pair[0].fileno() == -1:
                        return
                    if self.rate:
                        moved += len(data)
                        ahead = moved / self.rate - (time.time() - started)
                        if ahead > 0:
                            time.sleep(ahead)
                target.sendall(data)
        except OSError:
            pass
        finally:
            try:
                target.shutdown(socket.SHUT_WR)
            except OSError:
                pass

    def close(self):
        self.closing = True
        self.listener.close()
        with self.lock:
            pairs = list(self.connections)
        for pair in pairs:
            self._cut(pair)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()


class _OldHandler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.0"

    def log_message(self, *args):
        pass

    def _answer(self, status):
        length = int(self.headers.get("Content-Length") or 0)
        if length:
            self.rfile.read(length)
        self.send_response(status)
        self.send_header("Tus-Version", "0.2.2")
        self.send_header("Content-Length", "0")
        self.end_headers()

    def do_OPTIONS(self):
        self._answer(204)

    def do_POST(self):
        self._answer(412)

    do_HEAD = do_PATCH = do_DELETE = do_POST


class OldTusServer:
    def __init__(self):
        self.httpd = http.server.ThreadingHTTPServer(("127.0.0.1", 0), _OldHandler)
        self.port = self.httpd.server_address[1]
        threading.Thread(target=self.httpd.serve_forever, daemon=True).start()

    def url(self, path="/files"):
        return "http://127.0.0.1:%d%s" % (self.port, path)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.httpd.shutdown()
        self.httpd.server_close()
