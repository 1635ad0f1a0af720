#!/usr/bin/env python3
"""The main panel driven by the keyboard in the page host, against a loopback server: real key
presses (SendInput) go to whatever window has the focus, and what the server receives shows
what the keys did.

  1. Click the first photo, Right, Delete: the second photo is gone and the upload sends the
     other two.
  2. Click the first photo, Shift+Right twice, then Shift+Tab back to the rotate-right tool and
     Enter: three photos turn, the fourth does not.
  3. Click the panel, Tab to the upload button (its focus rectangle shows) and Enter: the
     upload runs.
  4. Click a photo, F2, type a new name, Enter: the photo goes out under that name.
  5. End, Home, Space and Ctrl+A move and select without the mouse; Ctrl+A then Delete
     empties the list.
  6. With an element of the page after the control and a browser's Tab step: Tab goes
     through the panel and then leaves it for the page's element; Tab from there comes back
     to the first stop, Shift+Tab from the first stop leaves, and Shift+Tab from the page
     comes back to the last stop (the list).
"""
import os
import re
import subprocess
import sys
import tempfile
from urllib.parse import unquote

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import panel_journey_test as panel  # noqa: E402  (its page helpers and server)

failures = []


def check(ok, what):
    if not ok:
        failures.append(what)
        print("FAIL: " + what)


CELL0 = panel.CELL0_PICTURE          # a point on the first photo, on none of its buttons
HINT_STRIP = (400, 44)               # an empty place of the panel
FOCUS_BLUE = "srgb(0,84,166)"         # the focus rectangle's colour


def add_all(paths):
    return "".join(f"add({panel.json.dumps(panel.winpath(p))});\n" for p in paths)


def fields(folder, after, name):
    """One form field of every body recorded after request `after`, in arrival order."""
    found = panel.recorded(folder, rb'name="' + name.encode() + rb'"\r\n\r\n([^\r]*)\r\n')
    return [unquote(found[n] or "") for n in sorted(found) if n > after]  # names go URL-encoded


def run(work, name, body):
    completes = panel.run_page(work, name, body)
    for failure in panel.failures:
        check(False, failure)
    panel.failures.clear()
    return completes


def journey_delete(work, server, pictures):
    first = server.count
    body = f"""
init("{server.url("/record")}", 1);
{add_all(pictures[:3])}
host.sleep(800);
host.click({CELL0[0]}, {CELL0[1]});
host.key("Right");
host.key("Delete");
host.sleep(300);
host.click({panel.UPLOAD_CLICK[0]}, {panel.UPLOAD_CLICK[1]});
waitComplete(1);
"""
    completes = run(work, "delete", body)
    names = sorted(unquote(n) for n in panel.body_names(server.folder, first))
    check(names == ["picture0.jpg", "picture2.jpg"], f"delete: the server received {names}")
    check(len(completes) == 1 and len(completes[0].get("imgs", [])) == 2,
          f"delete: post_complete {completes}")


def journey_rotate(work, server, pictures):
    first = server.count
    body = f"""
init("{server.url("/record")}", 1);
{add_all(pictures[:4])}
host.sleep(800);
host.click({CELL0[0]}, {CELL0[1]});
host.key("Shift+Right");
host.key("Shift+Right");
host.key("Shift+Tab");   // the sort box
host.key("Shift+Tab");   // delete
host.key("Shift+Tab");   // rotate right
host.key("Enter");
host.sleep(1500);        // the turned thumbnails are made again
host.click({panel.UPLOAD_CLICK[0]}, {panel.UPLOAD_CLICK[1]});
waitComplete(1);
"""
    run(work, "rotate", body)
    sizes = sorted(zip(fields(server.folder, first, "width"), fields(server.folder, first, "height")))
    check(sizes == [("240", "320")] * 3 + [("320", "240")],
          f"rotate: the server received sizes {sizes}, not three turned of four")


def pixel(shot, x, y):
    out = subprocess.run(["/usr/bin/convert", shot, "-format", f"%[pixel:p{{{x},{y}}}]", "info:"],
                         capture_output=True, text=True)
    return out.stdout.strip()


def journey_tab_upload(work, server, pictures):
    first = server.count
    before, focused = panel.shot(work, "tab-before"), panel.shot(work, "tab-focused")
    body = f"""
init("{server.url("/record")}", 1);
{add_all(pictures[:2])}
host.sleep(800);
host.click({HINT_STRIP[0]}, {HINT_STRIP[1]});
host.screenshot({panel.json.dumps(panel.winpath(before))});
host.key("Tab");
host.key("Tab");
host.sleep(200);
host.screenshot({panel.json.dumps(panel.winpath(focused))});
host.key("Enter");
waitComplete(1);
"""
    completes = run(work, "tab", body)
    check(len(completes) == 1 and len(completes[0].get("imgs", [])) == 2, f"tab: post_complete {completes}")
    check(len(panel.body_names(server.folder, first)) == 2, "tab: the server did not receive both photos")
    if os.path.exists(focused) and os.path.exists(before):
        # The rectangle lies 2 pixels outside the upload button (94, 4, 84 x 24).
        left = pixel(focused, panel.UPLOAD[0] - 2, panel.UPLOAD[1] + 12)
        check(left == FOCUS_BLUE, f"tab: no focus rectangle left of the upload button ({left})")
        check(pixel(before, panel.UPLOAD[0] - 2, panel.UPLOAD[1] + 12) != FOCUS_BLUE,
              "tab: the focus rectangle shows before Tab")
        check(pixel(focused, panel.ADD[0] - 2, panel.ADD[1] + 12) != FOCUS_BLUE,
              "tab: the add button still shows the focus")
    else:
        check(False, "tab: a screenshot is missing")


def journey_rename(work, server, pictures):
    first = server.count
    body = f"""
init("{server.url("/record")}", 1);
{add_all(pictures[:2])}
host.sleep(800);
host.click({CELL0[0]}, {CELL0[1]});
host.key("F2");
host.sleep(200);
host.type("sunrise");  // the box opens with its text selected
host.key("Enter");
host.sleep(200);
host.click({panel.UPLOAD_CLICK[0]}, {panel.UPLOAD_CLICK[1]});
waitComplete(1);
"""
    run(work, "rename", body)
    remarks = sorted(fields(server.folder, first, "remark"))
    check(remarks == ["picture1.jpg", "sunrise"], f"rename: the server received remarks {remarks}")


def journey_keys(work, server, pictures):
    first = server.count
    body = f"""
init("{server.url("/record")}", 1);
{add_all(pictures[:5])}
host.sleep(800);
host.click({CELL0[0]}, {CELL0[1]});
host.key("End");          // the fifth alone
host.key("Ctrl+Home");    // the focus to the first, the fifth stays selected
host.key("Space");        // the first joins
host.key("Delete");       // the first and the fifth go
host.sleep(300);
host.click({panel.UPLOAD_CLICK[0]}, {panel.UPLOAD_CLICK[1]});
waitComplete(1);
{add_all(pictures[:2])}
host.sleep(800);
host.click({CELL0[0]}, {CELL0[1]});
host.key("Ctrl+A");
host.key("Delete");
host.sleep(400);
host.screenshot({panel.json.dumps(panel.winpath(panel.shot(work, "keys-emptied")))});
"""
    run(work, "keys", body)
    names = sorted(unquote(n) for n in panel.body_names(server.folder, first))
    check(names == ["picture1.jpg", "picture2.jpg", "picture3.jpg"], f"keys: the server received {names}")
    emptied = panel.shot(work, "keys-emptied")
    if os.path.exists(emptied):
        panel.check_state(emptied, "Empty")
        for failure in panel.failures:
            check(False, "keys: Ctrl+A, Delete: " + failure)
        panel.failures.clear()
    else:
        check(False, "keys: no screenshot after Ctrl+A, Delete")


def journey_page_tab(work, server, pictures):
    import accessible_tree_test as a11y
    body = a11y.PAGE + f"""
init("{server.url("/record")}", 1);
{add_all(pictures[:2])}
host.sleep(800);
host.addPageField();
host.click({HINT_STRIP[0]}, {HINT_STRIP[1]});
function step(label, key) {{
    if (key) host.key(key);
    host.echo("FOCUS " + label + " " + host.focusIn());
}}
step("click", "");
step("tab1", "Tab");
step("tab2", "Tab");
step("tab3", "Tab");
step("tab4", "Tab");
step("tab5", "Tab");
step("tab6", "Tab");
step("back-in", "Tab");
dump("back-in");
step("shift-out", "Shift+Tab");
step("shift-in", "Shift+Tab");
dump("shift-in");
"""
    script = os.path.join(work, "page-tab.js")
    with open(script, "w", encoding="utf-8") as f:
        f.write(panel.PAGE_HEAD + body)
    out = os.path.join(work, "page-tab.out")
    with open(out, "w", encoding="utf-8") as sink:
        rc = subprocess.run([os.path.join(panel.ROOT, "scripts", "page"), script, "--size",
                             f"{panel.WIDTH}x{panel.HEIGHT}", "--timeout", "150"],
                            stdin=subprocess.DEVNULL, stdout=sink, stderr=subprocess.STDOUT).returncode
    with open(out, encoding="utf-8", errors="replace") as f:
        stdout = f.read()
    check(rc == 0, f"page tab: page exit {rc}: {stdout[-800:]}")
    focus = dict(line.rstrip("\r").split(" ")[1:3] for line in stdout.splitlines() if line.startswith("FOCUS "))
    # Add, upload, select all, sort, list: five stops while nothing is selected; the sixth Tab
    # leaves the control.
    for label in ("click", "tab1", "tab2", "tab3", "tab4", "tab5"):
        check(focus.get(label) == "control", f"page tab: after {label} the focus is in {focus.get(label)}")
    check(focus.get("tab6") == "field", f"page tab: Tab at the list does not leave for the page: {focus.get('tab6')}")
    check(focus.get("back-in") == "control", f"page tab: Tab from the page does not come back: {focus}")
    check(focus.get("shift-out") == "field", f"page tab: Shift+Tab at the first stop does not leave: {focus}")
    check(focus.get("shift-in") == "control", f"page tab: Shift+Tab from the page does not come back: {focus}")
    trees = {label: a11y.parse_tree(lines) for label, lines in a11y.blocks(stdout, "TREE").items()}
    back_in, shift_in = trees.get("back-in"), trees.get("shift-in")
    if back_in:
        adds = [e for e in back_in.children if e.role == "pushbutton" and "invisible" not in e.states
                and e.name == "添加照片"]
        check(len(adds) == 1 and "focused" in adds[0].states, f"page tab: back in, the first stop is not focused: {adds}")
    if shift_in:
        listed = a11y.list_of(shift_in)
        check(listed is not None and "focused" in listed.states, f"page tab: back in by Shift+Tab, the list is {listed}")
    if not back_in or not shift_in:
        check(False, "page tab: a tree is missing")


def main():
    only = sys.argv[1:]
    with tempfile.TemporaryDirectory(prefix="fotoloft-keys-") as work:
        work = os.environ.get("FOTOLOFT_KEYS_WORK", work)
        os.makedirs(work, exist_ok=True)
        pictures = panel.make_pictures(work, 5)
        with panel.servers.RecordingServer(os.path.join(work, "server")) as server:
            for journey in (journey_delete, journey_rotate, journey_tab_upload, journey_rename, journey_keys,
                            journey_page_tab):
                if not only or journey.__name__ in only:
                    journey(work, server, pictures)
                    print(f"{journey.__name__}: done")
    print("%d failure(s)" % len(failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
