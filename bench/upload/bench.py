#!/usr/bin/env python3
"""Upload throughput on one loopback server (Python's http.server; /hash reads the body and
hashes it, /sink discards it), with the same bytes for every client:
  (a) fotopost --as-is posting a 50 MB file (whole process),
  (b) a bare WinInet client posting the same multipart body in the same 128 KiB writes,
  (c) curl posting the same body;
then the engine path (body built, asynchronous client, reply judged) and the bare client
alternately in one process, at several sizes of the engine's largest write: one 50 MB file,
and ten 5 MB files five at a time. Prints medians and the ratios a/b and a/c (throughput,
higher is better), and says how Wine runs (ratios against curl mean nothing under qemu)."""
import os
import statistics
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(ROOT, "tests", "upload"))
import servers  # noqa: E402
sys.path.insert(0, os.path.join(ROOT, "bench"))
import machine  # noqa: E402

BUILD = sys.argv[1]
ROUNDS = int(sys.argv[2])
FOTOPOST = os.path.join(BUILD, "tools", "fotopost", "fotopost.exe")
BENCH = os.path.join(BUILD, "bench", "upload", "upload_bench.exe")
WRITE_SIZES_KIB = (128, 256, 512, 1024, 2048)
DEFAULT_WRITE_KIB = 1024  # HttpRequest::kWriteSize


def timed_wine(args, out):
    start = time.perf_counter()
    rc, text = servers.run_wine(args, out)
    elapsed = time.perf_counter() - start
    if rc != 0:
        raise RuntimeError("%s failed (%d): %s" % (args[0], rc, text[-500:]))
    return elapsed, text


def timed_curl(url, body, content_type, out):
    start = time.perf_counter()
    with open(out, "wb") as o:
        subprocess.run(["curl", "-sS", "--fail", "-o", "/dev/null", "-H", "Content-Type: " + content_type,
                        "-H", "Expect:", "-H", "Connection: close", "--data-binary", "@" + body, url],
                       check=True, stdout=o, stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL)
    return time.perf_counter() - start


def recorded_body(server, work, path, name):
    """Posts the file once through fotopost and keeps the exact body and content type it sent."""
    timed_wine([FOTOPOST, "--as-is", server.url("/record"), servers.winepath(path)], os.path.join(work, "rec.txt"))
    seq = server.count
    body = os.path.join(work, name + ".body")
    os.replace(os.path.join(server.folder, "%d.body" % seq), body)
    content_type = ""
    for line in open(os.path.join(server.folder, "%d.head" % seq)):
        if line.lower().startswith("content-type:"):
            content_type = line.split(":", 1)[1].strip()
    return body, content_type


def rounds_of(text):
    return [float(l.split()[1]) / 1000 for l in text.splitlines() if l.startswith("round ")]


def mbps(size, seconds):
    return size / seconds / 1e6


def main():
    with tempfile.TemporaryDirectory(prefix="fotoloft-bench-") as work:
        big = os.path.join(work, "big.bin")
        mid = os.path.join(work, "mid.bin")
        with open(big, "wb") as f:
            f.write(os.urandom(50 * 1000 * 1000))
        with open(mid, "wb") as f:
            f.write(os.urandom(5 * 1000 * 1000))
        out = os.path.join(work, "out.txt")
        with servers.RecordingServer(os.path.join(work, "rec")) as server:
            big_body, content_type = recorded_body(server, work, big, "big")
            mid_body, mid_type = recorded_body(server, work, mid, "mid")
            size = os.path.getsize(big_body)
            print(machine.heading())
            print("body: %d bytes; medians of %d rounds (whole process) and %d rounds (in-process)"
                  % (size, ROUNDS, ROUNDS * 3))

            for path in ("/hash", "/sink"):
                url = server.url(path)
                a, b, c = [], [], []
                for _ in range(ROUNDS):  # interleaved, so drift hits all three alike
                    a.append(timed_wine([FOTOPOST, "--as-is", url, servers.winepath(big)], out)[0])
                    b.append(timed_wine([BENCH, "bare", url, servers.winepath(big_body), content_type, "0", "1", "1"],
                                        out)[0])
                    c.append(timed_curl(url, big_body, content_type, out))
                ma, mb, mc = statistics.median(a), statistics.median(b), statistics.median(c)
                print("50 MB, whole process, server %s: fotopost %.0f ms (%.0f MB/s), bare WinInet %.0f ms "
                      "(%.0f MB/s), curl %.0f ms (%.0f MB/s); a/b %.3f, a/c %.3f"
                      % (path, ma * 1000, mbps(size, ma), mb * 1000, mbps(size, mb), mc * 1000, mbps(size, mc),
                         mb / ma, mc / ma))

            url = server.url("/hash")
            print()
            print("In-process, server /hash, %d rounds each, engine and bare client alternating; ratios are "
                  "throughput engine/bare (higher is better): of the medians, the median of paired rounds, "
                  "and of the best rounds. The bare client writes 128 KiB; 'same size' is the bare client "
                  "writing what the engine writes." % (ROUNDS * 3))
            print()
            print("| upload | engine's largest write | engine ms (MB/s) | bare 128 KiB ms | engine/bare (paired, best) "
                  "| bare same size ms | engine/bare same size (paired) | engine without overlap ms, engine/it (paired) |")
            print("|---|---|---|---|---|---|---|---|")
            for label, path, body, ctype, conc, files, total in (
                    ("50 MB, one file", big, big_body, content_type, "1", "1", size),
                    ("10 x 5 MB, 5 at a time", mid, mid_body, mid_type, "5", "10", os.path.getsize(mid_body) * 10)):
                for write_kib in WRITE_SIZES_KIB:
                    _, text = timed_wine([BENCH, "compare", url, servers.winepath(path), servers.winepath(body), ctype,
                                          str(ROUNDS * 3), conc, files, str(write_kib)], out)
                    times = {}
                    for line in text.splitlines():
                        name, _, value = line.partition(" ")
                        times.setdefault(name, []).append(float(value) / 1000)
                    engine, bare = statistics.median(times["engine"]), statistics.median(times["bare"])
                    # The rounds alternate, so a round of each taken side by side met the same load.
                    paired = statistics.median(b / e for e, b in zip(times["engine"], times["bare"]))
                    best = min(times["bare"]) / min(times["engine"])
                    same = times.get("bare-same", times["bare"])
                    same_paired = statistics.median(b / e for e, b in zip(times["engine"], same))
                    unlapped = times["engine-inline"]
                    overlap_paired = statistics.median(u / e for e, u in zip(times["engine"], unlapped))
                    mark = " (default)" if write_kib == DEFAULT_WRITE_KIB else ""
                    print("| %s | %d KiB%s | %.0f (%.0f) | %.0f | %.3f (%.3f, %.3f) | %.0f | %.3f (%.3f) | %.0f, %.3f |"
                          % (label, write_kib, mark, engine * 1000, mbps(total, engine), bare * 1000, bare / engine,
                             paired, best, statistics.median(same) * 1000, statistics.median(same) / engine,
                             same_paired, statistics.median(unlapped) * 1000, overlap_paired))

if __name__ == "__main__":
    main()
