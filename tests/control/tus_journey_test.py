#!/usr/bin/env python3
"""Resumable uploads ("Protocol":"tus") through the page host, against the real tus server
behind a proxy of the tests' own:

  1. Click upload; the link is cut once under a picture: the band shows the upload, the
     picture's progress goes on from the server's offset (it does not start again from 0),
     and "post_complete" lists every picture with its upload's address, each upload whole
     on the server.
  2. Cancel while two pictures are on their way over a slow link: both uploads are deleted
     from the server, the pictures stay in the list.
"""
import json
import os
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, HERE)
sys.path.insert(0, os.path.join(ROOT, "tests", "upload"))
import panel_journey_test as panel  # noqa: E402
from panel_journey_test import UPLOAD_CLICK, check, shot, winpath  # noqa: E402
from tus_servers import CuttingProxy, TusServer  # noqa: E402

CHUNK = 65536

TUS_HEAD = """
function initTus(url, threads) {
    control.postMessage('{"name":"init","config":{"PostUrl":"' + url + '","ThreadCount":' + threads +
        ',"Protocol":"tus","ChunkSize":%d,"Events":true,"RetryDelays":[300,1000]}}');
}
function dump() { for (var i = 0; i < messages.length; i++) host.echo("MSG " + messages[i].replace(/\\s+$/, "")); }
// A message's name, and its picture's id and bytes sent (file_progress).
function nameOf(m) { var r = /"name":"([a-z_]+)"/.exec(m); return r ? r[1] : ""; }
function idOf(m) { var r = /"id":"([0-9a-f]+)"/.exec(m); return r ? r[1] : ""; }
function sentOf(m) { var r = /"sent":([0-9]+)/.exec(m); return r ? Number(r[1]) : 0; }
// Waits (bounded) until a message satisfies the test.
function waitMessage(test, what) {
    for (var waited = 0; waited < 90000; waited += 50) {
        for (var i = 0; i < messages.length; i++)
            if (test(messages[i])) return messages[i];
        host.sleep(50);
    }
    host.echo("TIMEOUT waiting for " + what);
    dump();
    host.quit(3);
}
""" % CHUNK


def make_pictures(folder, count):
    paths = []
    for i in range(count):
        path = os.path.join(folder, f"tus{i}.jpg")
        subprocess.run(["/usr/bin/convert", "-size", "1200x900", "plasma:fractal", "-seed", str(i + 1),
                        "-quality", "95", path], check=True, stdin=subprocess.DEVNULL)
        paths.append(path)
    return paths


def run(work, name, body):
    script = os.path.join(work, name + ".js")
    with open(script, "w", encoding="utf-8") as f:
        f.write(panel.PAGE_HEAD + TUS_HEAD + body + "\ndump();\n")
    out, err = os.path.join(work, name + ".out"), os.path.join(work, name + ".err")
    with open(out, "w") as o, open(err, "w") as e:
        rc = subprocess.run([os.path.join(ROOT, "scripts", "page"), script, "--size", f"{panel.WIDTH}x{panel.HEIGHT}",
                             "--timeout", "200"], stdin=subprocess.DEVNULL, stdout=o, stderr=e).returncode
    with open(out, encoding="utf-8", errors="replace") as f:
        text = f.read()
    check(rc == 0, f"{name}: page exit {rc}: {text[-800:]}")
    return [json.loads(line[4:]) for line in text.splitlines() if line.startswith("MSG ")]


def journey_cut(work, pictures):
    with TusServer(os.path.join(work, "cut-server")) as server, \
            CuttingProxy(server.port, rate=1000000) as proxy:
        # Cut once, in the middle of a chunk of the first picture sent (pictures of about
        # 1.5 MB as prepared); a rate that gives the page several progress reports a picture.
        proxy.arm([1.0], 1000000 + CHUNK // 2)
        body = f"""
initTus("{proxy.url()}", 1);
""" + "".join(f"add({json.dumps(winpath(p))});\n" for p in pictures) + f"""
host.sleep(500);
host.click({UPLOAD_CLICK[0]}, {UPLOAD_CLICK[1]});
waitMessage(function (m) {{ return nameOf(m) == "file_progress" && sentOf(m) > 0; }}, "progress");
host.sleep(200);
host.screenshot({json.dumps(winpath(shot(work, "tus-uploading")))});
waitMessage(function (m) {{ return nameOf(m) == "post_complete"; }}, "post_complete");
host.sleep(300);
host.screenshot({json.dumps(winpath(shot(work, "tus-after")))});
"""
        messages = run(work, "tus-cut", body)
        check(proxy.cut_count == 1, f"cut: the proxy cut {proxy.cut_count} times")
        completes = [m for m in messages if m.get("name") == "post_complete"]
        check(len(completes) == 1 and len(completes[0].get("imgs", [])) == 3,
              f"cut: one post_complete with three pictures, got {completes}")
        uploads = server.uploads()
        check(len(uploads) == 3, f"cut: the server holds {len(uploads)} uploads, not 3")
        check(server.count("created") == 3, f"cut: {server.count('created')} uploads created, not 3")
        for img in completes[0].get("imgs", []) if completes else []:
            location = img.get("svr", {}).get("location", "")
            ident = location.rsplit("/", 1)[-1]
            check(location.startswith(proxy.url() + "/"), f"cut: location {location}")
            info, data = uploads.get(ident, (None, None))
            check(info is not None and data is not None and len(data) == info["size"] and data[:2] == b"\xff\xd8",
                  f"cut: the upload {ident} is not whole on the server")
            check(info is not None and info["metadata"].get("id") == img["id"], f"cut: metadata of {ident}")
        # A picture's progress drops back only by what was on its way when the link broke,
        # never to the start: a resume goes on from the server's offset.
        sent = {}
        for m in messages:
            if m.get("name") == "file_progress":
                sent.setdefault(m["id"], []).append(m["sent"])
        for ident, series in sent.items():
            drops = [(a, b) for a, b in zip(series, series[1:]) if b < a]
            check(all(b >= a / 2 for a, b in drops), f"cut: picture {ident} started again ({series})")
        total = sum(len(d) for _, d in uploads.values())
        check(proxy.sent < 1.3 * total, f"cut: {proxy.sent} bytes sent for {total}")
        for name, state in (("tus-uploading", "Uploading"), ("tus-after", "Empty")):
            if os.path.exists(shot(work, name)):
                panel.check_state(shot(work, name), state)
            else:
                check(False, f"no screenshot {name}")


def journey_cancel(work, pictures):
    with TusServer(os.path.join(work, "cancel-server")) as server, \
            CuttingProxy(server.port, rate=200000) as slow:
        body = f"""
initTus("{slow.url()}", 2);
""" + "".join(f"add({json.dumps(winpath(p))});\n" for p in pictures) + f"""
host.sleep(500);
host.click({UPLOAD_CLICK[0]}, {UPLOAD_CLICK[1]});
var seen = {{}};
waitMessage(function (m) {{
    if (nameOf(m) == "file_progress" && sentOf(m) >= {2 * CHUNK}) seen[idOf(m)] = 1;
    var n = 0; for (var k in seen) n++;
    return n >= 2;
}}, "two pictures on their way");
host.screenshot({json.dumps(winpath(shot(work, "tus-cancel-uploading")))});
host.click({UPLOAD_CLICK[0]}, {UPLOAD_CLICK[1]});
waitMessage(function (m) {{ return nameOf(m) == "task_summary"; }}, "task_summary");
host.sleep(300);
host.screenshot({json.dumps(winpath(shot(work, "tus-cancel-after")))});
"""
        messages = run(work, "tus-cancel", body)
        failed = [m for m in messages if m.get("name") == "file_failed"]
        check(len(failed) == 2 and all(m.get("reason") == "stopped" for m in failed),
              f"cancel: two pictures stopped, got {failed}")
        check(not any(m.get("name") == "file_done" for m in messages), "cancel: a picture finished")
        check(server.count("created") == 2, f"cancel: {server.count('created')} uploads created, not 2")
        check(server.count("terminated") == 2, f"cancel: {server.count('terminated')} uploads deleted, not 2")
        check(not server.uploads(), f"cancel: the server still holds {list(server.uploads())}")
        for name, state in (("tus-cancel-uploading", "Uploading"), ("tus-cancel-after", "Filled")):
            if os.path.exists(shot(work, name)):
                panel.check_state(shot(work, name), state)
            else:
                check(False, f"no screenshot {name}")


def main():
    only = sys.argv[1:]
    with tempfile.TemporaryDirectory(prefix="fotoloft-tus-page-") as work:
        work = os.environ.get("FOTOLOFT_PANEL_WORK", work)
        os.makedirs(work, exist_ok=True)
        pictures = make_pictures(work, 3)
        for journey in (journey_cut, journey_cancel):
            if not only or journey.__name__ in only:
                journey(work, pictures)
                print(f"{journey.__name__}: done")
    print("%d failure(s)" % len(panel.failures))
    return 1 if panel.failures else 0


if __name__ == "__main__":
    sys.exit(main())
