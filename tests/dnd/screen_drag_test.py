#!/usr/bin/env python3
"""Screen test of dragging an upload-list item onto another.

Runs the drag showcase (an upload list holding a red, a green and a blue picture) under Wine
on the test display, drags items with the real mouse through xdotool (press, a small move,
moves 0.3 s apart, release), and checks the new order twice: in the showcase's log and in
screenshots at the cells' centres. Screenshots of a run stay in
<build>/test-artifacts/dnd_screen/.

    screen_drag_test.py SHOWCASE.exe

Environment: DISPLAY, WINEPREFIX, FOTOLOFT_BUILD_DIR.
"""
import os
import shutil
import subprocess
import sys
import time

BUILD = os.environ.get("FOTOLOFT_BUILD_DIR", os.getcwd())
ARTIFACTS = os.path.join(BUILD, "test-artifacts", "dnd_screen")
CONVERT = "/usr/bin/convert"

# The list's grid: cells 150 x 151 from (4, 4), 164 apart; three columns in 640 pixels. The
# thumbnail fills the top of a cell: its middle is 60 pixels down.
COLOURS = {"red": (255, 0, 0), "green": (0, 160, 0), "blue": (0, 0, 255)}


def cell_centre(index):
    return 4 + index * 164 + 75, 4 + 60


failures = []
shots = 0


def check(condition, what):
    print(("ok   " if condition else "FAIL ") + what)
    if not condition:
        failures.append(what)
    return condition


def xdo(*args):
    subprocess.run(["xdotool"] + [str(a) for a in args], check=True, timeout=30)


def screenshot(name):
    global shots
    shots += 1
    base = os.path.join(ARTIFACTS, "%02d-%s" % (shots, name))
    xwd = base + ".xwd"
    subprocess.run(["xwd", "-root", "-silent", "-out", xwd], check=True, timeout=30)
    subprocess.run([CONVERT, xwd, base + ".png"], check=True, timeout=30)
    raw = subprocess.run([CONVERT, xwd, "-depth", "8", "RGB:-"], check=True, timeout=30, capture_output=True).stdout
    width = int(subprocess.run([CONVERT, xwd, "-format", "%w", "info:"], check=True, timeout=30,
                               capture_output=True, text=True).stdout)
    os.remove(xwd)
    return lambda x, y: tuple(raw[(y * width + x) * 3:(y * width + x) * 3 + 3])


def near(a, b, tolerance=24):
    return all(abs(p - q) <= tolerance for p, q in zip(a, b))


class Showcase:
    def __init__(self, exe, pictures):
        self.log_path = os.path.join(ARTIFACTS, "showcase.log")
        self.out = open(os.path.join(ARTIFACTS, "showcase.out"), "w")
        windows_paths = ["Z:" + p.replace("/", "\\") for p in pictures]
        self.proc = subprocess.Popen(["wine", exe, "Z:" + self.log_path.replace("/", "\\")] + windows_paths,
                                     stdout=self.out, stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL)
        line = self.wait_line("ready ", 90)
        if not line:
            raise RuntimeError("the showcase did not come up (log: %s)" % self.lines())
        _, x, y = line.split()
        self.x, self.y = int(x), int(y)

    def lines(self):
        try:
            with open(self.log_path, encoding="utf-8") as f:
                return [l.rstrip("\r\n") for l in f]
        except FileNotFoundError:
            return []

    def wait_line(self, prefix, timeout=20, after=0):
        end = time.time() + timeout
        while time.time() < end:
            for line in self.lines()[after:]:
                if line.startswith(prefix):
                    return line
            time.sleep(0.05)
        return None

    def last_order(self):
        orders = [l for l in self.lines() if l.startswith("order")]
        return orders[-1].split()[1:] if orders else []

    def wait_order(self, expected, timeout=20):
        end = time.time() + timeout
        while time.time() < end and self.last_order() != expected:
            time.sleep(0.05)
        return self.last_order()

    def screen(self, point):
        return self.x + point[0], self.y + point[1]

    def close(self):
        open(self.log_path + ".quit", "w").close()
        try:
            code = self.proc.wait(timeout=30)
            check(code == 0, "the showcase ended cleanly")
        except subprocess.TimeoutExpired:
            check(False, "the showcase ended when asked")
            self.proc.kill()  # the program this test started, by its handle
        self.out.close()


def drag(showcase, source, target):
    """Press on the source cell, a small move, moves 0.3 s apart to the target, release."""
    sx, sy = showcase.screen(cell_centre(source))
    tx, ty = showcase.screen(cell_centre(target))
    xdo("mousemove", sx, sy)
    time.sleep(0.3)
    xdo("mousedown", 1)
    time.sleep(0.3)
    xdo("mousemove", sx + 6, sy + 4)
    for step in (1, 2, 3):
        time.sleep(0.3)
        xdo("mousemove", sx + (tx - sx) * step // 3, sy + (ty - sy) * step // 3)
    time.sleep(0.3)
    xdo("mouseup", 1)
    time.sleep(0.3)
    xdo("mousemove", showcase.x + 600, showcase.y + 380)  # off the items: no hover tools


def shows(showcase, name, order):
    """Screenshots until the cells show the colours of the order (bounded); whether they do."""
    end = time.time() + 20
    while True:
        at = screenshot(name)
        seen = [at(*showcase.screen(cell_centre(i))) for i in range(len(order))]
        if all(near(s, COLOURS[n.split(".")[0]]) for s, n in zip(seen, order)) or time.time() > end:
            return check(all(near(s, COLOURS[n.split(".")[0]]) for s, n in zip(seen, order)),
                         "%s: the cells show %s (seen %s)" % (name, " ".join(order), seen))
        time.sleep(0.2)


def main():
    if len(sys.argv) != 2:
        print(__doc__)
        return 2
    shutil.rmtree(ARTIFACTS, ignore_errors=True)
    os.makedirs(ARTIFACTS)
    pictures = []
    for name, rgb in COLOURS.items():
        path = os.path.join(ARTIFACTS, name + ".png")
        subprocess.run([CONVERT, "-size", "200x150", "xc:rgb(%d,%d,%d)" % rgb, path], check=True, timeout=30)
        pictures.append(path)

    showcase = Showcase(sys.argv[1], pictures)
    try:
        check(showcase.wait_line("thumbs", 60) is not None, "every thumbnail is made")
        start = ["red.png", "green.png", "blue.png"]
        check(showcase.wait_order(start) == start, "the list starts in the order of addition")
        shows(showcase, "start", start)

        # The first onto the third: it lands directly before the third.
        drag(showcase, 0, 2)
        expected = ["green.png", "red.png", "blue.png"]
        check(showcase.wait_order(expected) == expected, "first onto third: %s" % showcase.last_order())
        shows(showcase, "first-onto-third", expected)

        # An item dropped on itself stays where it is.
        drag(showcase, 1, 1)
        time.sleep(0.5)
        check(showcase.last_order() == expected, "onto itself: unchanged, %s" % showcase.last_order())

        # The last onto the first.
        drag(showcase, 2, 0)
        expected = ["blue.png", "green.png", "red.png"]
        check(showcase.wait_order(expected) == expected, "last onto first: %s" % showcase.last_order())
        shows(showcase, "last-onto-first", expected)
    finally:
        showcase.close()

    print("%d failure(s)" % len(failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
