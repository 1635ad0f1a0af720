#!/usr/bin/env python3
"""Screen test of the upload list in the real control, in the page host, under Xvfb.

A page script "addFile"s pictures made here with ImageMagick; this script then looks at the
screen and drives the real mouse and keyboard with xdotool: thumbnails show, hover tools
appear and work, plain, Ctrl and Shift clicks and Ctrl+A select, Delete removes, renaming
commits on Enter and on focus loss and Escape cancels, the wheel and the bar scroll.
Screenshots of a failing run stay in <build>/test-artifacts/list_screen/.

    list_screen_test.py [--docs DIR]

With --docs, it instead adds 300 photos, scrolls to the end and writes DIR/list-300.png.

Environment: DISPLAY, WINEPREFIX, FOTOLOFT_BUILD_DIR, FOTOLOFT_SOURCE_DIR.
"""
import os
import shutil
import subprocess
import sys
import tempfile
import time

SOURCE = os.environ.get("FOTOLOFT_SOURCE_DIR", os.path.join(os.path.dirname(__file__), "..", ".."))
BUILD = os.environ.get("FOTOLOFT_BUILD_DIR", os.getcwd())
ARTIFACTS = os.path.join(BUILD, "test-artifacts", "list_screen")
CONVERT = "/usr/bin/convert"

# The control and its upload list (control coordinates): the list at (1, 57), cells of
# 150 x 151 with gaps 14 and 32 from a 4-pixel margin.
CONTROL_W, CONTROL_H = 800, 500
LIST_X, LIST_Y = 1, 57
LIST_W, LIST_H = CONTROL_W - 2, CONTROL_H - 58
CELL_W, CELL_H, GAP_X, GAP_Y, MARGIN = 150, 151, 14, 32, 4
COLUMNS = (LIST_W - 2 * MARGIN + GAP_X - 17) // (CELL_W + GAP_X)
SELECTED = (84, 180, 233)
UNSELECTED = (225, 225, 225)
PANEL_LIST_AREA = (243, 243, 243)

COLOURS = [(200, 30, 30), (30, 160, 40), (40, 60, 200), (220, 200, 20), (160, 40, 170), (20, 170, 180),
           (240, 130, 20), (110, 80, 40), (250, 150, 190), (60, 60, 60), (150, 220, 120), (120, 160, 250),
           (200, 120, 120), (90, 140, 90)]

failures = []
shots = 0


def check(condition, what):
    print(("ok   " if condition else "FAIL ") + what, flush=True)
    if not condition:
        failures.append(what)
    return condition


def near(a, b, tolerance=12):
    return all(abs(x - y) <= tolerance for x, y in zip(a, b))


class Screen:
    """The whole display, read pixel by pixel."""

    def __init__(self, name):
        global shots
        shots += 1
        base = os.path.join(ARTIFACTS, "%02d-%s" % (shots, name))
        self.png = base + ".png"
        xwd, raw = base + ".xwd", base + ".rgb"
        subprocess.run(["xwd", "-root", "-silent", "-out", xwd], check=True, timeout=30)
        subprocess.run([CONVERT, xwd, self.png], check=True, timeout=30)
        subprocess.run([CONVERT, xwd, "-depth", "8", "RGB:" + raw], check=True, timeout=30)
        size = subprocess.run([CONVERT, xwd, "-format", "%w %h", "info:"], check=True, timeout=30,
                              capture_output=True, text=True).stdout.split()
        self.w, self.h = int(size[0]), int(size[1])
        with open(raw, "rb") as f:
            self.data = f.read()
        os.remove(raw)
        os.remove(xwd)

    def at(self, x, y):
        i = (y * self.w + x) * 3
        return tuple(self.data[i:i + 3])

    def find_control(self):
        """The control's top-left corner: the panel's border with its pale fill inside."""
        for y in range(0, self.h - 2):
            for x in range(0, self.w - 2):
                if self.at(x, y) == (166, 197, 225) and self.at(x + 1, y + 1) == (230, 242, 253) and \
                        self.at(x + 1, y) == (166, 197, 225) and self.at(x, y + 1) == (166, 197, 225):
                    return x, y
        return None


def xdotool(*args):
    subprocess.run(["xdotool"] + [str(a) for a in args], check=True, timeout=30)


class Page:
    """The page host running a script that adds the pictures and then waits for 'quit'."""

    def __init__(self, work, pictures):
        self.work = work
        self.win_work = "Z:" + work.replace("/", "\\")
        adds = "\n".join('control.postMessage(%s);' % js_string('{"name":"addFile","path":%s}' % json_string(
            "Z:" + p.replace("/", "\\"))) for p in pictures)
        script = os.path.join(work, "page.js")
        with open(script, "w", encoding="utf-8") as f:
            f.write("""
var fso = new ActiveXObject("Scripting.FileSystemObject");
var dir = %s;
function mark(name) { fso.CreateTextFile(dir + "\\\\" + name, true).Close(); }
control.postMessage('{"name":"init","config":{}}');
host.screenshot(dir + "\\\\empty.png");
control.postMessage('{"name":"addFile","path":"Z:\\\\no\\\\such\\\\file.png"}');
%s
%s
mark("added");
for (var i = 0; i < 2400 && !fso.FileExists(dir + "\\\\quit"); i++) host.sleep(50);
host.quit(0);
""" % (js_string(self.win_work), adds, adds))  # every path twice: the second add is ignored
        self.out = open(os.path.join(ARTIFACTS, "page.out"), "w")
        self.proc = subprocess.Popen([os.path.join(SOURCE, "scripts", "page"), script, "--size",
                                      "%dx%d" % (CONTROL_W, CONTROL_H), "--timeout", "200"],
                                     stdout=self.out, stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL)

    def wait_file(self, name, timeout):
        end = time.time() + timeout
        while time.time() < end:
            if os.path.exists(os.path.join(self.work, name)):
                return True
            if self.proc.poll() is not None:
                return False
            time.sleep(0.05)
        return False

    def finish(self):
        open(os.path.join(self.work, "quit"), "w").close()
        try:
            return self.proc.wait(timeout=60)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            return -1


def json_string(text):
    return '"' + text.replace("\\", "\\\\").replace('"', '\\"') + '"'


def js_string(text):
    return "'" + text.replace("\\", "\\\\").replace("'", "\\'") + "'"


def wait_for(what, condition, timeout=20):
    """Takes screenshots until the condition holds on one; returns that screen or the last."""
    end = time.time() + timeout
    while True:
        screen = Screen(what.replace(" ", "-")[:40])
        if condition(screen):
            check(True, what)
            return screen
        if time.time() >= end:
            check(False, what)
            return screen
        time.sleep(0.2)


class List:
    """Cell geometry on the screen for a given scroll position."""

    def __init__(self, origin):
        self.ox, self.oy = origin[0] + LIST_X, origin[1] + LIST_Y
        self.scroll = 0

    def cell(self, index):
        col, row = index % COLUMNS, index // COLUMNS
        left = self.ox + MARGIN + col * (CELL_W + GAP_X)
        top = self.oy + MARGIN + row * (CELL_H + GAP_Y) - self.scroll
        return left, top, left + CELL_W, top + CELL_H

    def thumb_centre(self, index):
        l, t, r, b = self.cell(index)
        return (l + r) // 2, (t + 1 + b - 30) // 2

    def frame_pixel(self, index):
        l, t, r, b = self.cell(index)
        return l, t + 60

    def caption(self, index):
        l, t, r, b = self.cell(index)
        return l + 75, b - 15

    def button(self, index, name):
        l, t, r, b = self.cell(index)
        return {"Del": (r - 8, t + 8), "LeftCirc": (l + 21, b - 45), "RightCirc": (l + 49, b - 45),
                "Editor": (l + 77, b - 45), "Search": (l + 134, b - 45)}[name]


def click(x, y, modifier=None):
    xdotool("mousemove", x, y)
    time.sleep(0.1)
    if modifier:
        xdotool("keydown", modifier)
    xdotool("click", 1)
    if modifier:
        xdotool("keyup", modifier)
    time.sleep(0.15)


def caption_pixels(screen, lst, index):
    l, t, r, b = lst.cell(index)
    return [screen.at(x, y) for y in range(b - 24, b - 6) for x in range(l + 4, r - 4)]


def docs_shot(docs):
    """300 photo-like pictures added by the page, scrolled to the end, the control saved."""
    work = tempfile.mkdtemp(prefix="fotoloft-list-docs-")
    base = os.path.join(work, "base.png")
    subprocess.run([CONVERT, "-seed", "7", "-size", "640x480", "plasma:fractal", "-blur", "0x1", base],
                   check=True, timeout=120)
    pictures = []
    for i in range(300):
        path = os.path.join(work, "IMG_%04d.jpg" % (i + 1))
        subprocess.run([CONVERT, base, "-roll", "+%d+%d" % (i * 37, i * 23), "-modulate",
                        "100,%d,%d" % (80 + i % 40, (i * 7) % 200), "-quality", "85", path], check=True, timeout=60)
        pictures.append(path)
    page = Page(work, pictures)
    try:
        if not check(page.wait_file("added", 300), "the page added 300 photos"):
            return 1
        screen = Screen("docs-start")
        origin = screen.find_control()
        if not check(origin is not None, "the control is on the screen"):
            return 1
        lst = List(origin)
        xdotool("mousemove", lst.ox + 300, lst.oy + 200)
        xdotool("click", "--repeat", "120", "--delay", "15", 5)
        content = ((300 + COLUMNS - 1) // COLUMNS) * (CELL_H + GAP_Y) + 2 * MARGIN
        lst.scroll = content - LIST_H
        screen = wait_for("the last photos show after scrolling to the end",
                          lambda s: max(s.at(*lst.thumb_centre(299))) < 250 and
                          s.at(*lst.thumb_centre(299)) != s.at(*lst.thumb_centre(299 - COLUMNS)), 120)
        x, y = origin
        subprocess.run([CONVERT, screen.png, "-crop", "%dx%d+%d+%d" % (CONTROL_W, CONTROL_H, x, y), "+repage",
                        "-define", "png:exclude-chunks=date,time", os.path.join(docs, "list-300.png")],
                       check=True, timeout=60)
    finally:
        page.finish()
        page.out.close()
        shutil.rmtree(work, ignore_errors=True)
    return 1 if failures else 0


def main():
    if len(sys.argv) == 3 and sys.argv[1] == "--docs":
        os.makedirs(ARTIFACTS, exist_ok=True)
        return docs_shot(os.path.abspath(sys.argv[2]))
    if os.path.isdir(ARTIFACTS):
        shutil.rmtree(ARTIFACTS)
    os.makedirs(ARTIFACTS)
    work = tempfile.mkdtemp(prefix="fotoloft-list-")
    pictures = []
    for i, (r, g, b) in enumerate(COLOURS):
        path = os.path.join(work, "pic%02d.png" % i)
        subprocess.run([CONVERT, "-size", "640x480", "xc:rgb(%d,%d,%d)" % (r, g, b), path], check=True, timeout=30)
        pictures.append(path)
    page = Page(work, pictures)
    try:
        run(page, work)
    finally:
        code = page.finish()
        page.out.close()
        shutil.rmtree(work, ignore_errors=True)
    check(code == 0, "the page ended cleanly (code %s)" % code)
    with open(os.path.join(ARTIFACTS, "page.out")) as f:
        print(f.read())
    if failures:
        print("%d checks failed; screenshots in %s" % (len(failures), ARTIFACTS))
        return 1
    shutil.rmtree(ARTIFACTS, ignore_errors=True)
    return 0


def run(page, work):
    if not check(page.wait_file("added", 120), "the page added its pictures"):
        return
    empty = os.path.join(work, "empty.png")
    if check(os.path.exists(empty), "the page took a screenshot before adding"):
        # Below the empty panel's big add button and its line of text: the bare list area.
        pixel = subprocess.run([CONVERT, empty, "-format", "%[pixel:p{400,400}]", "info:"], check=True,
                               capture_output=True, text=True, timeout=30).stdout.strip()
        check(pixel in ("srgb(243,243,243)", "rgb(243,243,243)"), "an empty list is hidden (%s)" % pixel)

    screen = Screen("start")
    origin = screen.find_control()
    if not check(origin is not None, "the control is on the screen"):
        return
    lst = List(origin)
    visible = [i for i in range(len(COLOURS)) if lst.cell(i)[3] <= lst.oy + LIST_H]

    screen = wait_for("every visible thumbnail shows its picture",
                      lambda s: all(near(s.at(*lst.thumb_centre(i)), COLOURS[i]) for i in visible), 60)
    check(all(s == UNSELECTED for s in [screen.at(*lst.frame_pixel(i)) for i in visible]),
          "unselected items have a light frame")

    # Hover: the dark tool band and the icons appear on the hovered item only.
    l, t, r, b = lst.cell(0)
    xdotool("mousemove", l + 75, t + 40)
    band = (l + 5, t + 100)
    screen = wait_for("hovering shows the tool band", lambda s: max(s.at(*band)) < 90, 5)
    check(max(screen.at(lst.cell(1)[0] + 5, lst.cell(1)[1] + 100)) > 100, "other items show no band")
    check(near(screen.at(r - 15, t + 9), (224, 72, 60), 40), "the delete icon shows")

    # Selection by clicks.
    click(*lst.thumb_centre(0))
    click(*lst.thumb_centre(2), "ctrl")
    screen = wait_for("a plain click and a Ctrl click select two items",
                      lambda s: s.at(*lst.frame_pixel(0)) == SELECTED and s.at(*lst.frame_pixel(2)) == SELECTED
                      and s.at(*lst.frame_pixel(1)) == UNSELECTED, 5)
    click(*lst.thumb_centre(0))
    click(*lst.thumb_centre(3), "shift")
    wait_for("a Shift click selects the range from the anchor",
             lambda s: all(s.at(*lst.frame_pixel(i)) == SELECTED for i in range(4))
             and s.at(*lst.frame_pixel(4)) == UNSELECTED, 5)
    click(*lst.thumb_centre(1))
    xdotool("key", "ctrl+a")
    wait_for("Ctrl+A selects every item",
             lambda s: all(s.at(*lst.frame_pixel(i)) == SELECTED for i in visible), 5)

    # Delete removes the selection: the next item moves into the first cell.
    click(*lst.thumb_centre(0))
    xdotool("key", "Delete")
    wait_for("Delete removes the selected item",
             lambda s: near(s.at(*lst.thumb_centre(0)), COLOURS[1]), 5)
    colours = COLOURS[1:]

    # The delete tool of a selected item.
    click(*lst.thumb_centre(0))
    click(*lst.button(0, "Del"))
    wait_for("the delete tool removes its item", lambda s: near(s.at(*lst.thumb_centre(0)), colours[1]), 5)
    colours = colours[1:]

    # A right turn: the 120 x 90 thumbnail becomes 90 x 120.
    click(*lst.thumb_centre(0))
    l, t, r, b = lst.cell(0)
    side = (l + 75 - 55, t + 61)
    xdotool("mousemove", l + 75, t + 40)
    time.sleep(0.2)
    click(*lst.button(0, "RightCirc"))
    xdotool("mousemove", lst.ox + LIST_W - 40, lst.oy + LIST_H - 5)  # away, so the band goes
    wait_for("the turn tool turns the thumbnail",
             lambda s: not near(s.at(*side), colours[0]) and near(s.at(l + 75, t + 10), colours[0]), 10)

    # Renaming: Enter commits, Escape cancels, focus loss commits.
    before = caption_pixels(Screen("caption-before"), lst, 1)
    click(*lst.thumb_centre(1))
    click(*lst.caption(1))
    wait_for("the caption strip opens the rename box",
             lambda s: s.at(lst.cell(1)[0], lst.cell(1)[3] - 30) == (100, 100, 100), 5)
    xdotool("type", "--delay", "40", "zzzz")
    xdotool("key", "Escape")
    screen = wait_for("Escape closes the box", lambda s: s.at(lst.cell(1)[0], lst.cell(1)[3] - 30) != (100, 100, 100), 5)
    check(caption_pixels(screen, lst, 1) == before, "Escape leaves the caption as it was")
    click(*lst.caption(1))
    wait_for("the box opens again", lambda s: s.at(lst.cell(1)[0], lst.cell(1)[3] - 30) == (100, 100, 100), 5)
    xdotool("type", "--delay", "40", "W")
    xdotool("key", "Return")
    screen = wait_for("Enter closes the box", lambda s: s.at(lst.cell(1)[0], lst.cell(1)[3] - 30) != (100, 100, 100), 5)
    renamed = caption_pixels(screen, lst, 1)
    check(renamed != before, "Enter commits the new caption")
    before2 = caption_pixels(screen, lst, 2)
    click(*lst.thumb_centre(2))
    click(*lst.caption(2))
    wait_for("the box opens on another item", lambda s: s.at(lst.cell(2)[0], lst.cell(2)[3] - 30) == (100, 100, 100), 5)
    xdotool("type", "--delay", "40", "WWWW")
    click(*lst.thumb_centre(4))  # focus goes elsewhere
    screen = wait_for("a click elsewhere closes the box",
                      lambda s: s.at(lst.cell(2)[0], lst.cell(2)[3] - 30) != (100, 100, 100), 5)
    check(caption_pixels(screen, lst, 2) != before2, "losing focus commits the new caption")

    # Scrolling: a wheel notch moves whole rows (three lines, but no more than the two rows the
    # list shows) as far as the content goes, the bar by a page.
    content = ((len(colours) + COLUMNS - 1) // COLUMNS) * (CELL_H + GAP_Y) + 2 * MARGIN
    xdotool("mousemove", lst.ox + 300, lst.oy + 200)
    probe = lst.thumb_centre(COLUMNS)  # the first item of the second row
    xdotool("click", 5)
    lst.scroll = min(min(3, LIST_H // (CELL_H + GAP_Y)) * (CELL_H + GAP_Y), content - LIST_H)
    wait_for("the wheel scrolls down whole rows",
             lambda s: near(s.at(*lst.thumb_centre(COLUMNS)), colours[COLUMNS]) and
             lst.thumb_centre(COLUMNS)[1] != probe[1], 5)
    xdotool("click", 4)
    lst.scroll = 0
    wait_for("the wheel scrolls back up", lambda s: near(s.at(*probe), colours[COLUMNS]), 5)
    click(lst.ox + LIST_W - 8, lst.oy + LIST_H - 40)  # the bar's trough below the thumb
    lst.scroll = min(LIST_H, content - LIST_H)
    last = len(colours) - 1
    wait_for("a click on the bar scrolls a page", lambda s: near(s.at(*lst.thumb_centre(last)), colours[last]), 5)


if __name__ == "__main__":
    sys.exit(main())
