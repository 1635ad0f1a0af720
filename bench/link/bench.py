#!/usr/bin/env python3
"""The whole control in the page host uploading 20 photos through a link of 50 Mbit/s with
20 ms each way (shaper.py), against the time the bytes it sent need at that rate; ThreadCount
1, 3 and 5 with "SendOriginal", then the default settings, whose bytes are set against the
originals'. curl sending the same files through the same link, as many at a time, shows what
the link itself allows (a native tool: meaningful when Wine runs natively, and only as a check
of the link, since the link is the limit)."""
import os
import re
import subprocess
import sys
import tempfile
import threading
import time

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(ROOT, "tests", "upload"))
sys.path.insert(0, os.path.join(ROOT, "bench"))
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import machine  # noqa: E402
import photos  # noqa: E402
import servers  # noqa: E402
import shaper  # noqa: E402

BUILD = sys.argv[1]
ROUNDS = int(sys.argv[2]) if len(sys.argv) > 2 else 1
PHOTOS = os.path.join(BUILD, "bench", "photos")  # bench/thumbs' 20 photos of 4000 x 3000
COUNT = 20
RATE_BITS, DELAY = 50e6, 0.020
THREADS = (1, 3, 5)
UPLOAD_BUTTON = (136, 16)  # the middle of the upload button


def json_string(text):
    return '"' + text.replace("\\", "\\\\").replace('"', '\\"') + '"'


def js_string(text):
    return "'" + text.replace("\\", "\\\\").replace("'", "\\'") + "'"


def page_script(url, threads, send_original, files):
    config = '"PostUrl":%s' % json_string(url)
    if threads:
        config += ',"ThreadCount":%d' % threads
    if send_original:
        config += ',"SendOriginal":true'
    adds = "\n".join("control.postMessage(%s);" % js_string('{"name":"addFile","path":%s}'
                                                             % json_string(servers.winepath(p))) for p in files)
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
if (complete === null) { host.echo("no post_complete"); host.quit(1); }
var message = eval("(" + complete + ")");
host.echo("control " + ms + " " + (message.imgs ? message.imgs.length : 0));
""" % (js_string('{"name":"init","config":{%s}}' % config), adds, UPLOAD_BUTTON[0], UPLOAD_BUTTON[1])


def run_control(work, link, threads, send_original, files):
    script = os.path.join(work, "link%d.js" % threads)
    with open(script, "w", encoding="utf-8") as f:
        f.write(page_script(link.url("/hash"), threads, send_original, files))
    out = os.path.join(work, "page.txt")
    link.reset()
    time.sleep(0.2)
    with open(out, "wb") as o:
        rc = subprocess.run([os.path.join(ROOT, "scripts", "page"), script, "--size", "800x500", "--timeout", "900"],
                            stdin=subprocess.DEVNULL, stdout=o, stderr=subprocess.STDOUT).returncode
    text = open(out, encoding="utf-8", errors="replace").read()
    match = re.search(r"^control (\d+) (\d+)", text, re.M)
    if rc != 0 or not match or int(match.group(2)) != len(files):
        sys.exit("the control's run failed (%d):\n%s" % (rc, text[-2000:]))
    return int(match.group(1)) / 1000, link.up.bytes, link.connections


def run_curl(work, link, threads, files):
    pending = list(files)
    lock = threading.Lock()
    failed = []

    def worker(n):
        while True:
            with lock:
                if not pending:
                    return
                path = pending.pop(0)
            with open(os.path.join(work, "curl%d.txt" % n), "wb") as o:
                rc = subprocess.run(["curl", "-sS", "--fail", "-o", "/dev/null", "-H", "Expect:",
                                     "-F", "file=@" + path + ";type=image/jpeg", link.url("/hash")],
                                    stdin=subprocess.DEVNULL, stdout=o, stderr=subprocess.STDOUT).returncode
            if rc != 0:
                failed.append(path)

    link.reset()
    time.sleep(0.2)
    start = time.perf_counter()
    workers = [threading.Thread(target=worker, args=(n,)) for n in range(threads)]
    for w in workers:
        w.start()
    for w in workers:
        w.join()
    if failed:
        sys.exit("curl failed on %d files" % len(failed))
    return time.perf_counter() - start, link.up.bytes


def main():
    heading = machine.heading()
    files = photos.make_photos(PHOTOS, COUNT)
    if len(files) != COUNT:
        sys.exit("could not make the photos")
    originals = sum(os.path.getsize(p) for p in files)
    rate = RATE_BITS / 8
    rows = []
    with tempfile.TemporaryDirectory(prefix="fotoloft-link-") as work:
        with servers.RecordingServer(os.path.join(work, "rec")) as server, \
                shaper.Shaper(("127.0.0.1", server.port), RATE_BITS, DELAY) as link:
            cases = [(n, True) for n in THREADS] + [(0, False)]
            for threads, send_original in cases:
                best = None
                for _ in range(ROUNDS):
                    seconds, sent, connections = run_control(work, link, threads, send_original, files)
                    if best is None or seconds < best[0]:
                        best = (seconds, sent, connections)
                seconds, sent, connections = best
                need = sent / rate
                curl_s, curl_sent = run_curl(work, link, threads or 3, files)
                rows.append("| %s | %.2f s | %.1f MB (%.3f of the originals), %d connections | %.2f s | %.3f | "
                            "%.2f s (%.3f of the link) |"
                            % ("%d, SendOriginal" % threads if send_original else "default (3), default settings",
                               seconds, sent / 1e6, sent / originals, connections, need, need / seconds,
                               curl_s, (curl_sent / rate) / curl_s))
    print(heading)
    print("%d photos of 4000 x 3000, %.1f MB in all; a link of %.0f Mbit/s with %.0f ms each way (a round trip "
          "before each connection's first bytes, at most 100 ms of bytes queued); best of %d round(s)."
          % (COUNT, originals / 1e6, RATE_BITS / 1e6, DELAY * 1000, ROUNDS))
    print()
    print("| ThreadCount | control, click to post_complete | bytes sent | the bytes at the link's rate | "
          "share of the link (goal 0.9) | curl, the same files as many at a time |")
    print("|---|---|---|---|---|---|")
    for row in rows:
        print(row)


if __name__ == "__main__":
    main()
