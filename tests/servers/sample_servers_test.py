#!/usr/bin/env python3
"""The sample receiving servers (examples/server/{python,php,node}) fed by scripts/post with real
pictures: each stores the bytes that arrived under a safe name, reads the fields, refuses a file
over its limit without leaving anything behind, and keeps hostile names and ids inside its folder.
A stored file is never replaced (a retry of the same bytes succeeds), the fields are held to a
bounded count and size, and a body cut short leaves no file and no descriptor behind; the Python
server holds a bounded number of silent connections, each until its time-out."""
import hashlib
import http.client
import json
import os
import re
import selectors
import socket
import subprocess
import sys
import tempfile
import threading
import time
import unittest

SOURCE = os.environ.get("FOTOLOFT_SOURCE_DIR", os.path.join(os.path.dirname(__file__), "..", ".."))
sys.path.insert(0, os.path.join(SOURCE, "tests", "upload"))
import servers  # noqa: E402

POST = os.path.join(SOURCE, "scripts", "post")
EXAMPLES = os.path.join(SOURCE, "examples", "server")
LIMIT = 1000000
STORED_NAME = re.compile(r"^[0-9a-f]{32}\.(jpg|png|bin)$")
BOUNDARY = "----sampleboundary1234"
MAX_FIELDS, MAX_FIELD_BYTES = 100, 8192  # the samples' field limits


def read_text(path):
    with open(path, encoding="utf-8", errors="replace") as f:
        return f.read()


def sha256(path):
    with open(path, "rb") as f:
        return hashlib.sha256(f.read()).hexdigest()


def node_modules():
    """Where scripts/setup installed the Node server's packages."""
    out = subprocess.run(["bash", "-c", 'source "$1/scripts/env.sh" && echo "$SAMPLE_NODE_DIR"', "-", SOURCE],
                         capture_output=True, text=True, check=True).stdout.strip()
    return os.path.join(out, "node_modules")


def multipart(fields, filename, data, field="file"):
    """A body as any browser sends it, with the file name given as is."""
    parts = []
    for name, value in fields.items():
        parts.append(('--%s\r\nContent-Disposition: form-data; name="%s"\r\n\r\n%s\r\n'
                      % (BOUNDARY, name, value)).encode())
    parts.append(('--%s\r\nContent-Disposition: form-data; name="%s"; filename="%s"\r\n'
                  'Content-Type: application/octet-stream\r\n\r\n' % (BOUNDARY, field, filename)).encode()
                 + data + b"\r\n")
    parts.append(("--%s--\r\n" % BOUNDARY).encode())
    return b"".join(parts)


class SampleServer:
    """One of the sample servers, started in its own folder and stopped at the end."""

    def __init__(self, kind, work, options=()):
        self.kind = kind
        self.folder = os.path.join(work, "uploads")
        self.log = os.path.join(work, "server.log")
        os.makedirs(work)
        env = dict(os.environ)
        if kind == "python":
            command = [sys.executable, os.path.join(EXAMPLES, "python", "server.py"), "--port", "0",
                       "--folder", self.folder, "--max-bytes", str(LIMIT)] + list(options)
        elif kind == "node":
            env["NODE_PATH"] = node_modules()
            if not os.path.isdir(env["NODE_PATH"]):
                raise RuntimeError("no %s: run scripts/setup" % env["NODE_PATH"])
            command = ["node", os.path.join(EXAMPLES, "node", "server.js"), "--port", "0",
                       "--folder", self.folder, "--max-bytes", str(LIMIT)] + list(options)
        else:
            self.port = servers.free_port()
            env.update(FOTOLOFT_UPLOAD_DIR=self.folder, FOTOLOFT_MAX_BYTES=str(LIMIT))
            command = ["php", "-d", "upload_max_filesize=16M", "-d", "post_max_size=17M", "-d", "display_errors=0",
                       "-S", "127.0.0.1:%d" % self.port, os.path.join(EXAMPLES, "php", "upload.php")]
            os.makedirs(self.folder)  # the others make theirs
        with open(self.log, "wb") as log:
            self.process = subprocess.Popen(command, stdout=log, stderr=subprocess.STDOUT,
                                            stdin=subprocess.DEVNULL, env=env)
        if kind == "php":
            ready = servers.wait_port(self.port)
        else:
            ready = self._wait_listening()
        if not ready:
            self.stop()
            raise RuntimeError("%s server did not start: %s" % (kind, read_text(self.log)))

    def _wait_listening(self, timeout=15.0):
        end = time.time() + timeout
        while time.time() < end and self.process.poll() is None:
            match = re.search(r"listening on http://127\.0\.0\.1:(\d+)/upload", read_text(self.log))
            if match:
                self.port = int(match.group(1))
                return True
            time.sleep(0.05)
        return False

    def url(self):
        return "http://127.0.0.1:%d/upload" % self.port

    def request(self, body, content_type="multipart/form-data; boundary=" + BOUNDARY):
        connection = http.client.HTTPConnection("127.0.0.1", self.port, timeout=30)
        try:
            connection.request("POST", "/upload", body=body, headers={"Content-Type": content_type})
            response = connection.getresponse()
            return response.status, json.loads(response.read())
        finally:
            connection.close()

    def half_sent(self, length=400000, sent=150000):
        """A connection that announced a body of length bytes and sent the first sent of them:
        the fields and the start of a file part."""
        head = multipart({"id": "ab" * 16}, "cut.jpg", b"")[:-len(b"\r\n--%s--\r\n" % BOUNDARY.encode())]
        body = head + os.urandom(max(0, sent - len(head)))
        sock = socket.create_connection(("127.0.0.1", self.port), timeout=30)
        sock.sendall(("POST /upload HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n"
                      "Content-Type: multipart/form-data; boundary=%s\r\nContent-Length: %d\r\n\r\n"
                      % (BOUNDARY, length)).encode() + body)
        return sock

    def descriptors(self):
        """The server's open descriptors: (how many, those on files of its upload folder)."""
        fd_dir = "/proc/%d/fd" % self.process.pid
        targets = []
        for fd in os.listdir(fd_dir):
            try:
                targets.append(os.readlink(os.path.join(fd_dir, fd)))
            except OSError:
                pass  # closed meanwhile
        return len(targets), [t for t in targets if t.startswith(self.folder)]

    def threads(self):
        with open("/proc/%d/status" % self.process.pid) as f:
            return int(re.search(r"^Threads:\s+(\d+)", f.read(), re.M).group(1))

    def stop(self):
        self.process.terminate()
        try:
            self.process.wait(10)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()


class SampleServerContract:
    kind = None

    @classmethod
    def setUpClass(cls):
        cls.temp = tempfile.TemporaryDirectory(prefix="fotoloft-%s-server-" % cls.kind)
        cls.work = cls.temp.name
        cls.pictures = os.path.join(cls.work, "pictures")
        os.makedirs(cls.pictures)
        cls.jpeg = os.path.join(cls.pictures, "Holiday 1+1.JPG")
        cls.png = os.path.join(cls.pictures, "假期.png")
        for path, kind in ((cls.jpeg, "jpeg:"), (cls.png, "png:")):
            subprocess.run(["/usr/bin/convert", "-size", "320x200", "plasma:fractal", kind + path], check=True,
                           stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        cls.server = SampleServer(cls.kind, os.path.join(cls.work, "site"))

    @classmethod
    def tearDownClass(cls):
        cls.server.stop()
        cls.temp.cleanup()

    def post(self, *args):
        out, err = os.path.join(self.work, "post.out"), os.path.join(self.work, "post.err")
        with open(out, "wb") as o, open(err, "wb") as e:
            rc = subprocess.run([POST] + list(args), stdout=o, stderr=e, stdin=subprocess.DEVNULL,
                                timeout=120).returncode
        text = read_text(out)
        self.assertIn(rc, (0, 1), text + read_text(err))
        return rc, json.loads(text.strip().splitlines()[-1])

    def stored(self):
        return sorted(os.listdir(self.server.folder))

    def assertStoredAs(self, reply, expected_sha256):
        self.assertEqual(reply["success"], 1, reply)
        self.assertRegex(reply["file"], STORED_NAME)
        path = os.path.join(self.server.folder, reply["file"])
        self.assertEqual(sha256(path), expected_sha256)
        self.assertEqual(reply["sha256"], expected_sha256)
        self.assertEqual(reply["size"], os.path.getsize(path))

    def test_picture_bytes_fields_and_name(self):
        fields = {"album": "7", "note": "名 \"q\" & <b>"}
        rc, line = self.post("--as-is", self.server.url(), self.jpeg, json.dumps({"Fields": fields}))
        self.assertEqual(rc, 0, line)
        svr = line["svr"]
        self.assertStoredAs(svr, sha256(self.jpeg))
        self.assertEqual(svr["file"], line["id"] + ".jpg")
        self.assertEqual((svr["id"], svr["name"]), (line["id"], "Holiday 1+1.JPG"))
        got = svr["fields"]
        self.assertEqual((got["album"], got["note"], got["id"]), ("7", fields["note"], line["id"]))
        self.assertEqual((got["width"], got["height"]), ("0", "0"))  # --as-is sends no extent

        # A picture the control prepares: the server stores exactly the bytes that arrived.
        rc, line = self.post(self.server.url(), self.png)
        self.assertEqual(rc, 0, line)
        svr = line["svr"]
        self.assertEqual((svr["file"], svr["name"]), (line["id"] + ".png", "假期.png"))
        self.assertEqual((svr["fields"]["width"], svr["fields"]["height"]), ("320", "200"))
        self.assertStoredAs(svr, svr["sha256"])
        with open(os.path.join(self.server.folder, svr["file"]), "rb") as f:
            self.assertEqual(f.read(8), b"\x89PNG\r\n\x1a\n")

    def test_oversized_file_is_refused(self):
        # Just over the limit, and far enough over that a server may refuse before parsing:
        # either way the control gets to read the refusal.
        for size in (LIMIT + 1, LIMIT + (3 << 20)):
            big = os.path.join(self.pictures, "big.jpg")
            with open(big, "wb") as f:
                f.write(os.urandom(size))
            before = self.stored()
            rc, line = self.post("--as-is", self.server.url(), big)
            self.assertEqual((rc, line["ok"]), (1, False), size)
            self.assertEqual(line["svr"], {"success": 0, "msg": "file too large"}, size)
            self.assertEqual(self.stored(), before)  # no part file left behind either

    def test_hostile_names_and_ids_stay_in_the_folder(self):
        # Sent raw (not URL-encoded) when the page's encoding is not UTF-8; decoded by the
        # server to "../../x.php".
        hostile = os.path.join(self.pictures, "..%2F..%2Fx.php")
        with open(self.jpeg, "rb") as f, open(hostile, "wb") as out:
            out.write(f.read())
        rc, line = self.post("--as-is", self.server.url(), hostile, '{"EncodeType":"gbk"}')
        self.assertEqual(rc, 0, line)
        self.assertStoredAs(line["svr"], sha256(self.jpeg))
        self.assertEqual(line["svr"]["file"], line["id"] + ".bin")
        self.assertTrue(line["svr"]["name"].endswith("x.php"), line["svr"]["name"])

        data = b"<?php echo 1; ?>"
        for file_id, filename in (("../../evil", "../../x.php"), ("0123456789abcdef0123456789abcdef\n", "..\\..\\x.php"),
                                  ("", "x.jpg.php")):
            status, reply = self.server.request(multipart({"id": file_id}, filename, data))
            self.assertEqual(status, 200, reply)
            self.assertStoredAs(reply, hashlib.sha256(data).hexdigest())
            self.assertEqual(reply["file"], hashlib.sha256(data).hexdigest()[:32] + ".bin")
        site = os.path.dirname(self.server.folder)
        self.assertEqual(sorted(os.listdir(site)), ["server.log", "uploads"])
        self.assertEqual(sorted(os.listdir(self.work)), ["pictures", "post.err", "post.out", "site"])
        for name in self.stored():
            self.assertRegex(name, STORED_NAME)

    def test_malformed_bodies_are_refused(self):
        before = self.stored()
        status, reply = self.server.request(b"--" + BOUNDARY.encode() + b"\r\nno end")
        self.assertEqual((status, reply["success"]), (400, 0), reply)
        status, reply = self.server.request(b"a=1", "application/x-www-form-urlencoded")
        self.assertEqual((status, reply["success"]), (400, 0), reply)
        self.assertEqual(self.stored(), before)

    def test_stored_id_is_never_replaced(self):
        file_id = "5e" * 16
        first, other = os.urandom(3000), os.urandom(3000)
        status, reply = self.server.request(multipart({"id": file_id}, "a.jpg", first))
        self.assertEqual(status, 200, reply)
        self.assertStoredAs(reply, hashlib.sha256(first).hexdigest())
        self.assertEqual(reply["file"], file_id + ".jpg")
        before = self.stored()

        # The same bytes again (a retry after a lost reply): the stored file's reply, nothing new.
        status, again = self.server.request(multipart({"id": file_id, "album": "2"}, "a.jpg", first))
        self.assertEqual(status, 200, again)
        self.assertEqual({k: again[k] for k in ("success", "id", "file", "size", "sha256")},
                         {k: reply[k] for k in ("success", "id", "file", "size", "sha256")})
        self.assertEqual(again["fields"]["album"], "2")

        # Other bytes under that id, under the same or another extension: refused, the file kept.
        for name in ("a.jpg", "a.png", "a.txt"):
            status, refused = self.server.request(multipart({"id": file_id}, name, other))
            self.assertEqual(refused, {"success": 0, "msg": "id already stored"}, name)
            self.assertEqual(status, 409)
        self.assertEqual(self.stored(), before)
        self.assertEqual(sha256(os.path.join(self.server.folder, file_id + ".jpg")), hashlib.sha256(first).hexdigest())

    def test_concurrent_uploads_of_one_id_store_one_file(self):
        file_id = "c0" * 16
        bodies = [os.urandom(200000) for _ in range(6)]
        replies = [None] * len(bodies)

        def send(i):
            replies[i] = self.server.request(multipart({"id": file_id}, "c.jpg", bodies[i]))

        threads = [threading.Thread(target=send, args=(i,)) for i in range(len(bodies))]
        for t in threads:
            t.start()
        for t in threads:
            t.join(60)
        accepted = [i for i, (status, reply) in enumerate(replies) if reply["success"] == 1]
        self.assertEqual(len(accepted), 1, replies)
        self.assertEqual(sorted(r[1]["msg"] for i, r in enumerate(replies) if i not in accepted),
                         ["id already stored"] * (len(bodies) - 1))
        self.assertEqual(sha256(os.path.join(self.server.folder, file_id + ".jpg")),
                         hashlib.sha256(bodies[accepted[0]]).hexdigest())

    def test_fields_are_bounded_in_count_and_size(self):
        data = b"picture"
        # The control's four fields and the page's, up to the limits: accepted and echoed.
        fields = {"id": "f1" * 16, "width": "1", "height": "1", "remark": "r"}
        fields.update(("f%03d" % i, "v" * MAX_FIELD_BYTES) for i in range(MAX_FIELDS - len(fields)))
        status, reply = self.server.request(multipart(fields, "f.jpg", data))
        self.assertEqual((status, reply["success"]), (200, 1), str(reply)[:300])
        self.assertEqual(reply["fields"], fields)

        before = self.stored()
        fields["one more"] = "x"
        status, reply = self.server.request(multipart(fields, "f.jpg", data))
        self.assertEqual((status, reply), (413, {"success": 0, "msg": "too many fields"}))
        status, reply = self.server.request(multipart({"id": "f2" * 16, "big": "v" * (MAX_FIELD_BYTES + 1)},
                                                      "f.jpg", data))
        self.assertEqual((status, reply), (413, {"success": 0, "msg": "field too large"}))
        self.assertEqual(self.stored(), before)

    def test_body_cut_short_leaves_nothing_open(self):
        status, reply = self.server.request(multipart({}, "warm.jpg", b"warm"))  # the server's usual descriptors
        self.assertEqual(reply["success"], 1, reply)
        baseline, _ = self.server.descriptors()
        before = self.stored()
        for _ in range(3):
            sock = self.server.half_sent()
            time.sleep(0.2)  # the server gets to start on the file part
            sock.close()
        self.assertTrue(self.wait_settled(baseline, before, 15), self.settled_state(baseline, before))

    def wait_settled(self, baseline, before, timeout):
        end = time.time() + timeout
        while time.time() < end:
            if settled(self.server, baseline, before):
                return True
            time.sleep(0.1)
        return False

    def settled_state(self, baseline, before):
        return "descriptors %r (baseline %d), folder %r (before %r)" % (
            self.server.descriptors(), baseline, self.stored(), before)


def settled(server, baseline, stored):
    """The folder holds exactly the stored files (no partial one), no descriptor of the server
    is on a file of it, and it holds no more descriptors than baseline (its sockets included)."""
    count, in_folder = server.descriptors()
    return count <= baseline and not in_folder and sorted(os.listdir(server.folder)) == sorted(stored)


def flood(port, fields=520, size=1 << 20):
    """One request of fields text fields of size bytes each, sent as fast as the server reads;
    (status, reply), or (None, error) when the server cut the connection first."""
    piece = b"x" * size
    parts = [(b"--%s\r\nContent-Disposition: form-data; name=\"f%d\"\r\n\r\n" % (BOUNDARY.encode(), i), piece, b"\r\n")
             for i in range(fields)]
    tail = b"--%s--\r\n" % BOUNDARY.encode()
    length = sum(len(a) + len(b) + len(c) for a, b, c in parts) + len(tail)

    def body():
        for part in parts:
            yield from part
        yield tail

    connection = http.client.HTTPConnection("127.0.0.1", port, timeout=120)
    try:
        connection.request("POST", "/upload", body=body(), headers={
            "Content-Type": "multipart/form-data; boundary=" + BOUNDARY, "Content-Length": str(length)})
        response = connection.getresponse()
        return response.status, json.loads(response.read())
    except (ConnectionError, OSError) as error:
        return None, error
    finally:
        connection.close()


class FloodedServer:
    def test_field_flood_is_refused_and_the_server_lives_on(self):
        status, reply = flood(self.server.port)
        self.assertEqual(status, 413, reply)
        self.assertEqual(reply["success"], 0, reply)
        self.assertIsNone(self.server.process.poll(), read_text(self.server.log)[-2000:])
        status, reply = self.server.request(multipart({}, "after.jpg", b"after"))
        self.assertEqual((status, reply["success"]), (200, 1), reply)


class PythonServerTest(SampleServerContract, FloodedServer, unittest.TestCase):
    kind = "python"


class PythonServerConnectionsTest(unittest.TestCase):
    """300 connections that send half a body and then nothing: at most --max-connections of them
    hold a thread, each until the time-out; the others are answered "server busy"."""
    TIMEOUT, SLOTS, CONNECTIONS = 2.0, 40, 300

    def setUp(self):
        self.temp = tempfile.TemporaryDirectory(prefix="fotoloft-python-connections-")
        self.server = SampleServer("python", os.path.join(self.temp.name, "site"),
                                   ("--timeout", str(self.TIMEOUT), "--max-connections", str(self.SLOTS)))

    def tearDown(self):
        self.server.stop()
        self.temp.cleanup()

    def test_half_sent_requests_end_at_the_time_out(self):
        idle_threads = self.server.threads()
        selector = selectors.DefaultSelector()
        started = {}
        for _ in range(self.CONNECTIONS):
            sock = self.server.half_sent(length=100000, sent=2000)
            sock.setblocking(False)
            selector.register(sock, selectors.EVENT_READ, bytearray())
            started[sock] = time.monotonic()
        ended, most_threads = {}, 0
        deadline = time.monotonic() + self.TIMEOUT + 30
        while len(ended) < self.CONNECTIONS and time.monotonic() < deadline:
            most_threads = max(most_threads, self.server.threads())
            for key, _ in selector.select(0.05):
                try:
                    chunk = key.fileobj.recv(65536)
                except ConnectionError:
                    chunk = b""
                if chunk:
                    key.data.extend(chunk)
                    continue
                ended[key.fileobj] = (time.monotonic() - started[key.fileobj], bytes(key.data))
                selector.unregister(key.fileobj)
                key.fileobj.close()
        self.assertEqual(len(ended), self.CONNECTIONS, "%d connections never ended" % (self.CONNECTIONS - len(ended)))
        busy = [t for t, data in ended.values() if b'"server busy"' in data]
        timed_out = [t for t, data in ended.values() if not data]
        self.assertEqual(len(busy) + len(timed_out), self.CONNECTIONS, [d for _, d in ended.values()][:3])
        # Those served held a thread each until the time-out, no longer; the rest never got one.
        # Connections still in the accept queue when the first ones time out may be served next.
        self.assertGreaterEqual(len(timed_out), self.SLOTS)
        self.assertGreaterEqual(min(timed_out), self.TIMEOUT - 0.1)
        self.assertLess(max(timed_out), self.TIMEOUT + 10)
        self.assertLessEqual(most_threads, idle_threads + self.SLOTS)
        self.assertEqual(os.listdir(self.server.folder), [])

        # The server serves again once they are gone.
        end = time.monotonic() + 15
        while self.server.threads() > idle_threads and time.monotonic() < end:
            time.sleep(0.05)
        self.assertEqual(self.server.threads(), idle_threads)
        status, reply = self.server.request(multipart({}, "after.jpg", b"after"))
        self.assertEqual((status, reply["success"]), (200, 1), reply)


class PhpServerTest(SampleServerContract, unittest.TestCase):
    kind = "php"


class NodeServerTest(SampleServerContract, FloodedServer, unittest.TestCase):
    kind = "node"


class NodeServerTimeoutTest(unittest.TestCase):
    """A connection that stops sending mid-body is closed at the time-out, and its partial file
    goes with it."""
    TIMEOUT = 2.0

    def test_stalled_body_is_dropped_at_the_time_out(self):
        with tempfile.TemporaryDirectory(prefix="fotoloft-node-timeout-") as work:
            server = SampleServer("node", os.path.join(work, "site"), ("--timeout", str(self.TIMEOUT)))
            try:
                status, reply = server.request(multipart({}, "warm.jpg", b"warm"))
                self.assertEqual(reply["success"], 1, reply)
                baseline, _ = server.descriptors()
                sock = server.half_sent()
                begun = time.monotonic()
                sock.settimeout(self.TIMEOUT + 20)
                try:
                    rest = sock.recv(65536)
                except ConnectionError:
                    rest = b""
                waited = time.monotonic() - begun
                sock.close()
                self.assertEqual(rest, b"")
                self.assertGreaterEqual(waited, self.TIMEOUT - 0.1)
                self.assertLess(waited, self.TIMEOUT + 10)
                end = time.time() + 10
                while time.time() < end and not settled(server, baseline, [reply["file"]]):
                    time.sleep(0.1)
                self.assertTrue(settled(server, baseline, [reply["file"]]),
                                (server.descriptors(), baseline, os.listdir(server.folder)))
            finally:
                server.stop()


if __name__ == "__main__":
    unittest.main(verbosity=2)
