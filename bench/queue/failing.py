#!/usr/bin/env python3
"""The upload task through a failing server: 200 small pictures, the control in the page host,
timed by the page from the click on the upload button to "post_complete", once through a
server that never fails (/record) and once through one that fails a fifth of the files' first
tries (/flaky?every=5&fails=1: a reset after the body), in the same run, rounds alternated.
The control's default "RetryDelays" ([1000, 3000, 10000]) and ThreadCount 3.

  failing.py BUILD_DIR ROUNDS

Goal: the failing run at most the failing share times the first retry delay above the clean
one: a file waiting for its retry holds no worker, so the waits overlap with the other
files' uploads. Printed next to what retries that held their worker through the wait would
add (share x files x first delay / ThreadCount)."""
import os
import re
import statistics
import struct
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(ROOT, "tests", "upload"))
sys.path.insert(0, os.path.join(ROOT, "bench"))
import machine  # noqa: E402
import servers  # noqa: E402

BUILD = sys.argv[1]
ROUNDS = int(sys.argv[2]) if len(sys.argv) > 2 else 1
COUNT, THREADS, SHARE, FIRST_DELAY = 200, 3, 0.2, 1.0
UPLOAD_BUTTON = (136, 16)
FOLDER = os.path.join(BUILD, "bench", "queue-small")


def bmp(path, width, height, seed):
    """A 24-bit BMP whose pattern depends on seed (so no two are the same picture)."""
    row = (width * 3 + 3) & ~3
    pixels = bytearray()
    for y in range(height):
        line = bytearray()
        for x in range(width):
            line += bytes(((x * 5 + seed * 7) & 255, (y * 3 + seed * 13) & 255, ((x ^ y) + seed) & 255))
        pixels += line + b"\0" * (row - len(line))
    header = struct.pack("<2sIHHI", b"BM", 54 + len(pixels), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    with open(path, "wb") as f:
        f.write(header + info + pixels)


def pictures():
    os.makedirs(FOLDER, exist_ok=True)
    paths = [os.path.join(FOLDER, "small%03d.bmp" % i) for i in range(COUNT)]
    for i, path in enumerate(paths):
        if not os.path.exists(path):
            bmp(path, 96, 72, i)
    return paths


def js_string(text):
    return "'" + text.replace("\\", "\\\\").replace("'", "\\'") + "'"


def json_string(text):
    return '"' + text.replace("\\", "\\\\").replace('"', '\\"') + '"'


def run_page(work, url, files):
    adds = "\n".join("control.postMessage(%s);" % js_string('{"name":"addFile","path":%s}' % json_string(servers.winepath(p)))
                     for p in files)
    script = os.path.join(work, "failing.js")
    with open(script, "w", encoding="utf-8") as f:
        f.write("""
var complete = null;
control.recvMessage = function (text) { if (text.indexOf('"post_complete"') >= 0) complete = text; };
control.postMessage(%s);
%s
host.sleep(4000);  // the thumbnails
var start = new Date().getTime();
host.click(%d, %d);
while (complete === null && new Date().getTime() - start < 600000) host.sleep(5);
var ms = new Date().getTime() - start;
if (complete === null) { host.echo("no post_complete"); host.quit(1); }
var message = eval("(" + complete + ")");
host.echo("control " + ms + " " + (message.imgs ? message.imgs.length : 0));
""" % (js_string('{"name":"init","config":{"PostUrl":%s,"ThreadCount":%d}}' % (json_string(url), THREADS)), adds,
           UPLOAD_BUTTON[0], UPLOAD_BUTTON[1]))
    out = os.path.join(work, "page.txt")
    with open(out, "wb") as o:
        rc = subprocess.run([os.path.join(ROOT, "scripts", "page"), script, "--size", "800x500", "--timeout", "900"],
                            stdin=subprocess.DEVNULL, stdout=o, stderr=subprocess.STDOUT).returncode
    text = open(out, encoding="utf-8", errors="replace").read()
    match = re.search(r"^control (\d+) (\d+)", text, re.M)
    if rc != 0 or not match or int(match.group(2)) != len(files):
        sys.exit("the control's run failed (%d):\n%s" % (rc, text[-2000:]))
    return int(match.group(1)) / 1000


def main():
    files = pictures()
    with tempfile.TemporaryDirectory(prefix="fotoloft-failing-") as work:
        with servers.RecordingServer(os.path.join(work, "rec")) as server:
            clean, failing = [], []
            for r in range(ROUNDS):
                for which in (("clean", "failing") if r % 2 == 0 else ("failing", "clean")):
                    if which == "clean":
                        clean.append(run_page(work, server.url("/record"), files))
                    else:
                        failing.append(run_page(work, server.url("/flaky?every=5&fails=1"), files))
            mc, mf = statistics.median(clean), statistics.median(failing)
            held = SHARE * COUNT * FIRST_DELAY / THREADS
            print("%d pictures of 96 x 72, ThreadCount %d, RetryDelays [1000, 3000, 10000]; medians of %d round(s);"
                  " Wine ran %s" % (COUNT, THREADS, ROUNDS, machine.how_wine_runs()))
            print()
            print("| server | press to post_complete | above the clean run |")
            print("|---|---|---|")
            print("| never fails | %.2f s | |" % mc)
            print("| fails a fifth of the first tries | %.2f s | %+.2f s |" % (mf, mf - mc))
            print()
            print("Retries that held their worker through the wait would add about %.1f s "
                  "(share x files x first delay / ThreadCount); one first retry delay is %.1f s." % (held, FIRST_DELAY))
            print("rounds: clean %s; failing %s" % (", ".join("%.2f" % t for t in clean),
                                                    ", ".join("%.2f" % t for t in failing)))


if __name__ == "__main__":
    main()
