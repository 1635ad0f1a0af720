#!/usr/bin/env python3
"""Drives list_bench (painting and memory with 1,000 items) and a page in the page host that adds
300 photos with "addFile" (time until every thumbnail shows, longest silence of the window
thread), and times vipsthumbnail on the same 300 files. Prints a table with ratios."""
import glob
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
from photos import link_names, make_photos, run  # noqa: E402

build, rounds = sys.argv[1], int(sys.argv[2])
root = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
BUDGET_MS = 1000.0 / 60.0
LOADED = 300
PAINTED = 1000


def windows_path(path):
    return "Z:" + path.replace("/", "\\")


def small_photos(sources, folder):
    """1600 x 1200 copies: the paint benchmark needs 1,000 thumbnails, not 1,000 decodes of 12 MP."""
    os.makedirs(folder, exist_ok=True)
    out = []
    for source in sources:
        target = os.path.join(folder, os.path.basename(source))
        if not os.path.exists(target):
            run(["/usr/bin/convert", source, "-resize", "1600x1200", "-quality", "90", target],
                os.path.join(folder, "make.log"))
        out.append(target)
    return out


def page_script(paths, log_name):
    adds = "\n".join('control.postMessage(\'{"name":"addFile","path":"%s"}\');'
                     % windows_path(p).replace("\\", "\\\\\\\\") for p in paths)
    return r"""
var fso = new ActiveXObject("Scripting.FileSystemObject");
var shell = new ActiveXObject("WScript.Shell");
var log = shell.ExpandEnvironmentStrings("%%LOCALAPPDATA%%") + "\\Fotoloft\\Logs\\%(log)s";
control.recvMessage = function (text) {};
control.postMessage('{"name":"init","config":{"Debug":true,"LogFile":"%(log)s"}}');
function loaded() {
    if (!fso.FileExists(log)) return false;
    var f = fso.OpenTextFile(log, 1);
    var text = f.AtEndOfStream ? "" : f.ReadAll();
    f.Close();
    return text.indexOf("thumbnails loaded: %(count)d items") >= 0;
}
var start = new Date().getTime();
%(adds)s
var added = new Date().getTime();
var last = added, maxGap = 0, done = false, ticks = 0;
while (!done && last - start < 600000) {
    host.sleep(10);
    control.postMessage('{"name":"ping"}');
    var now = new Date().getTime();
    if (now - last - 10 > maxGap) maxGap = now - last - 10;
    last = now;
    if (++ticks %% 10 == 0) done = loaded();
}
host.echo("adds " + (added - start));
host.echo("loaded " + (done ? (last - start) : -1));
host.echo("silence " + maxGap);
host.quit(done ? 0 : 1);
""" % {"log": log_name, "count": len(paths), "adds": adds}


def vips_rate(paths, processes, out_folder):
    """Seconds for vipsthumbnail -s 120 over the paths, split over `processes` processes."""
    shutil.rmtree(out_folder, ignore_errors=True)
    os.makedirs(out_folder)
    env = dict(os.environ, VIPS_CONCURRENCY="1")
    chunks = [paths[i::processes] for i in range(processes)]
    start = time.perf_counter()
    running = [subprocess.Popen(["vipsthumbnail", "-s", "120", "-o", os.path.join(out_folder, "%s.jpg")] + chunk,
                                stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, env=env)
               for chunk in chunks if chunk]
    if any(p.wait() != 0 for p in running):
        sys.exit("vipsthumbnail failed")
    return time.perf_counter() - start


def main():
    bench_dir = os.path.join(build, "bench")
    photos = make_photos(os.path.join(bench_dir, "photos"))
    small = small_photos(photos, os.path.join(bench_dir, "photos-1600"))
    with tempfile.TemporaryDirectory() as work:
        # Painting and memory with 1,000 items.
        painted = link_names(small, os.path.join(work, "painted"), PAINTED)
        text = run(["wine", os.path.join(bench_dir, "list_bench.exe"), windows_path(os.path.dirname(painted[0])),
                    str(rounds)], os.path.join(work, "list_bench.log"))
        figures = dict(re.findall(r"^paint (\w+) ([0-9.]+)", text, re.M))
        memory = {label: (int(n), float(c)) for label, n, c, _ in re.findall(r"^memory (\w+) (\d+) ([0-9.]+) ([0-9.]+)", text, re.M)}
        if len(figures) != 3 or len(memory) != 2:
            sys.exit("incomplete output from list_bench:\n" + text)
        per_item = (memory["loaded"][1] - memory["empty"][1]) / memory["loaded"][0]

        # 300 photos through the page.
        loaded = link_names(photos, os.path.join(work, "loaded"), LOADED)
        script = os.path.join(work, "load.js")
        with open(script, "w") as f:
            f.write(page_script(loaded, "listbench.log"))
        page = run([os.path.join(root, "scripts", "page"), script, "--timeout", "900"], os.path.join(work, "page.log"))
        result = dict(re.findall(r"^(adds|loaded|silence) (-?\d+)", page, re.M))
        if result.get("loaded", "-1") == "-1":
            sys.exit("the page did not see every thumbnail:\n" + page)
        ours = float(result["loaded"]) / 1000.0
        threads = os.cpu_count() or 1
        vips = vips_rate(loaded, threads, os.path.join(work, "vips"))

    print(f"| measure | ours | reference | ratio | goal |")
    print(f"|---|---|---|---|---|")
    print(f"| full repaint, {PAINTED} items, {os.path.basename(build)} | {float(figures['full']):.2f} ms | "
          f"back-buffer copy only {float(figures['reference']):.2f} ms; budget {BUDGET_MS:.1f} ms | "
          f"{float(figures['full']) / BUDGET_MS:.2f} of the budget | <= 1.00 |")
    print(f"| one-cell hover repaint | {float(figures['hover']):.2f} ms | budget {BUDGET_MS:.1f} ms | "
          f"{float(figures['hover']) / BUDGET_MS:.2f} of the budget | |")
    print(f"| memory per item, {memory['loaded'][0]} items with thumbnails | {per_item:.3f} MiB | 0.5 MiB | "
          f"{per_item / 0.5:.2f} of the goal | <= 1.00 |")
    print(f"| {LOADED} photos of 12 MP until every thumbnail shows ({threads} threads) | {ours:.2f} s "
          f"({LOADED / ours:.1f}/s) | vipsthumbnail x{threads}: {vips:.2f} s ({LOADED / vips:.1f}/s) | "
          f"{vips / ours:.2f} of vips's rate | >= 0.80 |")
    print(f"| longest silence of the window thread while loading | {result['silence']} ms | 50 ms | "
          f"{float(result['silence']) / 50:.2f} of the goal | <= 1.00 |")
    print(f"| the page's {LOADED} addFile calls | {result['adds']} ms | | | |")


if __name__ == "__main__":
    main()
