#!/usr/bin/env python3
"""web/fotoloft.js in the real page host against the Python sample server: the page
(fotoloft_js_page.js) checks the events and the order of the calls; this side checks that
the picture the control sent was stored with the hash the server reported."""
import hashlib
import json
import os
import re
import subprocess
import sys
import tempfile
import time

SOURCE = os.environ.get("FOTOLOFT_SOURCE_DIR", os.path.join(os.path.dirname(__file__), "..", ".."))
HERE = os.path.dirname(os.path.abspath(__file__))


def winpath(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def main():
    with tempfile.TemporaryDirectory(prefix="fotoloft-js-") as work:
        folder = os.path.join(work, "uploads")
        picture = os.path.join(work, "Beach.jpg")
        subprocess.run(["/usr/bin/convert", "-size", "320x200", "plasma:fractal", "jpeg:" + picture], check=True,
                       stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        log = os.path.join(work, "server.log")
        with open(log, "wb") as out:
            server = subprocess.Popen([sys.executable, os.path.join(SOURCE, "examples", "server", "python", "server.py"),
                                       "--port", "0", "--folder", folder], stdin=subprocess.DEVNULL, stdout=out,
                                      stderr=subprocess.STDOUT)
        try:
            url = None
            for _ in range(300):
                with open(log, errors="replace") as f:
                    match = re.search(r"listening on (http://\S+)", f.read())
                if match or server.poll() is not None:
                    break
                time.sleep(0.05)
            if not match:
                print("FAIL: the sample server did not start")
                return 1
            url = match.group(1)
            page = os.path.join(work, "page.js")
            with open(page, "w", encoding="utf-8") as f:
                f.write(open(os.path.join(SOURCE, "web", "fotoloft.js"), encoding="utf-8").read())
                f.write("\nvar UPLOAD_URL = %s;\nvar PICTURE = %s;\n" % (json.dumps(url), json.dumps(winpath(picture))))
                f.write(open(os.path.join(HERE, "fotoloft_js_page.js"), encoding="utf-8").read())
            out, err = os.path.join(work, "page.out"), os.path.join(work, "page.err")
            with open(out, "wb") as o, open(err, "wb") as e:
                rc = subprocess.run([os.path.join(SOURCE, "scripts", "page"), page, "--size", "800x500", "--timeout", "120"],
                                    stdin=subprocess.DEVNULL, stdout=o, stderr=e).returncode
            text = open(out, encoding="utf-8", errors="replace").read()
            print(text, open(err, encoding="utf-8", errors="replace").read(), sep="")
            failed = rc != 0 or "FAIL" in text
            stored = re.search(r"^STORED (\S+) ([0-9a-f]{64})$", text, re.M)
            path = os.path.join(folder, stored.group(1)) if stored else None
            if rc != 0:
                print("FAIL: the page ended with code %d" % rc)
            if not stored:
                print("FAIL: no stored file reported")
            elif not os.path.isfile(path):
                print("FAIL: %s was not stored" % stored.group(1))
            elif hashlib.sha256(open(path, "rb").read()).hexdigest() != stored.group(2):
                print("FAIL: the stored bytes differ from what the server reported")
            else:
                stored = "ok"
            if failed or stored != "ok":
                return 1
            print("fotoloft.js: all checks passed")
            return 0
        finally:
            server.terminate()
            server.wait(10)


if __name__ == "__main__":
    sys.exit(main())
