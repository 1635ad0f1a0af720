#!/usr/bin/env python3
"""Runs the upload task three ways on one loopback server (tests/upload/servers.py, path
/hash: reads each body and hashes it) and prints the table:
  (a) the control in the page host: "init" with the address and ThreadCount, ten "addFile",
      a click on the upload button; timed by the page from the click to "post_complete";
  (b) queue_bench: the engine alone, the same files, the control's default settings and the
      same parallelism; timed from the task's start to its end;
  (c) curl posting the bodies that the engine prepared of the same files (recorded once by
      the server), the same number at a time.
Peak memory: the largest resident size (VmHWM) the page host's process and queue_bench's
reached, read from /proc while they run."""
import glob
import os
import re
import statistics
import subprocess
import sys
import tempfile
import threading
import time

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(ROOT, "tests", "upload"))
sys.path.insert(0, os.path.join(ROOT, "bench"))
import photos  # noqa: E402
import servers  # noqa: E402

BUILD = sys.argv[1]
ROUNDS = int(sys.argv[2])
QUEUE_BENCH = os.path.join(BUILD, "bench", "queue_bench.exe")
PHOTOS = os.path.join(BUILD, "bench", "queue-photos")
COUNT, WIDTH, HEIGHT = 10, 4800, 3600  # photo-like JPEGs of about 5 MB
THREADS = (1, 3, 5)
UPLOAD_BUTTON = (136, 16)  # the middle of the upload button


class PeakMemory:
    """Polls /proc for the Wine process running exe_name in this prefix; keeps the largest
    VmHWM seen (a high-water mark, so the last look before the process ends is its peak)."""

    def __init__(self, exe_name):
        self.exe = exe_name.encode()
        self.prefix = ("WINEPREFIX=" + os.environ.get("WINEPREFIX", "")).encode()
        self.peak_kib = 0
        self.stop = threading.Event()
        self.thread = threading.Thread(target=self._poll, daemon=True)

    def _poll(self):
        while not self.stop.is_set():
            for pid in filter(str.isdigit, os.listdir("/proc")):
                try:
                    with open("/proc/%s/cmdline" % pid, "rb") as f:
                        if self.exe not in f.read():
                            continue
                    with open("/proc/%s/environ" % pid, "rb") as f:
                        if self.prefix not in f.read().split(b"\0"):
                            continue
                    with open("/proc/%s/status" % pid) as f:
                        match = re.search(r"VmHWM:\s+(\d+) kB", f.read())
                    if match:
                        self.peak_kib = max(self.peak_kib, int(match.group(1)))
                except OSError:
                    pass
            self.stop.wait(0.05)

    def __enter__(self):
        self.thread.start()
        return self

    def __exit__(self, *exc):
        self.stop.set()
        self.thread.join()


def page_script(url, threads, files):
    adds = "\n".join("control.postMessage(%s);" % js_string('{"name":"addFile","path":%s}' % json_string(servers.winepath(p)))
                     for p in files)
    init = '{"name":"init","config":{"PostUrl":%s,"ThreadCount":%d}}' % (json_string(url), threads)
    return """
var complete = null;
control.recvMessage = function (text) { if (text.indexOf('"post_complete"') >= 0) complete = text; };
control.postMessage(%s);
%s
host.sleep(3000);  // the thumbnails
var start = new Date().getTime();
host.click(%d, %d);
while (complete === null && new Date().getTime() - start < 600000) host.sleep(5);
var ms = new Date().getTime() - start;
host.sleep(300);  // a last look for the memory poller
if (complete === null) { host.echo("no post_complete"); host.quit(1); }
var message = eval("(" + complete + ")");
host.echo("control " + ms + " " + (message.imgs ? message.imgs.length : 0));
""" % (js_string(init), adds, UPLOAD_BUTTON[0], UPLOAD_BUTTON[1])


def json_string(text):
    return '"' + text.replace("\\", "\\\\").replace('"', '\\"') + '"'


def js_string(text):
    return "'" + text.replace("\\", "\\\\").replace("'", "\\'") + "'"


def run_control(work, url, threads, files):
    script = os.path.join(work, "queue%d.js" % threads)
    with open(script, "w", encoding="utf-8") as f:
        f.write(page_script(url, threads, files))
    out = os.path.join(work, "page.txt")
    with PeakMemory("pagehost.exe") as memory, open(out, "wb") as o:
        rc = subprocess.run([os.path.join(ROOT, "scripts", "page"), script, "--size", "800x500", "--timeout", "900"],
                            stdin=subprocess.DEVNULL, stdout=o, stderr=subprocess.STDOUT).returncode
    text = open(out, encoding="utf-8", errors="replace").read()
    match = re.search(r"^control (\d+) (\d+)", text, re.M)
    if rc != 0 or not match or int(match.group(2)) != len(files):
        sys.exit("the control's run failed (%d):\n%s" % (rc, text[-2000:]))
    return int(match.group(1)) / 1000, memory.peak_kib


def run_engine(work, url, threads, files):
    out = os.path.join(work, "engine.txt")
    with PeakMemory("queue_bench.exe") as memory:
        rc, text = servers.run_wine([QUEUE_BENCH, url, str(threads)] + [servers.winepath(p) for p in files], out)
    match = re.search(r"^engine ([0-9.]+)", text, re.M)
    if rc != 0 or not match:
        sys.exit("queue_bench failed (%d):\n%s" % (rc, text[-2000:]))
    return float(match.group(1)) / 1000, memory.peak_kib


def run_curl(work, url, threads, bodies):
    pending = list(bodies)
    lock = threading.Lock()
    failed = []

    def worker(n):
        while True:
            with lock:
                if not pending:
                    return
                body, content_type = pending.pop()
            with open(os.path.join(work, "curl%d.txt" % n), "wb") as o:
                rc = subprocess.run(["curl", "-sS", "--fail", "-o", "/dev/null", "-H", "Content-Type: " + content_type,
                                     "-H", "Expect:", "-H", "Connection: close", "--data-binary", "@" + body, url],
                                    stdin=subprocess.DEVNULL, stdout=o, stderr=subprocess.STDOUT).returncode
            if rc != 0:
                failed.append(body)

    start = time.perf_counter()
    workers = [threading.Thread(target=worker, args=(n,)) for n in range(threads)]
    for w in workers:
        w.start()
    for w in workers:
        w.join()
    if failed:
        sys.exit("curl failed on %d bodies" % len(failed))
    return time.perf_counter() - start


def recorded_bodies(work, server, files):
    """The bodies the engine makes of the files, as the server received them."""
    first = server.count
    run_engine(work, server.url("/record"), 5, files)
    bodies = []
    for seq in range(first + 1, server.count + 1):
        content_type = ""
        for line in open(os.path.join(server.folder, "%d.head" % seq)):
            if line.lower().startswith("content-type:"):
                content_type = line.split(":", 1)[1].strip()
        bodies.append((os.path.join(server.folder, "%d.body" % seq), content_type))
    if len(bodies) != len(files):
        sys.exit("recorded %d bodies of %d files" % (len(bodies), len(files)))
    return bodies


def main():
    files = photos.make_photos(PHOTOS, COUNT, WIDTH, HEIGHT)
    if len(files) != COUNT:
        sys.exit("could not make the photos")
    sizes = [os.path.getsize(p) for p in files]
    with tempfile.TemporaryDirectory(prefix="fotoloft-queue-") as work:
        with servers.RecordingServer(os.path.join(work, "rec")) as server:
            bodies = recorded_bodies(work, server, files)
            body_bytes = sum(os.path.getsize(b) for b, _ in bodies)
            print("%d photos of %d x %d, %.1f MB each on average; the prepared bodies %.1f MB each; medians of %d round(s)"
                  % (COUNT, WIDTH, HEIGHT, statistics.mean(sizes) / 1e6, body_bytes / COUNT / 1e6, ROUNDS))
            print()
            print("| ThreadCount | (a) control | (b) engine | (c) curl | a/b | a/c | peak memory (a) | peak memory (b) |")
            print("|---|---|---|---|---|---|---|---|")
            url = server.url("/hash")
            for threads in THREADS:
                a, b, c, mem_a, mem_b = [], [], [], 0, 0
                for r in range(ROUNDS):  # alternated, so that drift weighs on each alike
                    order = ("a", "b", "c") if r % 2 == 0 else ("c", "b", "a")
                    for which in order:
                        if which == "a":
                            seconds, peak = run_control(work, url, threads, files)
                            a.append(seconds)
                            mem_a = max(mem_a, peak)
                        elif which == "b":
                            seconds, peak = run_engine(work, url, threads, files)
                            b.append(seconds)
                            mem_b = max(mem_b, peak)
                        else:
                            c.append(run_curl(work, url, threads, bodies))
                ma, mb, mc = statistics.median(a), statistics.median(b), statistics.median(c)
                # Ratios of throughput (higher is better): the reference's time over (a)'s.
                print("| %d | %.2f s | %.2f s | %.2f s | %.3f | %.3f | %.0f MiB | %.0f MiB |"
                      % (threads, ma, mb, mc, mb / ma, mc / ma, mem_a / 1024, mem_b / 1024))
            print()
            print("a/b: goal at least 0.9 (the list, the panel and the notifications cost under 10%).")


if __name__ == "__main__":
    main()
