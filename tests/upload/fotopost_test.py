#!/usr/bin/env python3
"""scripts/post (tools/fotopost) against real servers: PHP's multipart parser reads back what
was sent, the recording server gives the odd replies, and bad arguments get exit code 2."""
import hashlib
import json
import os
import subprocess
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import servers  # noqa: E402

SOURCE = os.environ.get("FOTOLOFT_SOURCE_DIR", os.path.join(os.path.dirname(__file__), "..", ".."))
POST = os.path.join(SOURCE, "scripts", "post")


class FotopostTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.work = tempfile.TemporaryDirectory(prefix="fotoloft-post-")
        w = cls.work.name
        cls.cert, cls.key = servers.make_certificate(w)
        cls.peer = servers.PeerServer(os.path.join(w, "php.log")).__enter__()
        cls.plain = servers.RecordingServer(os.path.join(w, "plain")).__enter__()
        cls.tls = servers.RecordingServer(os.path.join(w, "tls"), cls.cert, cls.key).__enter__()
        # A real photo-like JPEG (made by ImageMagick) and a file of random bytes.
        cls.picture = os.path.join(w, "Holiday.JPG")
        subprocess.run(["/usr/bin/convert", "-size", "320x200", "plasma:fractal", "-quality", "90", "jpeg:" + cls.picture],
                       check=True, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        cls.raw = os.path.join(w, "raw.bin")
        with open(cls.raw, "wb") as f:
            f.write(os.urandom(300000))
        cls.raw_bytes = open(cls.raw, "rb").read()
        cls.sha256 = hashlib.sha256(cls.raw_bytes).hexdigest()

    @classmethod
    def tearDownClass(cls):
        cls.tls.__exit__(None, None, None)
        cls.plain.__exit__(None, None, None)
        cls.peer.__exit__(None, None, None)
        cls.work.cleanup()

    def post(self, *args):
        out = os.path.join(self.work.name, "out.txt")
        err = os.path.join(self.work.name, "err.txt")
        start = time.time()
        with open(out, "wb") as o, open(err, "wb") as e:
            rc = subprocess.run([POST] + list(args), stdout=o, stderr=e, stdin=subprocess.DEVNULL,
                                timeout=120).returncode
        seconds = time.time() - start
        text = open(out, "rb").read().decode("utf-8")
        lines = [l for l in text.splitlines() if l.strip()]
        line = json.loads(lines[-1]) if lines and rc != 2 else None
        if line is not None:
            self.assertEqual(len(lines), 1, text)
        return rc, line, open(err, "rb").read().decode("utf-8", "replace"), seconds

    def test_peer_reads_fields_and_file(self):
        settings = {"Fields": {"album": "7", "note": "say \"hi\"\r\nbye", "\u540d": "\u503c"},
                    "Cookie": "sid=1; lang=zh", "FileFieldName": "upfile", "FileNameGen": "crc"}
        rc, line, err, _ = self.post(self.peer.url("/up.php"), self.picture, json.dumps(settings))
        self.assertEqual(rc, 0, err)
        self.assertEqual(list(line.keys()), ["id", "ok", "status", "svr"])
        self.assertTrue(line["ok"])
        self.assertEqual(line["status"], 200)
        self.assertRegex(line["id"], "^[0-9a-f]{32}$")
        svr = line["svr"]
        post, file = svr["post"], svr["files"]["upfile"]
        self.assertEqual(post["id"], line["id"])
        self.assertEqual(post["album"], "7")
        self.assertEqual(post["note"], "say \"hi\"\r\nbye")
        self.assertEqual(post["\u540d"], "\u503c")
        self.assertEqual(svr["cookie"], "sid=1; lang=zh")
        self.assertEqual(svr["agent"], "Parcelo7")
        # The picture is re-encoded before it is sent: its name is the CRC-32 of the bytes the
        # peer received (lowest byte first), and its size is the picture's.
        crc_le = bytes.fromhex(file["crc32"])[::-1].hex()
        self.assertEqual(file["name"], crc_le + "%2EJPG")
        self.assertEqual(file["type"], "application/octet-stream")
        self.assertEqual(file["image"], [320, 200])
        self.assertEqual((post["width"], post["height"]), ("320", "200"))
        self.assertEqual(post["remark"], "Holiday%2EJPG")

    def test_as_is_sends_the_file_bytes(self):
        rc, line, err, _ = self.post("--as-is", self.peer.url("/up.php"), self.raw, '{"FileNameGen":"md5"}')
        self.assertEqual(rc, 0, err)
        svr = line["svr"]
        file = svr["files"]["file"]
        self.assertEqual(file["sha256"], self.sha256)
        self.assertEqual(file["size"], 300000)
        self.assertEqual(file["name"], hashlib.md5(self.raw_bytes).hexdigest() + "%2Ebin")
        self.assertEqual((svr["post"]["width"], svr["post"]["height"]), ("0", "0"))

    def test_file_that_cannot_be_prepared_is_not_sent(self):
        before = len(os.listdir(self.plain.folder))
        rc, line, err, _ = self.post(self.plain.url("/record"), self.raw)
        self.assertEqual(rc, 1, err)
        self.assertIn("cannot be prepared", err)
        self.assertEqual((line["ok"], line["status"], line["svr"]), (False, 0, None))
        self.assertRegex(line["id"], "^[0-9a-f]{32}$")
        self.assertEqual(len(os.listdir(self.plain.folder)), before)  # no request reached the server

    def test_ansi_encoding_keeps_the_name(self):
        rc, line, err, _ = self.post(self.peer.url("/up.php"), self.picture, '{"EncodeType":"gbk"}')
        self.assertEqual(rc, 0, err)
        self.assertEqual(line["svr"]["files"]["file"]["name"], "Holiday.JPG")
        self.assertEqual(line["svr"]["post"]["remark"], "Holiday.JPG")

    def test_failures_exit_1(self):
        refused = "http://127.0.0.1:%d/x" % servers.free_port()
        # No server there: tried again as the delays say, then the one line of the last try.
        rc, line, err, _ = self.post(refused, self.picture, '{"RetryDelays":[50,50]}')
        self.assertEqual(rc, 1)
        self.assertEqual(line["ok"], False)
        self.assertEqual(line["status"], 0)
        self.assertIsNone(line["svr"])
        self.assertIn("12029", err)
        self.assertEqual(err.count("trying again"), 2, err)
        # A refusal the server decided is not tried again.
        rc, line, err, _ = self.post(self.plain.url("/status400"), self.picture, '{"RetryDelays":[50]}')
        self.assertEqual((rc, line["ok"], line["status"]), (1, False, 400))
        self.assertNotIn("trying again", err)

        rc, line, _, _ = self.post(self.plain.url("/html"), self.picture)
        self.assertEqual((rc, line["ok"], line["status"], line["svr"]), (1, False, 200, None))

        rc, line, _, _ = self.post(self.plain.url("/status500"), self.picture)
        self.assertEqual((rc, line["ok"], line["status"], line["svr"]), (0, True, 500, {"success": 1}))

        rc, line, err, seconds = self.post(self.plain.url("/never"), self.picture, '{"Timeout":1,"RetryDelays":[]}')
        self.assertEqual((rc, line["ok"]), (1, False))
        self.assertIn("timed out", err)
        self.assertLess(seconds, 30)

    def test_given_up_request_ends_the_program_cleanly(self):
        # A request given up after its time-out is still being closed on other threads when
        # the result is printed; the program must end normally all the same, every time
        # (a crash there came about once in ten runs).
        for run in range(8):
            path = ("/never", "/stall")[run % 2]
            rc, line, err, _ = self.post(self.plain.url(path), self.picture, '{"Timeout":1,"RetryDelays":[]}')
            self.assertEqual(rc, 1, "run %d on %s: %s" % (run, path, err))
            self.assertEqual((line["ok"], line["status"]), (False, 0))
            self.assertIn("timed out", err)

    def test_certificates(self):
        rc, line, err, _ = self.post(self.tls.url("/record"), self.picture)
        self.assertEqual((rc, line["ok"]), (1, False), err)
        rc, line, err, _ = self.post(self.tls.url("/record"), self.picture, '{"IgnoreCertErrors":true}')
        self.assertEqual((rc, line["ok"]), (0, True), err)
        body = open(os.path.join(self.tls.folder, "%d.body" % line["svr"]["seq"]), "rb").read()
        self.assertIn(b'filename="Holiday%2EJPG"', body)

    def test_bad_arguments_exit_2(self):
        for args in ([], [self.peer.url()], [self.peer.url(), self.picture, "not json"],
                     [self.peer.url(), self.picture, "[1]"], ["ftp://127.0.0.1/", self.picture],
                     [self.peer.url(), os.path.join(self.work.name, "missing.jpg")],
                     [self.peer.url(), self.picture, "{}", "extra"], ["--as-is", self.peer.url()]):
            rc, _, err, _ = self.post(*args)
            self.assertEqual(rc, 2, args)
            self.assertIn("usage: fotopost", err)


if __name__ == "__main__":
    unittest.main(verbosity=2)
