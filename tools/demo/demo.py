#!/usr/bin/env python3
"""The demo's steps after the build (scripts/demo runs it): samples, server, page, checks."""
import hashlib
import json
import os
import re
import shutil
import socket
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(ROOT, "bench"))
import photos  # noqa: E402

BUILD = os.environ.get("FOTOLOFT_BUILD_DIR", os.path.join(ROOT, "build"))
WORK = os.path.join(BUILD, "demo")
SAMPLES = os.path.join(WORK, "samples")
RECEIVED = os.path.join(WORK, "received")
REFERENCE = os.path.join(WORK, "reference")
SHOTS = os.path.join(WORK, "screenshots")
SERVER = os.path.join(ROOT, "examples", "server", "python", "server.py")
UPLOAD_BUTTON = (136, 16)  # the middle of the upload button (84 x 24 at 94, 4)
THREADS = 3


def winpath(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


class Server:
    """The bundled receiving server on a free loopback port, storing into folder."""

    def __init__(self, folder, log):
        os.makedirs(folder, exist_ok=True)
        self.log = open(log, "wb")
        self.process = subprocess.Popen(
            [sys.executable, SERVER, "--host", "127.0.0.1", "--port", "0", "--folder", folder],
            stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=self.log)
        line = self.process.stdout.readline().decode()
        match = re.search(r"(http://\S+)", line)
        if not match:
            self.stop()
            sys.exit("demo: the receiving server did not start: " + line)
        self.url = match.group(1)

    def stop(self):
        if self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(5)
            except subprocess.TimeoutExpired:
                self.process.kill()
        self.log.close()


def page_script(url, samples):
    """Init, add the samples, screenshot, click upload, screenshot, wait, screenshot, print."""
    adds = "\n".join('control.postMessage(%s);' % json.dumps(json.dumps({"name": "addFile", "path": winpath(p)}))
                     for p in samples)
    init = json.dumps({"name": "init", "config": {"PostUrl": url, "ThreadCount": THREADS}})
    shot = lambda name: json.dumps(winpath(os.path.join(SHOTS, name)))  # noqa: E731
    return f"""
var complete = null;
control.recvMessage = function (text) {{
    var message = eval("(" + text + ")");
    if (message.name === "post_complete") complete = text;
}};
control.postMessage({json.dumps(init)});
{adds}
host.sleep(1500);  // the thumbnails
host.screenshot({shot("before.png")});
host.click({UPLOAD_BUTTON[0]}, {UPLOAD_BUTTON[1]});
host.sleep(150);
host.screenshot({shot("during.png")});
for (var waited = 0; complete === null && waited < 240000; waited += 100) host.sleep(100);
host.sleep(300);
host.screenshot({shot("after.png")});
if (complete === null) {{ host.echo("no post_complete"); host.quit(1); }}
host.echo(complete.replace(/\\s+$/, ""));
"""


def reference_hashes(samples, log_folder):
    """SHA-256 of each sample as the control prepares it: scripts/post prepares and posts it
    through the same code to a server of its own, which answers the hash of what it got."""
    server = Server(REFERENCE, os.path.join(log_folder, "reference-server.log"))
    try:
        hashes = {}
        for path in samples:
            out = subprocess.run([os.path.join(ROOT, "scripts", "post"), server.url, path],
                                 stdin=subprocess.DEVNULL, capture_output=True, text=True)
            try:
                hashes[os.path.basename(path)] = json.loads(out.stdout.strip().splitlines()[-1])["svr"]["sha256"]
            except (ValueError, KeyError, IndexError):
                sys.exit("demo: scripts/post could not prepare %s: %s %s" % (path, out.stdout, out.stderr))
        return hashes
    finally:
        server.stop()


def main():
    show = "--show" in sys.argv[1:]
    for folder in (RECEIVED, REFERENCE, SHOTS):
        shutil.rmtree(folder, ignore_errors=True)
        os.makedirs(folder)
    samples = photos.make_photos(SAMPLES, count=6, width=2400, height=1800)
    print("samples:    %d pictures in %s" % (len(samples), SAMPLES))
    expected = reference_hashes(samples, WORK)

    server = Server(RECEIVED, os.path.join(WORK, "server.log"))
    try:
        print("server:     %s storing into %s" % (server.url, RECEIVED))
        script = os.path.join(WORK, "demo.js")
        with open(script, "w", encoding="utf-8") as f:
            f.write(page_script(server.url, samples))
        args = [os.path.join(ROOT, "scripts", "page"), script, "--size", "800x500", "--timeout", "300"]
        if show:
            args.append("--show")
            print("page:       on screen; close its window to end the demo")
        run = subprocess.run(args, stdin=subprocess.DEVNULL, capture_output=True, text=True)
    finally:
        server.stop()

    lines = [l for l in run.stdout.splitlines() if l.strip()]
    complete = next((l for l in lines if '"post_complete"' in l), None)
    if run.returncode != 0 or complete is None:
        print(run.stdout + run.stderr, file=sys.stderr)
        print("demo: the page did not receive post_complete (code %d)" % run.returncode, file=sys.stderr)
        return 1
    print("post_complete:")
    print(complete)

    failures = []
    imgs = json.loads(complete).get("imgs", [])
    got = sorted(img.get("svr", {}).get("sha256", "") for img in imgs)
    want = sorted(expected.values())
    if len(imgs) != len(samples):
        failures.append("%d of %d files reported uploaded" % (len(imgs), len(samples)))
    if got != want:
        failures.append("the uploaded pictures' SHA-256 differ from the prepared pictures'")
    stored = {}
    for name in os.listdir(RECEIVED):
        with open(os.path.join(RECEIVED, name), "rb") as f:
            stored[name] = hashlib.sha256(f.read()).hexdigest()
    for img in imgs:
        reply = img.get("svr", {})
        if stored.get(reply.get("file")) != reply.get("sha256"):
            failures.append("file %s not stored intact" % img.get("id"))
    print("received:   %d files in %s" % (len(stored), RECEIVED))
    print("screenshots: %s (before.png, during.png, after.png)" % SHOTS)
    for failure in failures:
        print("FAIL: " + failure, file=sys.stderr)
    if not failures:
        print("every picture arrived with the SHA-256 of the picture the control prepared")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
