#!/usr/bin/env python3
"""Resumable uploads through scripts/post ("Protocol":"tus") against the real tus server
(@tus/server with its file store), directly and through a proxy of the tests' own that cuts
the link: what arrives is byte-exact with its metadata, a cut upload goes on from the
server's offset, a forgotten one starts again, and a server of another protocol version is a
clear failure."""
import base64
import json
import os
import subprocess
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import tus_servers  # noqa: E402
from tus_servers import CuttingProxy, OldTusServer, TusServer  # noqa: E402

POST = os.path.join(tus_servers.SOURCE, "scripts", "post")
MB = 1000 * 1000


def read_bytes(path):
    with open(path, "rb") as f:
        return f.read()


class TusPostTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.work = tempfile.TemporaryDirectory(prefix="fotoloft-tus-post-")
        w = cls.work.name
        cls.big = os.path.join(w, "Big photo \u5317\u4eac.bin")
        cls.big_bytes = os.urandom(20 * MB)
        with open(cls.big, "wb") as f:
            f.write(cls.big_bytes)
        cls.picture = os.path.join(w, "Holiday.JPG")
        subprocess.run(["/usr/bin/convert", "-size", "320x200", "plasma:fractal", "-quality", "90",
                        "jpeg:" + cls.picture], check=True, stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        cls.count = 0

    @classmethod
    def tearDownClass(cls):
        cls.work.cleanup()

    def server(self, **options):
        type(self).count += 1
        server = TusServer(os.path.join(self.work.name, "server%d" % self.count), **options)
        self.addCleanup(server.stop)
        return server

    def proxy(self, server):
        proxy = CuttingProxy(server.port)
        self.addCleanup(proxy.close)
        return proxy

    def post(self, url, path, settings, as_is=True):
        out = os.path.join(self.work.name, "out.txt")
        err = os.path.join(self.work.name, "err.txt")
        settings = dict({"Protocol": "tus", "RetryDelays": [300, 1000, 2000]}, **settings)
        args = [POST] + (["--as-is"] if as_is else []) + [url, path, json.dumps(settings)]
        with open(out, "wb") as o, open(err, "wb") as e:
            rc = subprocess.run(args, stdout=o, stderr=e, stdin=subprocess.DEVNULL, timeout=240).returncode
        text = read_bytes(out).decode("utf-8")
        lines = [l for l in text.splitlines() if l.strip()]
        return rc, (json.loads(lines[-1]) if lines else None), read_bytes(err).decode("utf-8", "replace")

    def only_upload(self, server):
        uploads = server.uploads()
        self.assertEqual(len(uploads), 1, list(uploads))
        return next(iter(uploads.items()))

    def test_big_file_arrives_whole_with_its_metadata(self):
        server = self.server()
        rc, line, err = self.post(server.url(), self.big,
                                  {"Fields": {"album": "7", "note": "\u4f60\u597d, world"}, "ChunkSize": 3 * MB})
        self.assertEqual(rc, 0, err)
        ident, (info, body) = self.only_upload(server)
        self.assertEqual(body, self.big_bytes)
        self.assertEqual(info["size"], len(self.big_bytes))
        meta = info["metadata"]
        # Plain UTF-8 values: the file's own name as the list shows it, never URL-encoded.
        self.assertEqual(meta["filename"], "Big photo \u5317\u4eac.bin")
        self.assertEqual(meta["name"], "Big photo \u5317\u4eac.bin")
        self.assertEqual(meta["id"], line["id"])
        self.assertEqual(meta["album"], "7")
        self.assertEqual(meta["note"], "\u4f60\u597d, world")
        self.assertEqual((meta["width"], meta["height"]), ("0", "0"))
        self.assertIn("filetype", meta)
        # No JSON reply from the server: the page hears of the upload's address.
        self.assertTrue(line["ok"])
        self.assertEqual(line["svr"], {"success": 1, "location": server.url("/files/" + ident)})
        self.assertEqual(line["status"], 204)
        self.assertEqual(server.count("created"), 1)

    def test_prepared_picture_and_json_reply(self):
        # The picture as the control prepares it, named by its digest; the server's JSON reply
        # is what the page receives.
        server = self.server(json_reply=True)
        rc, line, err = self.post(server.url(), self.picture, {"FileNameGen": "md5", "ChunkSize": 20000},
                                  as_is=False)
        self.assertEqual(rc, 0, err)
        ident, (info, body) = self.only_upload(server)
        meta = info["metadata"]
        self.assertEqual(meta["filename"], "Holiday.JPG")
        self.assertRegex(meta["name"], "^[0-9a-f]{32}\\.JPG$")
        self.assertEqual((meta["width"], meta["height"]), ("320", "200"))
        self.assertEqual(body[:2], b"\xff\xd8")
        self.assertEqual(line["svr"]["success"], 1)
        self.assertEqual(line["svr"]["id"], ident)
        self.assertEqual(line["svr"]["size"], len(body))
        self.assertEqual(line["status"], 200)

    def test_cut_links_resume_from_the_server_offset(self):
        for cuts in ([0.7], [0.35, 0.8]):
            with self.subTest(cuts=cuts):
                server = self.server()
                proxy = self.proxy(server)
                proxy.arm(cuts, len(self.big_bytes))
                rc, line, err = self.post(proxy.url(), self.big, {})
                self.assertEqual(rc, 0, err)
                self.assertEqual(proxy.cut_count, len(cuts))
                self.assertEqual(err.count("trying again"), len(cuts), err)
                _, (info, body) = self.only_upload(server)
                self.assertEqual(body, self.big_bytes)
                # Never from the first byte again while the upload is alive.
                self.assertLess(proxy.sent, 1.3 * len(self.big_bytes))
                self.assertEqual(server.count("created"), 1)
                self.assertEqual(line["svr"]["location"].rsplit("/", 1)[0], proxy.url())

    def test_paused_link_fails_the_chunk_and_resumes(self):
        # The link takes nothing for longer than the time-out allows a write: the chunk fails
        # as a time-out and the next try goes on from the server's offset.
        server = self.server()
        proxy = self.proxy(server)
        proxy.arm_pause(0.4, len(self.big_bytes), 8)
        started = time.time()
        rc, line, err = self.post(proxy.url(), self.big, {"Timeout": 1})
        self.assertEqual(rc, 0, err)
        self.assertEqual(proxy.pauses, 1)
        self.assertIn("try 1 failed (timeout", err)
        _, (info, body) = self.only_upload(server)
        self.assertEqual(body, self.big_bytes)
        self.assertLess(proxy.sent, 1.3 * len(self.big_bytes))
        self.assertLess(time.time() - started, 60)

    def test_server_restarted_with_its_store_resumes(self):
        server = self.server()
        proxy = self.proxy(server)
        proxy.arm([0.5], len(self.big_bytes), on_cut=server.restart)
        rc, line, err = self.post(proxy.url(), self.big, {"RetryDelays": [500, 1000, 2000, 4000]})
        self.assertEqual(rc, 0, err)
        _, (info, body) = self.only_upload(server)
        self.assertEqual(body, self.big_bytes)
        self.assertLess(proxy.sent, 1.3 * len(self.big_bytes))
        self.assertEqual(server.count("created"), 1)

    def test_forgotten_upload_starts_again(self):
        # The store loses the upload at the cut: HEAD answers 404 and a new upload takes all.
        server = self.server()
        proxy = self.proxy(server)
        proxy.arm([0.6], len(self.big_bytes), on_cut=server.forget_all)
        rc, line, err = self.post(proxy.url(), self.big, {})
        self.assertEqual(rc, 0, err)
        self.assertEqual(server.count("created"), 2)
        ident, (info, body) = self.only_upload(server)
        self.assertEqual(body, self.big_bytes)
        self.assertTrue(line["svr"]["location"].endswith("/" + ident))

    def test_other_protocol_version_is_a_clear_failure(self):
        with OldTusServer() as old:
            rc, line, err = self.post(old.url(), self.picture, {}, as_is=False)
        self.assertEqual(rc, 1)
        self.assertFalse(line["ok"])
        self.assertIn("unsupported_protocol", err)
        self.assertNotIn("trying again", err)

    def test_no_server_fails_after_its_retries(self):
        server = self.server()
        port = server.port
        server.stop()
        started = time.time()
        rc, line, err = self.post("http://127.0.0.1:%d/files" % port, self.picture, {"RetryDelays": [100]},
                                  as_is=False)
        self.assertEqual(rc, 1)
        self.assertEqual(err.count("trying again"), 1, err)
        self.assertIn("cannot_connect", err)
        self.assertLess(time.time() - started, 60)


if __name__ == "__main__":
    unittest.main(verbosity=2)
