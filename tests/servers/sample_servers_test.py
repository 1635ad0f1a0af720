#!/usr/bin/env python3
"""The sample receiving servers (examples/server/{python,php,node}) fed by scripts/post with real
pictures: each stores the bytes that arrived under a safe name, reads the fields, refuses a file
over its limit without leaving anything behind, and keeps hostile names and ids inside its folder."""
import hashlib
import http.client
import json
import os
import re
import subprocess
import sys
import tempfile
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

    def __init__(self, kind, work):
        self.kind = kind
        self.folder = os.path.join(work, "uploads")
        self.log = os.path.join(work, "server.log")
        os.makedirs(work)
        env = dict(os.environ)
        if kind == "python":
            command = [sys.executable, os.path.join(EXAMPLES, "python", "server.py"), "--port", "0",
                       "--folder", self.folder, "--max-bytes", str(LIMIT)]
        elif kind == "node":
            env["NODE_PATH"] = node_modules()
            if not os.path.isdir(env["NODE_PATH"]):
                raise RuntimeError("no %s: run scripts/setup" % env["NODE_PATH"])
            command = ["node", os.path.join(EXAMPLES, "node", "server.js"), "--port", "0",
                       "--folder", self.folder, "--max-bytes", str(LIMIT)]
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


class PythonServerTest(SampleServerContract, unittest.TestCase):
    kind = "python"


class PhpServerTest(SampleServerContract, unittest.TestCase):
    kind = "php"


class NodeServerTest(SampleServerContract, unittest.TestCase):
    kind = "node"


if __name__ == "__main__":
    unittest.main(verbosity=2)
