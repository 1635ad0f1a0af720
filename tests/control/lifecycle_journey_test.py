#!/usr/bin/env python3
"""The control through a page's whole life, in the page host's real container (Wine's ATL):

  1. Hidden and shown again: deactivated and re-activated in place three times, the panel
     still shows its photo (Filled); then one press of rotate and the upload: the server
     gets the photo turned once.
  2. Messages before a window: "init" and "addFile" reach a control that has no container
     yet; once it is sited and shown, the panel is Filled, the photo's thumbnail shows, and
     it uploads.
  3. Two controls in one page: removing one leaves the other's skin (the buttons' pixels)
     and it uploads.
  4. Removed while a modal window runs (the add-images dialog, the edit window): the
     window closes, nothing crashes and the page goes on with another control.
  5. Fifty controls made and removed (after a few to warm up), each with an upload and
     thumbnails in flight: the process's handles, threads and memory stay flat.
"""
import json
import os
import re
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import panel_journey_test as pj  # noqa: E402
from panel_journey_test import servers, winpath, shot, check, check_state  # noqa: E402

WIDTH, HEIGHT = pj.WIDTH, pj.HEIGHT
ADD_CLICK = (pj.ADD[0] + 42, pj.ADD[1] + 12)
UPLOAD_CLICK = pj.UPLOAD_CLICK
# The tools sit right-anchored at y 7; a point 8 pixels inside each one's right edge.
EDIT_TOOL = (WIDTH - 266 - 8, 15)
ROTATE_RIGHT_TOOL = (WIDTH - 157 - 8, 15)
CELL0_PICTURE = pj.CELL0_PICTURE
CELL0_TOP = pj.CELL0_TOP

PAGE_HEAD = pj.PAGE_HEAD + """
function initOn(c, url) {
    c.postMessage('{"name":"init","config":{"PostUrl":"' + url + '","ThreadCount":1}}');
}
function addOn(c, path) {
    c.postMessage('{"name":"addFile","path":"' + path.replace(/\\\\/g, "\\\\\\\\") + '"}');
}
// Gives control c a receiver of its own; returns its messages.
function listen(c) {
    var got = [];
    c.recvMessage = function (text) { got.push(text); };
    return got;
}
function waitIn(got, what) {
    for (var waited = 0; waited < 60000; waited += 50) {
        for (var i = 0; i < got.length; i++)
            if (got[i].indexOf(what) >= 0) {
                host.sleep(300);
                host.echo("COMPLETE " + got[i].replace(/\\s+$/, ""));
                return;
            }
        host.sleep(50);
    }
    host.echo("TIMEOUT waiting for " + what);
    host.quit(3);
}
// The lines of the control's accessible tree (role|name|state,state|...) as a screen reader
// reads them; with several controls in the page, those of the first.
function treeLines() {
    var tree = host.accessibleTree();
    return tree ? tree.split("\n") : [];
}
function treeHas(role, name, state) {
    var lines = treeLines();
    for (var i = 0; i < lines.length; i++) {
        var fields = lines[i].replace(/^\s+/, "").split("|");
        if (fields[0] === role && (name === null || fields[1] === name) &&
            (state === null || ("," + fields[2] + ",").indexOf("," + state + ",") >= 0))
            return true;
    }
    return false;
}
// Waits (checked every 50 ms, for at most 30 s) until test() holds; the page fails otherwise.
function waitFor(what, test) {
    for (var waited = 0; waited < 30000; waited += 50) {
        if (test()) return;
        host.sleep(50);
    }
    host.echo("TIMEOUT waiting for " + what);
    host.quit(3);
}
// The panel shows a photo in its list and may upload it (Filled).
function filled() {
    return treeHas("listitem", null, null) && treeHas("pushbutton", "开始上传", null) &&
        !treeHas("pushbutton", "开始上传", "unavailable");
}
// The panel shows no photo (Empty).
function empty() {
    return treeHas("pushbutton", "开始上传", "unavailable") && !treeHas("listitem", null, null);
}
function noWindow() { return treeLines().length === 0; }
function selected() { return treeHas("listitem", null, "selected"); }
function modalEnded() { return !host.modalRunning(); }
"""


def run_page(work, name, body, *extra):
    script = os.path.join(work, name + ".js")
    with open(script, "w", encoding="utf-8") as f:
        f.write(PAGE_HEAD + body)
    out, err = os.path.join(work, name + ".out"), os.path.join(work, name + ".err")
    with open(out, "w") as o, open(err, "w") as e:
        code = subprocess.run([os.path.join(pj.ROOT, "scripts", "page"), script, "--size", f"{WIDTH}x{HEIGHT}",
                               "--timeout", "240", *extra], stdin=subprocess.DEVNULL, stdout=o, stderr=e).returncode
    stdout, stderr = open(out).read(), open(err).read()
    check(code == 0, f"{name}: page exit {code}: {stdout[-800:]} {stderr[-1500:]}")
    completes = [json.loads(line[len("COMPLETE "):]) for line in stdout.splitlines() if line.startswith("COMPLETE ")]
    return completes, stdout


def field_values(folder, after, field):
    values = pj.recorded(folder, rb'name="' + field.encode() + rb'"\r\n\r\n([0-9]+)')
    return [int(values[n]) for n in sorted(values) if n > after and values[n] is not None]


def colourful(shot_path, region):
    """The region's standard deviation of brightness: a thumbnail varies, a blank frame not."""
    x, y, w, h = region
    out = subprocess.run(["/usr/bin/convert", shot_path, "-crop", f"{w}x{h}+{x}+{y}", "+repage",
                          "-colorspace", "Gray", "-format", "%[fx:standard_deviation]", "info:"],
                         capture_output=True, text=True)
    try:
        return float(out.stdout.strip())
    except ValueError:
        return -1.0


def journey_reactivate(work, server, pictures):
    first = server.count
    steps = "".join(f"""
host.deactivate();
waitFor("the window to go", noWindow);
host.activate();
waitFor("the photo shown again", filled);
host.screenshot({json.dumps(winpath(shot(work, f"again-{n}")))});
""" for n in range(3))
    body = f"""
init("{server.url("/record")}", 1);
add({json.dumps(winpath(pictures[0]))});
waitFor("the photo listed", filled);
""" + steps + f"""
host.click({CELL0_PICTURE[0]}, {CELL0_PICTURE[1]});
waitFor("the photo selected", selected);
// The press turns the record at once; the upload's press comes after it in the input queue.
host.click({ROTATE_RIGHT_TOOL[0]}, {ROTATE_RIGHT_TOOL[1]});
host.click({UPLOAD_CLICK[0]}, {UPLOAD_CLICK[1]});
waitComplete(1);
"""
    completes, _ = run_page(work, "reactivate", body)
    check(len(completes) == 1 and len(completes[0].get("imgs", [])) == 1,
          f"reactivate: one post_complete with one file, got {completes}")
    for n in range(3):
        name = shot(work, f"again-{n}")
        if os.path.exists(name):
            check_state(name, "Filled")
        else:
            check(False, f"reactivate: no screenshot after re-activation {n}")
    # 320 x 240 turned once is 240 x 320; turned twice it would be 320 x 240 again.
    widths, heights = field_values(server.folder, first, "width"), field_values(server.folder, first, "height")
    check(widths == [240] and heights == [320],
          f"reactivate: the server got {widths} x {heights}, not the photo turned once (240 x 320)")


def journey_before_window(work, server, pictures):
    body = f"""
init("{server.url("/record")}", 1);
add({json.dumps(winpath(pictures[1]))});
host.sleep(1500);  // the thumbnail is made meanwhile, with no window to tell
host.attach();
waitFor("the photo listed", filled);
host.screenshot({json.dumps(winpath(shot(work, "before-window")))});
host.click({UPLOAD_CLICK[0]}, {UPLOAD_CLICK[1]});
waitComplete(1);
"""
    completes, _ = run_page(work, "before_window", body, "--detached")
    check(len(completes) == 1 and len(completes[0].get("imgs", [])) == 1,
          f"before window: one post_complete with one file, got {completes}")
    name = shot(work, "before-window")
    if not os.path.exists(name):
        check(False, "before window: no screenshot")
        return
    check_state(name, "Filled")
    spread = colourful(name, CELL0_TOP)
    check(spread > 0.05, f"before window: the photo's cell shows no thumbnail (spread {spread:.3f})")


def journey_two_controls(work, server, pictures):
    body = f"""
var second = host.addControl();
var secondGot = listen(second);
init("{server.url("/record")}", 1);
initOn(second, "{server.url("/record")}");
add({json.dumps(winpath(pictures[0]))});
addOn(second, {json.dumps(winpath(pictures[2]))});
host.removeControl(control);
// Only the second is left: the tree is its own.
waitFor("the second control's photo", filled);
host.screenshot({json.dumps(winpath(shot(work, "two-left")))}, second);
host.click({UPLOAD_CLICK[0]}, {UPLOAD_CLICK[1]}, second);
waitIn(secondGot, '"post_complete"');
var third = host.addControl();
host.removeControl(second);
second = null;
waitFor("the third control, empty", empty);
host.screenshot({json.dumps(winpath(shot(work, "two-third")))}, third);
"""
    completes, _ = run_page(work, "two_controls", body)
    check(len(completes) == 1 and len(completes[0].get("imgs", [])) == 1,
          f"two controls: the one left uploaded {completes}")
    for name, state in (("two-left", "Filled"), ("two-third", "Empty")):
        if os.path.exists(shot(work, name)):
            check_state(shot(work, name), state)
        else:
            check(False, f"two controls: no screenshot {name}")


def journey_modal_removed(work, server, pictures):
    body = f"""
// Once the modal window is up (checked every 50 ms, for at most 20 s), the page removes
// the control that opened it.
function removeDuringModal(what, c) {{
    var left = 400;
    function check() {{
        if (!host.modalRunning() && --left > 0) {{
            host.later(50, check);
            return;
        }}
        host.echo("MODAL " + what + " " + host.modalRunning());
        host.removeControl(c);
        c = null;
        host.echo("REMOVED " + what);
    }}
    host.later(50, check);
}}
var dialogHost = host.addControl();
removeDuringModal("dialog", dialogHost);
host.click({ADD_CLICK[0]}, {ADD_CLICK[1]}, dialogHost);
dialogHost = null;
waitFor("the dialog to close", modalEnded);
host.echo("AFTER dialog " + host.modalRunning());

var editHost = host.addControl();
initOn(editHost, "{server.url("/record")}");
addOn(editHost, {json.dumps(winpath(pictures[3]))});
host.sleep(1200);
host.click({CELL0_PICTURE[0]}, {CELL0_PICTURE[1]}, editHost);
host.sleep(300);
removeDuringModal("editor", editHost);
host.click({EDIT_TOOL[0]}, {EDIT_TOOL[1]}, editHost);
editHost = null;
waitFor("the edit window to close", modalEnded);
host.echo("AFTER editor " + host.modalRunning());

// The page goes on: its own control, the only one left, still uploads.
init("{server.url("/record")}", 1);
add({json.dumps(winpath(pictures[4]))});
waitFor("the photo listed", filled);
host.click({UPLOAD_CLICK[0]}, {UPLOAD_CLICK[1]});
waitComplete(1);
"""
    completes, out = run_page(work, "modal_removed", body)
    for what in ("dialog", "editor"):
        check(f"MODAL {what} true" in out, f"modal removed: the {what} was not running when its control went: {out}")
        check(f"REMOVED {what}" in out, f"modal removed: the {what}'s control was not removed")
        check(f"AFTER {what} false" in out, f"modal removed: the {what} stayed open after its control went")
    check(len(completes) == 1, f"modal removed: the page's own control did not upload afterwards: {completes}")


def journey_cycles(work, server, pictures):
    adds = "".join(f"addOn(c, {json.dumps(winpath(p))});\n" for p in pictures[:3])
    body = f"""
function cycle() {{
    var c = host.addControl();
    var got = listen(c);
    initOn(c, "{server.url("/slow")}");
""" + adds + f"""
    host.sleep(60);
    host.click({UPLOAD_CLICK[0]}, {UPLOAD_CLICK[1]}, c);
    host.sleep(60);
    host.removeControl(c);
    c = null;
}}
function counts(label) {{
    host.sleep(1500);  // what the last control left in flight ends
    host.echo("COUNTS " + label + " " + host.handleCount() + " " + host.threadCount() + " " + host.memoryBytes());
}}
for (var i = 0; i < 5; i++) cycle();
counts("warm");
for (var i = 0; i < 50; i++) cycle();
counts("end");
"""
    _, out = run_page(work, "cycles", body)
    counts = {}
    for line in out.splitlines():
        match = re.match(r"COUNTS (\w+) (\d+) (\d+) (\d+)", line)
        if match:
            counts[match.group(1)] = [int(v) for v in match.groups()[1:]]
    if "warm" not in counts or "end" not in counts:
        check(False, f"cycles: no counts: {out[-800:]}")
        return
    (h0, t0, m0), (h1, t1, m1) = counts["warm"], counts["end"]
    print(f"cycles: handles {h0} -> {h1}, threads {t0} -> {t1}, memory {m0 >> 20} -> {m1 >> 20} MiB")
    # Fifty controls after the first few: a leak of one handle, one thread or a thumbnail's
    # worth of memory per control would show.
    check(h1 - h0 < 50, f"cycles: handles grew from {h0} to {h1} over 50 controls")
    check(t1 - t0 < 4, f"cycles: threads grew from {t0} to {t1} over 50 controls")
    check(m1 - m0 < 24 << 20, f"cycles: memory grew from {m0 >> 20} to {m1 >> 20} MiB over 50 controls")


def main():
    only = sys.argv[1:]
    with tempfile.TemporaryDirectory(prefix="fotoloft-life-") as work:
        work = os.environ.get("FOTOLOFT_LIFE_WORK", work)
        os.makedirs(work, exist_ok=True)
        pictures = pj.make_pictures(work, 5)
        with servers.RecordingServer(os.path.join(work, "server")) as server:
            for journey in (journey_reactivate, journey_before_window, journey_two_controls, journey_modal_removed,
                            journey_cycles):
                if not only or journey.__name__ in only:
                    journey(work, server, pictures)
                    print(f"{journey.__name__}: done")
    print("%d failure(s)" % len(pj.failures))
    return 1 if pj.failures else 0


if __name__ == "__main__":
    sys.exit(main())
