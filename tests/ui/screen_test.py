#!/usr/bin/env python3
"""Screen tests of the owner-drawn toolkit.

Runs the showcase form (one of each control) under Wine on the test display, drives the real
mouse and keyboard with xdotool, takes screenshots and checks pixels against the colours the
controls are specified to draw and against the skin PNGs themselves; checks the signals the
form logged. Screenshots of a failing run stay in <build>/test-artifacts/ui_screen/.

    screen_test.py SHOWCASE.exe

Environment: DISPLAY, WINEPREFIX, FOTOLOFT_BUILD_DIR, FOTOLOFT_SOURCE_DIR; with
FOTOLOFT_DOCS_DIR set, the form and dialog screenshots are also written there.
"""
import os
import shutil
import subprocess
import sys
import time

SOURCE = os.environ.get("FOTOLOFT_SOURCE_DIR", os.path.join(os.path.dirname(__file__), "..", ".."))
BUILD = os.environ.get("FOTOLOFT_BUILD_DIR", os.getcwd())
ARTIFACTS = os.path.join(BUILD, "test-artifacts", "ui_screen")
SKIN = os.path.join(SOURCE, "res", "skin")
CONVERT = "/usr/bin/convert"

# The showcase form's layout (client coordinates; the window is borderless).
FORM_W, FORM_H = 520, 340
ADD = (10, 44)          # 84 x 24, BtnAdd-*
PLAIN = (104, 44)       # 72 x 25, BtnNormal/BtnHover/BtnDown, caption
DISABLED = (198, 44)    # 72 x 25, disabled, caption
CHECK = (10, 84)        # 15 x 15 box
INFO = (90, 84)         # IcoInfo
SLIDER = (10, 144)      # TrackBar 200 x 15, 0..100, value 30
EXT = (10, 174)         # ExtTrackBar 122 x 15, -100..100, value 0
EDITOR = (260, 140)     # 80 x 22
COMBO = (260, 172)
MESSAGE = (FORM_W - 10 - 72, FORM_H - 6 - 25)  # 72 x 25
CLOSE = (FORM_W - 10 - 15, 10)
EDIT_TOOL = (120, 84)   # IconLabel, IcoEdit
DELETE_TOOL = (190, 84)  # IconLabel, disabled

failures = []
shots = 0


def check(condition, what):
    if condition:
        print("ok   " + what)
    else:
        print("FAIL " + what)
        failures.append(what)
    return condition


class Screen:
    """A screenshot of the whole display, read pixel by pixel."""

    def __init__(self, name, window=None):
        global shots
        shots += 1
        base = os.path.join(ARTIFACTS, "%02d-%s" % (shots, name))
        self.png = base + ".png"
        raw = base + ".rgb"
        xwd = base + ".xwd"
        # A window with save-under (every dialog: CS_SAVEBITS) reads back black from the root
        # window under Xvfb; such a window is captured by its own id.
        source = ["-id", str(window)] if window else ["-root"]
        subprocess.run(["xwd"] + source + ["-silent", "-out", xwd], check=True, timeout=30)
        subprocess.run([CONVERT, xwd, self.png], check=True, timeout=30)
        subprocess.run([CONVERT, xwd, "-depth", "8", "RGB:" + raw], check=True, timeout=30)
        info = subprocess.run([CONVERT, xwd, "-format", "%w %h", "info:"], check=True, timeout=30,
                              capture_output=True, text=True).stdout.split()
        self.w, self.h = int(info[0]), int(info[1])
        with open(raw, "rb") as f:
            self.data = f.read()
        os.remove(raw)
        os.remove(xwd)

    def at(self, x, y):
        i = (y * self.w + x) * 3
        return tuple(self.data[i:i + 3])

    def darkest(self, x0, y0, x1, y1):
        return min(min(self.at(x, y)) for y in range(y0, y1) for x in range(x0, x1))


class Skin:
    """A skin PNG's pixels (RGBA)."""

    cache = {}

    def __init__(self, name):
        path = os.path.join(SKIN, name + ".png")
        info = subprocess.run([CONVERT, path, "-format", "%w %h", "info:"], check=True, timeout=30,
                              capture_output=True, text=True).stdout.split()
        self.w, self.h = int(info[0]), int(info[1])
        self.data = subprocess.run([CONVERT, path, "-depth", "8", "RGBA:-"], check=True, timeout=30,
                                   capture_output=True).stdout

    @classmethod
    def get(cls, name):
        if name not in cls.cache:
            cls.cache[name] = Skin(name)
        return cls.cache[name]

    def at(self, x, y):
        i = (y * self.w + x) * 4
        return tuple(self.data[i:i + 4])


class Showcase:
    def __init__(self, exe):
        self.log_path = os.path.join(ARTIFACTS, "signals.log")
        self.out = open(os.path.join(ARTIFACTS, "showcase.out"), "w")
        self.proc = subprocess.Popen(["wine", exe, self.log_path], stdout=self.out, stderr=subprocess.STDOUT,
                                     stdin=subprocess.DEVNULL)
        line = self.wait_line("ready ", 90)
        if not line:
            Screen("not-up")
            raise RuntimeError("the showcase form did not come up (log: %s)" % self.lines())
        _, x, y, w, h = line.split()
        self.x, self.y = int(x), int(y)
        self.window = find_window("\u63a7\u4ef6\u5c55\u793a")
        check((int(w), int(h)) == (FORM_W, FORM_H), "the form has its size")

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

    def screen(self, cx, cy):
        return self.x + cx, self.y + cy


def xdo(*args):
    subprocess.run(["xdotool"] + [str(a) for a in args], check=True, timeout=30)


def find_window(name, timeout=20):
    end = time.time() + timeout
    while time.time() < end:
        found = subprocess.run(["xdotool", "search", "--name", name], timeout=30, capture_output=True,
                               text=True).stdout.split()
        if found:
            return found[0]
        time.sleep(0.1)
    return None


def move(form, cx, cy):
    xdo("mousemove", *form.screen(cx, cy))


def wait_screen(name, predicate, timeout=20, window=None):
    """Screenshots until the predicate holds (or time runs out); returns the last one."""
    end = time.time() + timeout
    while True:
        shot = Screen(name, window)
        if predicate(shot) or time.time() > end:
            return shot
        time.sleep(0.1)


def matches_skin(shot, origin, name, caption=False):
    """Every opaque pixel of the skin appears at 1:1 at the origin; with a caption painted over
    the middle, only the left and right eighths are compared."""
    skin = Skin.get(name)
    ox, oy = origin
    columns = range(skin.w)
    if caption:
        columns = [x for x in columns if x < skin.w // 8 or x >= skin.w - skin.w // 8]
    for y in range(skin.h):
        for x in columns:
            p = skin.at(x, y)
            if p[3] == 255 and shot.at(ox + x, oy + y) != p[:3]:
                return False
    return True


def near(a, b, tolerance=0):
    return all(abs(p - q) <= tolerance for p, q in zip(a, b))


def run(exe):
    form = Showcase(exe)
    try:
        drive(form)
    finally:
        if form.proc.poll() is None:
            form.proc.kill()  # the program this test started, by its handle
            form.proc.wait(timeout=30)
        form.out.close()


def drive(form):
    X, Y = form.x, form.y

    def at(cx, cy):
        return X + cx, Y + cy

    # --- the form as drawn ---
    shot = wait_screen("form", lambda s: s.at(*at(200, 33)) == (166, 197, 225))
    check(shot.at(*at(0, 0)) == (216, 216, 216) and shot.at(*at(FORM_W - 1, FORM_H - 1)) == (216, 216, 216),
          "border RGB(216, 216, 216) at the corners")
    check(shot.at(*at(450, 125)) == (255, 255, 255), "white body")
    check(shot.at(*at(20, FORM_H - 37)) == (243, 243, 243) and shot.at(*at(20, FORM_H - 2)) == (243, 243, 243),
          "footer band RGB(243, 243, 243), 37 pixels high")
    check(shot.at(*at(20, FORM_H - 38)) == (255, 255, 255), "the body ends where the footer starts")
    check(shot.at(*at(200, 33)) == (166, 197, 225), "title band drawn from Title_bk")
    check(shot.darkest(X + 26, Y + 7, X + 90, Y + 24) < 140, "title text drawn")
    check(matches_skin(shot, at(*ADD), "BtnAdd-Normal"), "add button shows BtnAdd-Normal at 1:1")
    check(matches_skin(shot, at(*INFO), "IcoInfo"), "icon IcoInfo at 1:1 with its transparency")
    check(matches_skin(shot, at(*CHECK), "CheckBox-Normal"), "check box shows CheckBox-Normal")
    ink = shot.darkest(X + DISABLED[0] + 14, Y + DISABLED[1] + 5, X + DISABLED[0] + 58, Y + DISABLED[1] + 20)
    check(180 <= ink < 235, "disabled caption in RGB(193, 193, 193) (darkest %d)" % ink)
    ink = shot.darkest(X + PLAIN[0] + 14, Y + PLAIN[1] + 5, X + PLAIN[0] + 58, Y + PLAIN[1] + 20)
    check(ink < 120, "enabled caption in RGB(51, 51, 51) (darkest %d)" % ink)
    sx, sy = SLIDER
    check(shot.at(*at(sx + 5, sy)) == (198, 212, 228), "slider background RGB(198, 212, 228)")
    check(shot.at(*at(sx + 120, sy + 2)) == (221, 221, 221), "slider track border RGB(221, 221, 221)")
    check(shot.at(*at(sx + 120, sy + 7)) == (246, 175, 58), "slider track RGB(246, 175, 58)")
    thumb = sx + int(0.3 * (200 - 15))
    check(shot.at(*at(thumb, sy + 7)) == (204, 204, 204) and shot.at(*at(thumb + 7, sy + 7)) == (255, 255, 255),
          "slider thumb at value 30")
    ex, ey = EXT
    check(shot.at(*at(ex + 20, ey + 4)) == (162, 155, 152) and shot.at(*at(ex + 20, ey + 5)) == (190, 199, 204)
          and shot.at(*at(ex + 20, ey + 7)) == (217, 214, 210), "skinned slider track, two borders and fill")
    check(shot.at(*at(ex + 54, ey + 7)) == (141, 176, 230) and shot.at(*at(ex + 60, ey + 7)) == (236, 251, 255),
          "skinned slider thumb at 54 for value 0")
    check(shot.at(*at(EDITOR[0], EDITOR[1] + 5)) == (181, 184, 200), "edit box frame RGB(181, 184, 200)")
    form_shot, form_shot_origin = shot, (X, Y)

    # --- hover ---
    move(form, ADD[0] + 42, ADD[1] + 12)
    shot = wait_screen("hover", lambda s: matches_skin(s, at(*ADD), "BtnAdd-Hover"))
    check(matches_skin(shot, at(*ADD), "BtnAdd-Hover"), "hovering shows BtnAdd-Hover")
    move(form, 450, 125)
    shot = wait_screen("unhover", lambda s: matches_skin(s, at(*ADD), "BtnAdd-Normal"))
    check(matches_skin(shot, at(*ADD), "BtnAdd-Normal"), "leaving shows BtnAdd-Normal again")

    # --- press, release outside: no click, drawn normal ---
    lines_before = len(form.lines())
    move(form, PLAIN[0] + 36, PLAIN[1] + 12)
    shot = wait_screen("hover-plain", lambda s: matches_skin(s, at(*PLAIN), "BtnHover", caption=True))
    check(matches_skin(shot, at(*PLAIN), "BtnHover", caption=True), "hovering shows BtnHover")
    xdo("mousedown", 1)
    shot = wait_screen("pressed", lambda s: matches_skin(s, at(*PLAIN), "BtnDown", caption=True))
    check(matches_skin(shot, at(*PLAIN), "BtnDown", caption=True), "pressing shows BtnDown")
    move(form, 450, 230)
    xdo("mouseup", 1)
    shot = wait_screen("released-outside", lambda s: matches_skin(s, at(*PLAIN), "BtnNormal", caption=True))
    check(matches_skin(shot, at(*PLAIN), "BtnNormal", caption=True), "released outside: drawn normal")
    time.sleep(0.3)
    check(not any(l == "click plain" for l in form.lines()[lines_before:]), "released outside: no click")
    move(form, PLAIN[0] + 36, PLAIN[1] + 12)
    xdo("click", 1)
    check(form.wait_line("click plain", after=lines_before) is not None, "press and release inside: click")
    move(form, DISABLED[0] + 36, DISABLED[1] + 12)
    xdo("click", 1)
    move(form, CHECK[0] + 7, CHECK[1] + 7)
    xdo("click", 1)
    check(form.wait_line("check 1", after=lines_before) is not None, "check box click: checked")
    shot = wait_screen("checked", lambda s: matches_skin(s, at(*CHECK), "CheckBox-CkHover"))
    check(matches_skin(shot, at(*CHECK), "CheckBox-CkHover"), "checked and hovered: CheckBox-CkHover")
    check(not any(l == "click disabled" for l in form.lines()), "a disabled button ignores the mouse")
    move(form, EDIT_TOOL[0] + 8, EDIT_TOOL[1] + 6)
    xdo("click", 1)
    check(form.wait_line("tool edit", after=lines_before) is not None, "an icon label fires with itself")
    move(form, DELETE_TOOL[0] + 8, DELETE_TOOL[1] + 6)
    xdo("click", 1)
    move(form, 450, 125)
    xdo("click", 1)  # a click on the body: any pending event has come through when this one has
    time.sleep(0.5)
    check("tool delete" not in form.lines(), "a disabled icon label ignores the mouse")
    shot = Screen("tools")
    icon = [shot.at(*at(DELETE_TOOL[0] + x, DELETE_TOOL[1] + y)) for y in range(16) for x in range(16)]
    check(all(p[0] == p[1] == p[2] for p in icon) and any(p != (255, 255, 255) for p in icon),
          "the disabled icon label's icon is drawn grey")

    # --- drag a slider to both ends ---
    lines_before = len(form.lines())
    move(form, ex + 54 + 7, ey + 7)
    xdo("mousedown", 1)
    for dx in (-20, -60, -120):
        move(form, ex + 54 + 7 + dx, ey + 7)
    check(form.wait_line("ext -100", after=lines_before) is not None, "dragging fully left fires -100")
    for dx in (0, 60, 200):
        move(form, ex + 54 + 7 + dx, ey + 7)
    check(form.wait_line("ext 100", after=lines_before) is not None, "dragging fully right fires 100")
    xdo("mouseup", 1)
    shot = wait_screen("slider-right", lambda s: s.at(*at(ex + 108, ey + 7)) == (141, 176, 230))
    check(shot.at(*at(ex + 108, ey + 7)) == (141, 176, 230), "the thumb sits at the right end (108)")
    values = [int(l.split()[1]) for l in form.lines()[lines_before:] if l.startswith("ext ")]
    check(values and min(values) == -100 and max(values) == 100 and all(-100 <= v <= 100 for v in values),
          "every value fired lies in -100..100")

    # --- edit box: numbers only, Enter and Ctrl+Enter as signals ---
    lines_before = len(form.lines())
    move(form, EDITOR[0] + 40, EDITOR[1] + 11)
    xdo("click", 1)
    xdo("type", "--delay", "40", "12a3")
    check(form.wait_line("editor text 123", after=lines_before) is not None, "typing 12a3 leaves 123")
    check(not any(l.startswith("editor text") and "a" in l for l in form.lines()[lines_before:]),
          "the letter was refused")
    check(form.wait_line("editor focus", after=lines_before) is not None, "clicking the edit box gives it focus")
    xdo("key", "Return")
    check(form.wait_line("editor enter", after=lines_before) is not None, "Enter fires its signal")
    xdo("key", "ctrl+Return")
    check(form.wait_line("editor ctrl-enter", after=lines_before) is not None, "Ctrl+Enter fires its signal")
    check(sum(1 for l in form.lines()[lines_before:] if l == "editor enter") == 1,
          "Ctrl+Enter does not also fire Enter")

    # --- drop-down list ---
    lines_before = len(form.lines())
    move(form, COMBO[0] + 40, COMBO[1] + 10)
    xdo("click", 1)
    time.sleep(0.3)
    xdo("key", "Down")
    xdo("key", "Return")
    check(form.wait_line("combo 1", after=lines_before) is not None, "choosing the second entry fires 1")
    check(form.wait_line("editor blur", after=lines_before) is not None, "the edit box lost the focus to the list")

    # (Maximising is left to the unit tests: without a window manager Wine keeps the X window's
    # size, so a maximised form cannot be seen whole on the test display.)

    # --- drag the form by its footer; a press on a button does not drag ---
    lines_before = len(form.lines())
    move(form, 250, FORM_H - 15)
    xdo("mousedown", 1)
    for step in range(1, 5):
        xdo("mousemove", X + 250 + 10 * step, Y + FORM_H - 15 + 8 * step)
    xdo("mouseup", 1)
    line = form.wait_line("pos %d %d" % (X + 40, Y + 32), after=lines_before)
    check(line is not None, "dragging the footer moves the window by the mouse's travel")
    X, Y = X + 40, Y + 32
    form.x, form.y = X, Y
    shot = wait_screen("dragged", lambda s: s.at(X, Y) == (216, 216, 216) and s.at(X + 200, Y + 33) == (166, 197, 225))
    check(shot.at(X, Y) == (216, 216, 216) and shot.at(X + 200, Y + 33) == (166, 197, 225),
          "the form is drawn at its new place")
    lines_before = len(form.lines())
    move(form, ADD[0] + 42, ADD[1] + 12)
    xdo("mousedown", 1)
    for step in range(1, 4):
        move(form, ADD[0] + 42 + 20 * step, ADD[1] + 12 + 20 * step)
    xdo("mouseup", 1)
    time.sleep(0.5)
    later = form.lines()[lines_before:]
    check(not any(l.startswith("pos ") for l in later), "a press on a button does not drag the window")
    check("click add" not in later, "and released elsewhere it does not click")

    # --- the message dialog: title, buttons, Enter and Escape ---
    answers = []
    for how in ("Return", "Escape", "close"):
        lines_before = len(form.lines())
        move(form, MESSAGE[0] + 36, MESSAGE[1] + 12)
        xdo("click", 1)
        dialog = find_window("\u63d0\u793a\u6d88\u606f")
        if not check(dialog is not None, "the dialog's window is named \u63d0\u793a\u6d88\u606f (" + how + ")"):
            break
        geometry = subprocess.run(["xdotool", "getwindowgeometry", dialog], timeout=30, capture_output=True,
                                  text=True).stdout
        position = [l for l in geometry.splitlines() if "Position" in l][0].split()[1].split(",")
        size = [l for l in geometry.splitlines() if "Geometry" in l][0].split()[1]
        dx, dy = int(position[0]), int(position[1])
        if how == "Return":
            check(size == "384x174", "the dialog is 384 x 174 (%s)" % size)
            check((dx, dy) == (X + (FORM_W - 384) // 2, Y + (FORM_H - 174) // 2), "centred over its owner")
        shot = wait_screen("dialog-" + how, lambda s: matches_skin(s, (257, 141), "BtnOk")
                           and s.at(150, 33) == (166, 197, 225), window=dialog)
        if how == "Return":
            check(matches_skin(shot, (257, 141), "BtnOk") and matches_skin(shot, (318, 141), "BtnCancel"),
                  "dialog shows BtnOk and BtnCancel")
            check(matches_skin(shot, (384 - 14 - 15, 12), "BtnCloseNormal"), "dialog close button")
            check(shot.at(0, 0) == (216, 216, 216) and shot.at(100, 174 - 10) == (243, 243, 243),
                  "dialog border and footer band")
            check(shot.at(300, 100) == (255, 255, 255), "dialog body white")
            check(shot.darkest(26, 7, 80, 24) < 140, "dialog title drawn")
            check(shot.darkest(100, 72, 250, 86) < 120, "dialog message drawn")
            dialog_shot = shot
        if how == "close":
            xdo("mousemove", dx + 384 - 14 - 8, dy + 12 + 7)
            xdo("click", 1)
        else:
            # Without a window manager the keyboard follows the pointer: put it on the dialog.
            xdo("mousemove", dx + 300, dy + 100)
            xdo("key", how)
        line = form.wait_line("dialog ", after=lines_before)
        answers.append(line.split()[1] if line else None)
    check(answers == ["1", "2", "2"], "Enter gives 1, Escape and Close give 2 (got %s)" % answers)

    # --- docs screenshots ---
    docs = os.environ.get("FOTOLOFT_DOCS_DIR")
    if docs:
        os.makedirs(docs, exist_ok=True)
        fx, fy = form_shot_origin
        subprocess.run([CONVERT, form_shot.png, "-crop", "%dx%d+%d+%d" % (FORM_W, FORM_H, fx, fy), "+repage",
                        "-strip", os.path.join(docs, "test-form.png")], check=True, timeout=30)
        subprocess.run([CONVERT, dialog_shot.png, "-strip", os.path.join(docs, "message-dialog.png")], check=True,
                       timeout=30)

    # --- closing ---
    move(form, CLOSE[0] + 7, CLOSE[1] + 7)
    xdo("click", 1)
    check(form.wait_line("close") is not None, "the close button fires")
    try:
        code = form.proc.wait(timeout=30)
        check(code == 0, "the form closed and its program ended cleanly")
    except subprocess.TimeoutExpired:
        check(False, "the program ended after closing")
        form.proc.kill()


def main():
    if len(sys.argv) != 2:
        print(__doc__)
        return 2
    if os.path.isdir(ARTIFACTS):
        shutil.rmtree(ARTIFACTS)
    os.makedirs(ARTIFACTS)
    try:
        run(sys.argv[1])
    except Exception as error:  # a broken step is a failure with its screenshots kept
        failures.append("error: %r" % (error,))
        print("FAIL error: %r" % (error,))
    if failures:
        print("%d check(s) failed; screenshots and the signal log are in %s" % (len(failures), ARTIFACTS))
        return 1
    shutil.rmtree(ARTIFACTS, ignore_errors=True)
    print("all screen checks passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
