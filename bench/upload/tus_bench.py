#!/usr/bin/env python3
"""Resumable uploads (tus) on one loopback machine, whole processes timed, a 50 MB file of
random bytes:
  (a) fotopost "Protocol":"tus" to @tus/server with its file store (the tus sample server),
  (b) fotopost's multipart request with the same bytes to the Node sample server (busboy), on
      the same machine and the same Node;
then through a cutting proxy of the tests' own that breaks the link once at 50% of the file:
  (c) fotopost "Protocol":"tus", against
  (d) the reference client tus-js-client doing the same upload (same chunk size, same retry
      delays) through the same proxy;
and (c') and (d') without a cut through the same proxy, for the proxy's own cost. Prints the
medians of the rounds, the bytes each client sent through the proxy in all, and the ratios.
Usage: tus_bench.py BUILD_DIR ROUNDS
"""
import json
import os
import statistics
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(ROOT, "tests", "upload"))
import servers  # noqa: E402
import tus_servers  # noqa: E402
from tus_servers import CuttingProxy, TusServer  # noqa: E402

BUILD = sys.argv[1]
ROUNDS = int(sys.argv[2])
FOTOPOST = os.path.join(BUILD, "tools", "fotopost", "fotopost.exe")
CLIENT = os.path.join(ROOT, "bench", "upload", "tus_client.js")
SIZE = 50 * 1000 * 1000
CHUNK = 5 * 1024 * 1024
DELAYS = [0, 1000, 3000]  # both clients: the first retry at once


def wine_mode():
    native = subprocess.run(["/lib/ld-linux.so.2", "--version"], stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL).returncode == 0
    return "native" if native else "qemu (i386 through qemu-i386-static)"


def timed(args, out, env=None):
    start = time.perf_counter()
    with open(out, "wb") as o:
        rc = subprocess.run(args, stdout=o, stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL, env=env,
                            timeout=600).returncode
    elapsed = time.perf_counter() - start
    if rc != 0:
        with open(out, "rb") as f:
            raise RuntimeError("%s failed (%d): %s" % (args[:2], rc, f.read()[-800:]))
    return elapsed


def fotopost(url, path, settings, out):
    return timed(["wine", FOTOPOST, "--as-is", url, servers.winepath(path), json.dumps(settings)], out)


def tus_js(url, path, out):
    env = dict(os.environ, NODE_PATH=os.path.join(tus_servers.cache_dir("BENCH_TUS_DIR"), "node_modules"))
    return timed(["node", CLIENT, url, path, str(CHUNK), json.dumps(DELAYS)], out, env)


class NodeSample:
    """The multipart sample server (busboy) in a folder of its own."""

    def __init__(self, work):
        self.port = servers.free_port()
        env = dict(os.environ, NODE_PATH=os.path.join(tus_servers.cache_dir("SAMPLE_NODE_DIR"), "node_modules"))
        self.log = os.path.join(work, "node.log")
        with open(self.log, "wb") as log:
            self.process = subprocess.Popen(
                ["node", os.path.join(ROOT, "examples", "server", "node", "server.js"), "--port", str(self.port),
                 "--folder", os.path.join(work, "multipart"), "--max-bytes", str(SIZE + 1000000)],
                stdout=log, stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL, env=env)
        if not servers.wait_port(self.port):
            raise RuntimeError("the Node sample server did not start")

    def url(self):
        return "http://127.0.0.1:%d/upload" % self.port

    def close(self):
        self.process.terminate()
        self.process.wait(timeout=10)


def check_whole(server, data, label):
    uploads = [body for _, body in server.uploads().values() if body is not None and len(body) == len(data)]
    if not any(body == data for body in uploads):
        raise RuntimeError("%s: the server holds no whole copy" % label)
    server.forget_all()


def main():
    print("Wine: %s; %d rounds each, medians; chunk %d bytes, retry delays %s for both tus clients"
          % (wine_mode(), ROUNDS, CHUNK, DELAYS))
    with tempfile.TemporaryDirectory(prefix="fotoloft-tus-bench-") as work:
        big = os.path.join(work, "big.bin")
        data = os.urandom(SIZE)
        with open(big, "wb") as f:
            f.write(data)
        out = os.path.join(work, "out.txt")
        tus_settings = {"Protocol": "tus", "ChunkSize": CHUNK, "RetryDelays": DELAYS}
        multipart = NodeSample(work)
        try:
            with TusServer(os.path.join(work, "tus")) as server, CuttingProxy(server.port) as proxy:
                times = {k: [] for k in ("tus", "multipart", "cut_ours", "cut_ref", "proxy_ours", "proxy_ref")}
                sent = {k: [] for k in ("cut_ours", "cut_ref", "proxy_ours", "proxy_ref")}
                # Untimed first runs: the first Wine and Node processes load more than the others.
                fotopost(server.url(), big, tus_settings, out)
                tus_js(server.url(), big, out)
                server.forget_all()
                for _ in range(ROUNDS):  # interleaved, so drift hits every client alike
                    times["tus"].append(fotopost(server.url(), big, tus_settings, out))
                    check_whole(server, data, "tus")
                    times["multipart"].append(fotopost(multipart.url(), big, {"RetryDelays": []}, out))
                    for key, cut, run in (
                            ("cut_ours", True, lambda: fotopost(proxy.url(), big, tus_settings, out)),
                            ("cut_ref", True, lambda: tus_js(proxy.url(), big, out)),
                            ("proxy_ours", False, lambda: fotopost(proxy.url(), big, tus_settings, out)),
                            ("proxy_ref", False, lambda: tus_js(proxy.url(), big, out))):
                        proxy.reset_count()
                        if cut:
                            proxy.arm([0.5], SIZE)
                        times[key].append(run())
                        if cut and proxy.cut_count != 1:
                            raise RuntimeError("%s: the proxy cut %d times" % (key, proxy.cut_count))
                        sent[key].append(proxy.sent)
                        check_whole(server, data, key)
        finally:
            multipart.close()

    m = {k: statistics.median(v) for k, v in times.items()}
    b = {k: statistics.median(v) for k, v in sent.items()}
    rows = [
        ("fotopost tus, direct", m["tus"], None),
        ("fotopost multipart (busboy sample), direct", m["multipart"], None),
        ("fotopost tus, proxy, no cut", m["proxy_ours"], b["proxy_ours"]),
        ("tus-js-client, proxy, no cut", m["proxy_ref"], b["proxy_ref"]),
        ("fotopost tus, proxy, cut at 50%", m["cut_ours"], b["cut_ours"]),
        ("tus-js-client, proxy, cut at 50%", m["cut_ref"], b["cut_ref"]),
    ]
    print("| upload of 50 MB | time (ms) | MB/s | bytes sent in all (x file) |")
    print("|---|---|---|---|")
    for label, seconds, total in rows:
        print("| %s | %.0f | %.0f | %s |" % (label, seconds * 1000, SIZE / seconds / 1e6,
                                            "%d (%.3f)" % (total, total / SIZE) if total else "-"))
    print("tus/multipart time %.3f; with a cut: ours/tus-js-client time %.3f, bytes %.3f; "
          "without: time %.3f, bytes %.3f"
          % (m["tus"] / m["multipart"], m["cut_ours"] / m["cut_ref"], b["cut_ours"] / b["cut_ref"],
             m["proxy_ours"] / m["proxy_ref"], b["proxy_ours"] / b["proxy_ref"]))


if __name__ == "__main__":
    main()
