#!/usr/bin/env python3
"""The control in English, in the page host under Xvfb: "init" with "Language": "en", then the
panel empty, filled and uploading, the add-images dialog and the edit window (both modal,
found and closed from outside with xdotool), and a later "init" switching to Chinese and back.

At each step the accessible tree (read through the system's oleacc) holds no Chinese word,
the buttons drawn from images show their English images on the screen, and the windows carry
English titles. Chinese comes back exactly when a later "init" asks for it.

--docs FOLDER also copies the English screenshots to FOLDER/en-*.png.
Environment: DISPLAY, WINEPREFIX (as scripts/test gives them).
"""
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import panel_journey_test as panel  # noqa: E402
import accessible_tree_test as a11y  # noqa: E402

WIDTH, HEIGHT = panel.WIDTH, panel.HEIGHT
ADD_EN = (6, 4, 96, 24)       # the English add button is wider ("Add photos")
UPLOAD_EN = (106, 4, 84, 24)  # upload and cancel follow it
BIG_ADD = panel.BIG_ADD
ADD_ZH = panel.ADD
DIALOG_TITLE, EDIT_TITLE = "Add pictures", "Edit picture"
DIALOG_OK = (696, 490, 51, 24)  # the add-images dialog's OK image, dialog coordinates

failures = []


def check(ok, what):
    print(("ok: " if ok else "FAIL: ") + what, flush=True)
    if not ok:
        failures.append(what)


CJK = re.compile("[\u2e80-\u9fff\uf900-\ufaff\uff00-\uffef\u3000-\u303f]")


def walk(element):
    yield element
    for child in element.children:
        yield from walk(child)


def chinese_words(tree):
    """Every Chinese word an element of the tree says (name, value, description, action)."""
    found = []
    for e in walk(tree):
        for text in (e.name, e.value, e.description, e.action):
            if CJK.search(text):
                found.append(f"{e.role}:{text}")
    return found


def xdotool(work, *args):
    out = os.path.join(work, "xdotool.out")
    with open(out, "w") as f:
        rc = subprocess.run(["xdotool"] + [str(a) for a in args], stdout=f, stderr=subprocess.STDOUT,
                            stdin=subprocess.DEVNULL, timeout=30).returncode
    with open(out) as f:
        return rc, f.read()


def find_window(work, title, timeout):
    end = time.time() + timeout
    while time.time() < end:
        rc, text = xdotool(work, "search", "--onlyvisible", "--name", "^" + title + "$")
        if rc == 0 and text.split():
            window = text.split()[-1]
            rc, geometry = xdotool(work, "getwindowgeometry", "--shell", window)
            values = dict(line.split("=", 1) for line in geometry.split() if "=" in line)
            if rc == 0 and "X" in values:
                return window, int(values["X"]), int(values["Y"]), int(values["WIDTH"]), int(values["HEIGHT"])
        time.sleep(0.2)
    return None


def gone(work, title, timeout=30):
    end = time.time() + timeout
    while time.time() < end:
        rc, text = xdotool(work, "search", "--onlyvisible", "--name", "^" + title + "$")
        if rc != 0 or not text.split():
            return True
        time.sleep(0.2)
    return False


def window_shot(window, path):
    """One window read on its own (an owned window shows black on the root window)."""
    xwd = path[:-4] + ".xwd"
    subprocess.run(["xwd", "-id", window, "-silent", "-out", xwd], check=True, timeout=30)
    subprocess.run(["/usr/bin/convert", xwd, path], check=True, timeout=30)
    os.remove(xwd)


def mean_of(path):
    out = subprocess.run(["/usr/bin/convert", path, "-colorspace", "gray", "-format", "%[fx:mean]", "info:"],
                         capture_output=True, text=True)
    try:
        return float(out.stdout.strip())
    except ValueError:
        return -1.0


def close_modal(work, title, shot_path, settle):
    """Waits for the modal window, shoots it once it has settled, closes it with Escape."""
    found = find_window(work, title, 90)
    check(found is not None, f"a window titled {title!r} opens")
    if not found:
        return None
    window, x, y, w, h = found
    time.sleep(settle)
    window_shot(window, shot_path)
    xdotool(work, "mousemove", x + w // 2, y + 12)  # keys go to the window under the pointer
    time.sleep(0.2)
    xdotool(work, "key", "Escape")
    check(gone(work, title), f"Escape closes {title!r}")
    return shot_path


def run(work, server, pictures, docs):
    release = os.path.join(server.folder, "en-release")
    first_body = os.path.join(server.folder, "%d.body" % (server.count + 1))
    url = server.url("/hold?release=en-release")
    shots = {name: os.path.join(work, f"en-{name}.png") for name in ("empty", "filled", "uploading", "zh", "again")}

    def init(language):
        config = {"PostUrl": url, "ThreadCount": 1}
        if language:
            config["Language"] = language
        return f"control.postMessage({json.dumps(json.dumps({'name': 'init', 'config': config}))});\n"

    folder = os.path.dirname(pictures[0])
    body = a11y.PAGE + init("en") + f"""
control.postMessage({json.dumps(json.dumps({"name": "setFolder", "path": panel.winpath(folder)}))});
host.sleep(500);
host.screenshot({json.dumps(panel.winpath(shots["empty"]))});
dump("empty");
""" + "".join(f"add({json.dumps(panel.winpath(p))});\n" for p in pictures) + f"""
host.sleep(1500);
host.screenshot({json.dumps(panel.winpath(shots["filled"]))});
dump("filled");
host.click({ADD_EN[0] + 48}, {ADD_EN[1] + 12});
host.sleep(300);
host.click({panel.CELL0_PICTURE[0]}, {panel.CELL0_PICTURE[1]});
host.key("Ctrl+E");
host.sleep(300);
host.click({UPLOAD_EN[0] + 42}, {UPLOAD_EN[1] + 12});
waitFile({json.dumps(panel.winpath(first_body))});
host.sleep(500);
host.screenshot({json.dumps(panel.winpath(shots["uploading"]))});
dump("uploading");
fso.CreateTextFile({json.dumps(panel.winpath(release))}).Close();
waitComplete(1);
host.sleep(300);
""" + init("zh-CN") + f"""
host.sleep(500);
host.screenshot({json.dumps(panel.winpath(shots["zh"]))});
dump("zh");
""" + init("en") + f"""
host.sleep(500);
host.screenshot({json.dumps(panel.winpath(shots["again"]))});
dump("again");
"""
    script = os.path.join(work, "english.js")
    with open(script, "w", encoding="utf-8") as f:
        f.write(panel.PAGE_HEAD + body)
    out = os.path.join(work, "english.out")
    if os.path.exists(release):
        os.remove(release)
    with open(out, "w", encoding="utf-8") as sink:
        page = subprocess.Popen([os.path.join(panel.ROOT, "scripts", "page"), script, "--size", f"{WIDTH}x{HEIGHT}",
                                 "--timeout", "240"], stdin=subprocess.DEVNULL, stdout=sink, stderr=subprocess.STDOUT)
        dialog = close_modal(work, DIALOG_TITLE, os.path.join(work, "en-add-dialog.png"), 2.5)
        editor = close_modal(work, EDIT_TITLE, os.path.join(work, "en-edit-window.png"), 2.5)
        try:
            rc = page.wait(timeout=300)
        except subprocess.TimeoutExpired:
            page.kill()
            rc = -1
    with open(out, encoding="utf-8", errors="replace") as f:
        stdout = f.read()
    check(rc == 0, f"page exit {rc}: {stdout[-1500:]}")

    trees = {label: a11y.parse_tree(lines) for label, lines in a11y.blocks(stdout, "TREE").items()}
    for label in ("empty", "filled", "uploading", "again"):
        tree = trees.get(label)
        check(tree is not None, f"{label}: the tree was read")
        if tree is None:
            continue
        check(not chinese_words(tree), f"{label}: no Chinese word in the English tree {chinese_words(tree)}")
        check(tree.name == "Photo upload", f"{label}: the control is named {tree.name!r}")
        names = {(e.role, e.name) for e in walk(tree)}
        for role, name in (("pushbutton", "Add photos"), ("pushbutton", "Upload"), ("pushbutton", "Cancel"),
                           ("checkbox", "Select all"), ("pushbutton", "Rotate left"), ("combobox", "Sort"),
                           ("list", "Upload list")):
            check((role, name) in names, f"{label}: a {role} named {name!r}")
        check(all(e.action in ("", "Click") for e in walk(tree)), f"{label}: every default action is 'Click'")
    empty = trees.get("empty")
    if empty:
        sort = [e for e in walk(empty) if e.role == "combobox"]
        check(bool(sort) and sort[0].value == "Default order", f"empty: the sort box reads {sort}")
    uploading = trees.get("uploading")
    if uploading:
        texts = [e.name for e in walk(uploading) if e.role == "text"]
        check(any(t.startswith("Uploading ") and " photos, " in t for t in texts),
              f"uploading: the progress line reads {texts}")
        items = [e for e in walk(uploading) if e.role == "listitem"]
        check(len(items) == 3 and all(e.description in ("Waiting", "Preparing") or e.description.endswith("%")
                                      for e in items), f"uploading: the items say {[e.description for e in items]}")
    zh = trees.get("zh")
    check(zh is not None and zh.name == "照片上传" and
          ("pushbutton", "添加照片") in {(e.role, e.name) for e in walk(zh)},
          f"a later init in Chinese brings the Chinese names back: {zh}")

    # The screen: the English images where the words are part of the image.
    def nearer(shot, region, english, chinese, background=panel.STRIP):
        return panel.difference(shot, region, english, background) < panel.difference(shot, region, chinese,
                                                                                       background)
    if os.path.exists(shots["empty"]):
        check(nearer(shots["empty"], BIG_ADD, "BtnAdd2-Normal-en", "BtnAdd2-Normal", panel.LIST_AREA),
              "empty: the big add button shows its English image")
        check(panel.shown(shots["empty"], UPLOAD_EN, ["BtnPost-Disable-en", "BtnPost-Disable", "BtnPost-Normal-en"])
              == "BtnPost-Disable-en", "empty: the upload button shows its English disabled image")
    if os.path.exists(shots["filled"]):
        check(panel.shown(shots["filled"], ADD_EN, ["BtnAdd-Normal-en", "BtnAdd-Hover-en", "BtnAdd-Normal"])
              in ("BtnAdd-Normal-en", "BtnAdd-Hover-en"), "filled: the add button shows its English image")
        check(panel.difference(shots["filled"], ADD_EN, "BtnAdd-Normal-en", panel.STRIP) < 0.08,
              "filled: the English add button is drawn whole at its place")
    if os.path.exists(shots["uploading"]):
        check(panel.shown(shots["uploading"], UPLOAD_EN, ["BtnPost-Cancel-en", "BtnPost-Cancel", "BtnPost-Normal-en"])
              == "BtnPost-Cancel-en", "uploading: the cancel button shows its English image")
    if os.path.exists(shots["zh"]):
        check(panel.shown(shots["zh"], BIG_ADD, ["BtnAdd2-Normal", "BtnAdd2-Normal-en"], panel.LIST_AREA)
              == "BtnAdd2-Normal", "zh: the big add button shows its Chinese image again")
        check(panel.shown(shots["zh"], ADD_ZH, ["BtnAdd-Normal", "BtnAdd-Normal-en"]) == "BtnAdd-Normal",
              "zh: the add button shows its Chinese image again")
    if os.path.exists(shots["again"]):
        check(panel.shown(shots["again"], BIG_ADD, ["BtnAdd2-Normal", "BtnAdd2-Normal-en"], panel.LIST_AREA)
              == "BtnAdd2-Normal-en", "again: English once more")
    if dialog and os.path.exists(dialog):
        check(panel.shown(dialog, DIALOG_OK, ["BtnOk-en", "BtnOk"], "white") == "BtnOk-en",
              "the add-images dialog's OK button shows its English image")
    if editor and os.path.exists(editor):
        check(0.2 < mean_of(editor) < 0.98, "the edit window is drawn (not a black or blank window)")

    if docs:
        os.makedirs(docs, exist_ok=True)
        for name in ("empty", "filled", "uploading"):
            if os.path.exists(shots[name]):
                shutil.copy(shots[name], os.path.join(docs, f"en-panel-{name}.png"))
        for path in (dialog, editor):
            if path and os.path.exists(path):
                shutil.copy(path, os.path.join(docs, os.path.basename(path)))


def main():
    docs = os.path.abspath(sys.argv[2]) if len(sys.argv) > 2 and sys.argv[1] == "--docs" else None
    with tempfile.TemporaryDirectory(prefix="fotoloft-en-") as work:
        work = os.environ.get("FOTOLOFT_EN_WORK", work)
        os.makedirs(work, exist_ok=True)
        photos = os.path.join(work, "Photos")
        os.makedirs(photos, exist_ok=True)
        pictures = panel.make_pictures(photos, 3)
        with panel.servers.RecordingServer(os.path.join(work, "server")) as server:
            run(work, server, pictures, docs)
    print("%d failure(s)" % len(failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
