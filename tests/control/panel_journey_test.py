#!/usr/bin/env python3
"""The main panel's journeys in the page host, against a loopback server, with clicks and
screenshots: the buttons are recognised at their places by the skin image they show.

  1. Empty -> Filled -> Uploading -> Empty: three files, every one uploaded.
  2. Cancel half-way: two files accepted, the third held by the server when cancel is
     pressed; the two are reported and leave, the other three stay and upload on the next
     press.
  3. A file the server refuses once stays in the list and succeeds on the next press.
  4. A file the server refuses with a status shows the reason on its band and, hovered, in a
     sentence over its picture; the next press sends it alone.
  5. The sort box (a native child of the control window): picking "by file name" with the
     mouse orders the list, which the upload order shows; while uploading, the box takes no
     choice and still shows the order the list is in.

With --docs DIR it instead writes the panel at 400 x 300 and 1200 x 800 (empty and with
photos) and the hint line at the end of a task into DIR.
"""
import json
import os
import re
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, os.path.join(ROOT, "tests", "upload"))
import servers  # noqa: E402

SKIN = os.path.join(ROOT, "res", "skin")
WIDTH, HEIGHT = 800, 500
STRIP = "rgb(230,242,253)"  # the button strip behind the top row
LIST_AREA = "rgb(243,243,243)"  # behind the big add button
ADD = (6, 4, 84, 24)
UPLOAD = (94, 4, 84, 24)
# The big add button and its line (70 pixels below its top, a 16-pixel line) as one block in
# the middle of the list area, which runs from 57 to the bottom border.
BIG_ADD = ((WIDTH - 203) // 2, 57 + (HEIGHT - 58 - (51 + 19 + 16)) // 2, 203, 51)
UPLOAD_CLICK = (UPLOAD[0] + 42, UPLOAD[1] + 12)
SORT_BOX = (WIDTH - 10 - 86, 4, 86, 18)  # the closed box
SORT_OPEN = (WIDTH - 10 - 43, 12)
SORT_ENTRY_TOP, SORT_ENTRY_HEIGHT = 24, 14  # the dropped list, under the box


def sort_entry(index):
    return (WIDTH - 10 - 43, SORT_ENTRY_TOP + SORT_ENTRY_HEIGHT * index + SORT_ENTRY_HEIGHT // 2)

failures = []


def check(ok, what):
    if not ok:
        failures.append(what)
        print("FAIL: " + what)


def difference(shot, region, skin, background):
    """Root-mean-square difference between the screenshot's region and the skin image drawn
    over the background, 0 (same) to 1."""
    x, y, w, h = region
    with tempfile.TemporaryDirectory() as folder:
        seen, drawn = os.path.join(folder, "seen.png"), os.path.join(folder, "drawn.png")
        subprocess.run(["/usr/bin/convert", shot, "-crop", f"{w}x{h}+{x}+{y}", "+repage", seen], check=True)
        subprocess.run(["/usr/bin/convert", "-size", f"{w}x{h}", f"xc:{background}",
                        os.path.join(SKIN, skin + ".png"), "-composite", drawn], check=True)
        out = subprocess.run(["/usr/bin/compare", "-metric", "RMSE", seen, drawn, "null:"],
                             capture_output=True, text=True)
    match = re.search(r"\(([0-9.e-]+)\)", out.stderr)
    return float(match.group(1)) if match else 1.0


def shown(shot, region, candidates, background=STRIP):
    """Which of the candidate skin images the region shows (the nearest)."""
    return min(candidates, key=lambda skin: difference(shot, region, skin, background))


def check_state(shot, state):
    """The top row and the empty-list controls as the state has them."""
    post = shown(shot, UPLOAD, ["BtnPost-Normal", "BtnPost-Hover", "BtnPost-Disable", "BtnPost-Cancel"])
    add = shown(shot, ADD, ["BtnAdd-Normal", "BtnAdd-Hover", "BtnAdd-Disable"])
    big = difference(shot, BIG_ADD, "BtnAdd2-Normal", LIST_AREA) < 0.05 or \
        difference(shot, BIG_ADD, "BtnAdd2-Hover", LIST_AREA) < 0.05
    name = os.path.basename(shot)
    if state == "Empty":
        check(post == "BtnPost-Disable", f"{name}: the upload button shows {post}, not disabled")
        check(big, f"{name}: no big add button")
    elif state == "Filled":
        check(post in ("BtnPost-Normal", "BtnPost-Hover"), f"{name}: the upload button shows {post}")
        check(add in ("BtnAdd-Normal", "BtnAdd-Hover"), f"{name}: the add button shows {add}")
        check(not big, f"{name}: the big add button shows over the list")
    elif state == "Uploading":
        check(post == "BtnPost-Cancel", f"{name}: the upload button's place shows {post}, not cancel")
        check(add == "BtnAdd-Disable", f"{name}: the add button shows {add}, not disabled")
        check(not big, f"{name}: the big add button shows over the list")


def make_pictures(folder, count):
    paths = []
    for i in range(count):
        path = os.path.join(folder, f"picture{i}.jpg")
        subprocess.run(["/usr/bin/convert", "-size", "320x240", f"gradient:rgb({40 * i},90,200)-rgb(250,{30 * i},20)",
                        "-quality", "90", path], check=True)
        paths.append(path)
    return paths


def winpath(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


PAGE_HEAD = """
var messages = [];
control.recvMessage = function (text) { messages.push(text); };
var fso = new ActiveXObject("Scripting.FileSystemObject");
function init(url, threads) {
    control.postMessage('{"name":"init","config":{"PostUrl":"' + url + '","ThreadCount":' + threads + '}}');
}
function add(path) { control.postMessage('{"name":"addFile","path":"' + path.replace(/\\\\/g, "\\\\\\\\") + '"}'); }
// Waits (bounded) for the n-th "post_complete" and prints it.
function waitComplete(n) {
    for (var waited = 0; waited < 60000; waited += 50) {
        var count = 0;
        for (var i = 0; i < messages.length; i++)
            if (messages[i].indexOf('"post_complete"') >= 0 && ++count === n) {
                host.sleep(300);  // the panel repaints
                host.echo("COMPLETE " + messages[i].replace(/\\s+$/, ""));
                return;
            }
        host.sleep(50);
    }
    host.echo("TIMEOUT waiting for post_complete " + n);
    host.quit(3);
}
function waitFile(path) {
    for (var waited = 0; waited < 60000; waited += 50) {
        if (fso.FileExists(path)) return;
        host.sleep(50);
    }
    host.echo("TIMEOUT waiting for " + path);
    host.quit(3);
}
"""


def run_page(work, name, body, size=(WIDTH, HEIGHT)):
    script = os.path.join(work, name + ".js")
    with open(script, "w", encoding="utf-8") as f:
        f.write(PAGE_HEAD + body)
    run = subprocess.run([os.path.join(ROOT, "scripts", "page"), script, "--size", f"{size[0]}x{size[1]}",
                          "--timeout", "150"], stdin=subprocess.DEVNULL, capture_output=True, text=True)
    check(run.returncode == 0, f"{name}: page exit {run.returncode}: {run.stdout[-500:]} {run.stderr[-1500:]}")
    completes = [json.loads(line[len("COMPLETE "):]) for line in run.stdout.splitlines()
                 if line.startswith("COMPLETE ")]
    return completes


def ids_of(complete):
    return sorted(img["id"] for img in complete.get("imgs", []))


def recorded(folder, pattern):
    """One field of each body the server recorded, by request number (None where it has none)."""
    found = {}
    for name in os.listdir(folder):
        if name.endswith(".body"):
            with open(os.path.join(folder, name), "rb") as f:
                match = re.search(pattern, f.read())
            found[int(name.split(".")[0])] = match.group(1).decode("latin-1") if match else None
    return found


def body_ids(folder):
    """The ids the server received, by request number."""
    return recorded(folder, rb'name="id"\r\n\r\n([0-9a-f]{32})')


def shot(work, name):
    return os.path.join(work, name + ".png")


def journey_full(work, server, pictures):
    # The server holds every answer until the page has taken the uploading picture, so the
    # picture shows the upload however slowly the machine runs.
    first = os.path.join(server.folder, "%d.body" % (server.count + 1))
    release = os.path.join(server.folder, "full-release")
    body = f"""
host.sleep(300);
host.screenshot({json.dumps(winpath(shot(work, "full-empty")))});
init("{server.url("/hold?release=full-release")}", 1);
""" + "".join(f"add({json.dumps(winpath(p))});\n" for p in pictures[:3]) + f"""
host.sleep(800);
host.screenshot({json.dumps(winpath(shot(work, "full-filled")))});
host.click({UPLOAD_CLICK[0]}, {UPLOAD_CLICK[1]});
waitFile({json.dumps(winpath(first))});
host.sleep(300);  // the panel repaints
host.screenshot({json.dumps(winpath(shot(work, "full-uploading")))});
fso.CreateTextFile({json.dumps(winpath(release))}).Close();
waitComplete(1);
host.screenshot({json.dumps(winpath(shot(work, "full-after")))});
"""
    completes = run_page(work, "full", body)
    check(len(completes) == 1 and len(completes[0].get("imgs", [])) == 3,
          f"full: one post_complete with three files, got {completes}")
    for name, state in (("full-empty", "Empty"), ("full-filled", "Filled"), ("full-uploading", "Uploading"),
                        ("full-after", "Empty")):
        if os.path.exists(shot(work, name)):
            check_state(shot(work, name), state)
        else:
            check(False, f"no screenshot {name}")


def journey_cancel(work, server, pictures):
    # The server accepts two requests and holds the third: its arrival (the recorded body)
    # is the moment to cancel.
    third = os.path.join(server.folder, "%d.body" % (server.count + 3))
    first = server.count
    body = f"""
init("{server.url("/gate?group=cancel&pass=2")}", 1);
""" + "".join(f"add({json.dumps(winpath(p))});\n" for p in pictures) + f"""
host.sleep(500);
host.click({UPLOAD_CLICK[0]}, {UPLOAD_CLICK[1]});
waitFile({json.dumps(winpath(third))});
host.screenshot({json.dumps(winpath(shot(work, "cancel-uploading")))});
host.click({UPLOAD_CLICK[0]}, {UPLOAD_CLICK[1]});
waitComplete(1);
host.screenshot({json.dumps(winpath(shot(work, "cancel-after")))});
init("{server.url("/record")}", 2);
host.click({UPLOAD_CLICK[0]}, {UPLOAD_CLICK[1]});
waitComplete(2);
host.screenshot({json.dumps(winpath(shot(work, "cancel-again")))});
"""
    completes = run_page(work, "cancel", body)
    received = {n - first: i for n, i in body_ids(server.folder).items() if n > first}
    check(len(completes) == 2, f"cancel: two post_complete, got {len(completes)}")
    if len(completes) == 2:
        accepted = sorted([received.get(1), received.get(2)])
        check(ids_of(completes[0]) == accepted, f"cancel: reported {ids_of(completes[0])}, accepted {accepted}")
        rest = ids_of(completes[1])
        check(len(rest) == 3 and not set(rest) & set(accepted),
              f"cancel: the second press uploaded {rest} (the first {accepted})")
        check(received.get(3) in rest, "cancel: the file held at cancel did not upload on the next press")
    for name, state in (("cancel-uploading", "Uploading"), ("cancel-after", "Filled"), ("cancel-again", "Empty")):
        if os.path.exists(shot(work, name)):
            check_state(shot(work, name), state)
        else:
            check(False, f"no screenshot {name}")


def journey_failed(work, server, pictures):
    first = server.count
    body = f"""
init("{server.url("/failfirst?group=failed")}", 1);
""" + "".join(f"add({json.dumps(winpath(p))});\n" for p in pictures[:3]) + f"""
host.sleep(500);
host.click({UPLOAD_CLICK[0]}, {UPLOAD_CLICK[1]});
waitComplete(1);
host.screenshot({json.dumps(winpath(shot(work, "failed-after")))});
host.click({UPLOAD_CLICK[0]}, {UPLOAD_CLICK[1]});
waitComplete(2);
host.screenshot({json.dumps(winpath(shot(work, "failed-again")))});
"""
    completes = run_page(work, "failed", body)
    received = {n - first: i for n, i in body_ids(server.folder).items() if n > first}
    check(len(completes) == 2, f"failed: two post_complete, got {len(completes)}")
    if len(completes) == 2:
        refused = received.get(1)
        check(refused not in ids_of(completes[0]) and len(ids_of(completes[0])) == 2,
              f"failed: first press reported {ids_of(completes[0])}, refused {refused}")
        check(ids_of(completes[1]) == [refused], f"failed: second press reported {ids_of(completes[1])}")
    for name, state in (("failed-after", "Filled"), ("failed-again", "Empty")):
        if os.path.exists(shot(work, name)):
            check_state(shot(work, name), state)
        else:
            check(False, f"no screenshot {name}")


def light_pixels(shot_path, region):
    """How many pixels of the region are nearly white (the band's and the reason's text)."""
    x, y, w, h = region
    out = subprocess.run(["/usr/bin/convert", shot_path, "-crop", f"{w}x{h}+{x}+{y}", "+repage",
                          "-colorspace", "Gray", "-threshold", "88%", "-format", "%[fx:mean*w*h]", "info:"],
                         capture_output=True, text=True)
    try:
        return int(round(float(out.stdout.strip())))
    except ValueError:
        return -1


def mean_level(shot_path, region):
    """The region's mean brightness, 0 (black) to 1 (white)."""
    x, y, w, h = region
    out = subprocess.run(["/usr/bin/convert", shot_path, "-crop", f"{w}x{h}+{x}+{y}", "+repage",
                          "-colorspace", "Gray", "-format", "%[fx:mean]", "info:"], capture_output=True, text=True)
    try:
        return float(out.stdout.strip())
    except ValueError:
        return -1.0


# The first cell of the list (the list starts at (1, 57); cells of 150 x 151 from (4, 4)).
CELL0 = (5, 61, 150, 151)
CELL0_BAND = (CELL0[0] + 1, CELL0[1] + 96, CELL0[2] - 2, CELL0[3] - 30 - 96)
CELL0_TOP = (CELL0[0] + 1, CELL0[1] + 1, CELL0[2] - 2, 88)
CELL0_PICTURE = (CELL0[0] + 75, CELL0[1] + 45)  # on no button of the item


def journey_reasons(work, server, pictures):
    # The server refuses the first file with 413 (not tried again), accepts the other two. The
    # refused one stays, its band says why; hovered (the click leaves the pointer on it) it
    # says so in a sentence; the next press sends it alone.
    first = server.count
    body = f"""
init("{server.url("/statusfirst?group=reasons&status=413")}", 1);
""" + "".join(f"add({json.dumps(winpath(p))});\n" for p in pictures[:3]) + f"""
host.sleep(800);
host.screenshot({json.dumps(winpath(shot(work, "reasons-filled")))});
host.click({UPLOAD_CLICK[0]}, {UPLOAD_CLICK[1]});
waitComplete(1);
host.screenshot({json.dumps(winpath(shot(work, "reasons-after")))});
host.click({CELL0_PICTURE[0]}, {CELL0_PICTURE[1]});
host.sleep(400);
host.screenshot({json.dumps(winpath(shot(work, "reasons-hovered")))});
host.click({UPLOAD_CLICK[0]}, {UPLOAD_CLICK[1]});
waitComplete(2);
"""
    completes = run_page(work, "reasons", body)
    received = {n - first: i for n, i in body_ids(server.folder).items() if n > first}
    check(len(completes) == 2, f"reasons: two post_complete, got {len(completes)}")
    if len(completes) == 2:
        refused = received.get(1)
        check(refused not in ids_of(completes[0]) and len(ids_of(completes[0])) == 2,
              f"reasons: first press reported {ids_of(completes[0])}, refused {refused}")
        check(len(received) == 4 and received.get(4) == refused,
              f"reasons: the second press sent {received.get(4)} and {len(received) - 4} more, not only {refused}")
        check(ids_of(completes[1]) == [refused], f"reasons: second press reported {ids_of(completes[1])}")
    shots = [shot(work, n) for n in ("reasons-filled", "reasons-after", "reasons-hovered")]
    if not all(os.path.exists(s) for s in shots):
        check(False, "reasons: a screenshot is missing")
        return
    filled, after, hovered = shots
    # The band: dark with white text after the upload, not there before it.
    check(mean_level(after, CELL0_BAND) < mean_level(filled, CELL0_BAND) - 0.1,
          "reasons: the failed file shows no band after the upload")
    check(light_pixels(after, CELL0_BAND) >= 30, "reasons: the failed file's band has no text")
    # Hovered: a dark box of text over the picture, which the unhovered item does not show.
    check(mean_level(hovered, CELL0_TOP) < mean_level(after, CELL0_TOP) - 0.15,
          "reasons: hovering the failed file shows no reason over its picture")
    check(light_pixels(hovered, CELL0_TOP) >= 60, "reasons: the reason shown on hover has no text")
    check(crop_difference(after, hovered, CELL0_TOP) > 0.05, "reasons: hovering changes nothing")


def crop_difference(first, second, region):
    """Root-mean-square difference of one region in two screenshots, 0 (same) to 1."""
    x, y, w, h = region
    out = subprocess.run(["/usr/bin/compare", "-metric", "RMSE", f"{first}[{w}x{h}+{x}+{y}]",
                          f"{second}[{w}x{h}+{x}+{y}]", "null:"], capture_output=True, text=True)
    match = re.search(r"\(([0-9.e-]+)\)", out.stderr)
    return float(match.group(1)) if match else 1.0


def body_names(folder, after):
    """The file names the server received after request number `after`, in arrival order."""
    names = recorded(folder, rb'filename="([^"]*)"')
    return [names[n] or "" for n in sorted(names) if n > after]


def journey_sort(work, server, pictures):
    # Added out of order; "by file name" puts them in order, and one worker sends the list
    # from its end, so the server sees them in reverse order of name.
    folder = os.path.join(work, "sorted")
    os.makedirs(folder, exist_ok=True)
    named = []
    for letter, picture in zip("ebdac", pictures):
        path = os.path.join(folder, letter + ".jpg")
        with open(picture, "rb") as src, open(path, "wb") as dst:
            dst.write(src.read())
        named.append(path)
    first = server.count
    held = os.path.join(server.folder, "%d.body" % (server.count + 6))
    release = os.path.join(server.folder, "sort-release")
    open_box, by_name, by_created = SORT_OPEN, sort_entry(1), sort_entry(2)
    body = f"""
init("{server.url("/record")}", 1);
""" + "".join(f"add({json.dumps(winpath(p))});\n" for p in named) + f"""
host.sleep(800);
host.click({open_box[0]}, {open_box[1]});
host.sleep(400);
host.click({by_name[0]}, {by_name[1]});
host.sleep(400);
host.screenshot({json.dumps(winpath(shot(work, "sort-chosen")))});
host.click({UPLOAD_CLICK[0]}, {UPLOAD_CLICK[1]});
waitComplete(1);
host.screenshot({json.dumps(winpath(shot(work, "sort-idle")))});
init("{server.url("/hold?release=sort-release")}", 1);
""" + "".join(f"add({json.dumps(winpath(p))});\n" for p in named[:2]) + f"""
host.sleep(800);
host.click({UPLOAD_CLICK[0]}, {UPLOAD_CLICK[1]});
waitFile({json.dumps(winpath(held))});
host.sleep(300);
host.screenshot({json.dumps(winpath(shot(work, "sort-uploading")))});
host.click({open_box[0]}, {open_box[1]});
host.sleep(400);
host.click({by_created[0]}, {by_created[1]});
host.sleep(400);
host.screenshot({json.dumps(winpath(shot(work, "sort-refused")))});
fso.CreateTextFile({json.dumps(winpath(release))}).Close();
waitComplete(2);
host.screenshot({json.dumps(winpath(shot(work, "sort-after")))});
"""
    completes = run_page(work, "sort", body)
    check(len(completes) == 2, f"sort: two post_complete, got {len(completes)}")
    names = body_names(server.folder, first)
    check([n[:1] for n in names[:5]] == list("edcba"), f"sort: the server saw {names[:5]}, not by name from the end")
    shots = [shot(work, n) for n in ("sort-idle", "sort-uploading", "sort-refused", "sort-after")]
    if all(os.path.exists(s) for s in shots):
        idle, uploading, refused, after = shots
        check(crop_difference(uploading, refused, SORT_BOX) < 0.01,
              "sort: the box changed while uploading")
        check(crop_difference(idle, after, SORT_BOX) < 0.01,
              "sort: after the upload the box no longer shows the order it was given")
        check(crop_difference(idle, uploading, SORT_BOX) > 0.01,
              "sort: the box does not look disabled while uploading")
    else:
        check(False, "sort: a screenshot is missing")


def docs_shots(work, server, pictures, docs):
    """The panel empty and filled at its smallest and a large size, and the hint line at the
    end of a task, written to DOCS."""
    for width, height in ((400, 300), (1200, 800)):
        empty = os.path.join(docs, f"panel-{width}x{height}-empty.png")
        filled = os.path.join(docs, f"panel-{width}x{height}.png")
        body = f"""
host.sleep(500);
host.screenshot({json.dumps(winpath(empty))});
""" + "".join(f"add({json.dumps(winpath(p))});\n" for p in pictures) + f"""
host.sleep(1500);
host.click(4 + 75, 57 + 4 + 45);
host.sleep(500);
host.screenshot({json.dumps(winpath(filled))});
"""
        run_page(work, f"docs-{width}", body, (width, height))
    end = os.path.join(docs, "end-of-task-hint.png")
    body = f"""
init("{server.url()}", 1);
""" + "".join(f"add({json.dumps(winpath(p))});\n" for p in pictures[:3]) + f"""
host.sleep(800);
host.click({UPLOAD_CLICK[0]}, {UPLOAD_CLICK[1]});
waitComplete(1);
host.sleep(500);
host.screenshot({json.dumps(winpath(end))});
"""
    run_page(work, "docs-end", body)
    for name in os.listdir(docs):
        if name.startswith(("panel-", "end-of-task")):
            path = os.path.join(docs, name)
            subprocess.run(["/usr/bin/convert", path, "-define", "png:exclude-chunks=date,time", path], check=True)


def main():
    if len(sys.argv) == 3 and sys.argv[1] == "--docs":
        docs = os.path.abspath(sys.argv[2])
        with tempfile.TemporaryDirectory(prefix="fotoloft-panel-docs-") as work:
            pictures = make_pictures(work, 5)
            with servers.RecordingServer(os.path.join(work, "server")) as server:
                docs_shots(work, server, pictures, docs)
        print("%d failure(s)" % len(failures))
        return 1 if failures else 0
    only = sys.argv[1:]
    with tempfile.TemporaryDirectory(prefix="fotoloft-panel-") as work:
        work = os.environ.get("FOTOLOFT_PANEL_WORK", work)
        os.makedirs(work, exist_ok=True)
        pictures = make_pictures(work, 5)
        with servers.RecordingServer(os.path.join(work, "server")) as server:
            for journey in (journey_full, journey_cancel, journey_failed, journey_reasons, journey_sort):
                if not only or journey.__name__ in only:
                    journey(work, server, pictures)
                    print(f"{journey.__name__}: done")
    print("%d failure(s)" % len(failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
