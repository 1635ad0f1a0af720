#!/usr/bin/env python3
"""The panel as a screen reader reads it, in the page host: the tree is walked through the
system's oleacc (AccessibleObjectFromWindow, AccessibleChildren) and the events are caught with
SetWinEventHook, at each step of a journey made with the mouse and the keyboard:
empty, filled, after a click and Right, after Delete, after Tab, while uploading, after."""
import os
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import panel_journey_test as panel  # noqa: E402

failures = []


def check(ok, what):
    if not ok:
        failures.append(what)
        print("FAIL: " + what)


class Element:
    def __init__(self, line):
        depth = (len(line) - len(line.lstrip(" "))) // 2
        parts = (line.strip().split("|") + [""] * 6)[:6]
        self.depth = depth
        self.role, self.name, states, self.description, self.value, self.action = parts
        self.states = set(s for s in states.split(",") if s)
        self.children = []

    def __repr__(self):
        return f"{self.role}:{self.name}:{','.join(sorted(self.states))}:{self.description}"


def parse_tree(lines):
    """The root element of an indented dump, its children filled in."""
    stack = []
    root = None
    for line in lines:
        if not line.strip():
            continue
        element = Element(line)
        while stack and stack[-1].depth >= element.depth:
            stack.pop()
        if stack:
            stack[-1].children.append(element)
        else:
            root = element
        stack.append(element)
    return root


def blocks(stdout, kind):
    """The blocks the page printed as 'KIND label' ... 'END', by label."""
    found, current, label = {}, None, None
    for line in stdout.splitlines():
        line = line.rstrip("\r")
        if current is None and line.startswith(kind + " "):
            label, current = line[len(kind) + 1:], []
        elif current is not None and line == "END":
            found[label], current = current, None
        elif current is not None:
            current.append(line)
    return found


def find(root, role, name):
    return [c for c in (root.children if root else []) if c.role == role and c.name == name]


def one(root, role, name, step):
    found = find(root, role, name)
    check(len(found) >= 1, f"{step}: no {role} named {name!r} in {root.children if root else None}")
    return found[0] if found else Element(f"{role}|{name}|missing|||")


def list_of(root):
    lists = [c for c in (root.children if root else []) if c.role == "list"]
    return lists[0] if lists else None


PAGE = """
function dump(label) { host.echo("TREE " + label + "\\n" + host.accessibleTree() + "END"); }
function events(label) { host.echo("EVENTS " + label + "\\n" + host.events() + "END"); }
"""


def journey(work, server, pictures):
    first_body = os.path.join(server.folder, "%d.body" % (server.count + 1))
    release = os.path.join(server.folder, "a11y-release")
    if os.path.exists(release):
        os.remove(release)
    body = PAGE + f"""
host.watchEvents();
host.sleep(300);
dump("empty");
init("{server.url("/hold?release=a11y-release")}", 1);
""" + "".join(f"add({panel.json.dumps(panel.winpath(p))});\n" for p in pictures[:3]) + f"""
host.sleep(800);
dump("filled");
events("filled");
host.click({panel.CELL0_PICTURE[0]}, {panel.CELL0_PICTURE[1]});
host.key("Right");
events("right");
dump("right");
host.key("Delete");
events("delete");
dump("deleted");
host.key("Tab");
events("tab");
dump("tab");
host.click({panel.UPLOAD_CLICK[0]}, {panel.UPLOAD_CLICK[1]});
waitFile({panel.json.dumps(panel.winpath(first_body))});
host.sleep(300);
dump("uploading");
fso.CreateTextFile({panel.json.dumps(panel.winpath(release))}).Close();
waitComplete(1);
host.sleep(300);
dump("after");
events("after");
"""
    script = os.path.join(work, "a11y.js")
    with open(script, "w", encoding="utf-8") as f:
        f.write(panel.PAGE_HEAD + body)
    out = os.path.join(work, "a11y.out")
    with open(out, "w", encoding="utf-8") as sink:
        run = panel.subprocess.run([os.path.join(panel.ROOT, "scripts", "page"), script, "--size",
                                    f"{panel.WIDTH}x{panel.HEIGHT}", "--timeout", "150"],
                                   stdin=panel.subprocess.DEVNULL, stdout=sink, stderr=panel.subprocess.STDOUT)
    with open(out, encoding="utf-8", errors="replace") as f:
        stdout = f.read()
    check(run.returncode == 0, f"page exit {run.returncode}: {stdout[-1500:]}")
    trees = {label: parse_tree(lines) for label, lines in blocks(stdout, "TREE").items()}
    events = {label: [tuple(line.split("|")) for line in lines if line.strip()]
              for label, lines in blocks(stdout, "EVENTS").items()}
    for label in ("empty", "filled", "right", "deleted", "tab", "uploading", "after"):
        check(trees.get(label) is not None, f"no tree at {label}")
    empty = trees.get("empty")
    if empty:
        check(empty.role == "client" and empty.name == "照片上传", f"empty: the root is {empty}")
        adds = find(empty, "pushbutton", "添加照片")
        check(len(adds) == 2 and all("unavailable" not in a.states for a in adds),
              f"empty: the two add buttons: {adds}")
        check(all(a.action == "单击" for a in adds), f"empty: the add buttons' default action {adds}")
        check("unavailable" in one(empty, "pushbutton", "开始上传", "empty").states, "empty: upload is available")
        check("invisible" in one(empty, "pushbutton", "取消上传", "empty").states, "empty: cancel is visible")
        check("checked" not in one(empty, "checkbox", "全选", "empty").states, "empty: select all is checked")
        for tool in ("编辑", "左旋", "右旋", "删除"):
            check("unavailable" in one(empty, "pushbutton", tool, "empty").states, f"empty: {tool} is available")
        sort = one(empty, "combobox", "排序", "empty")
        check(sort.value == "默认排序", f"empty: the sort box reads {sort.value!r}")
        one(empty, "text", '请点击"添加按钮"，选择要上传的照片', "empty")
        one(empty, "text", '单击"添加照片"按钮或拖动照片到上传框中', "empty")
        listed = list_of(empty)
        check(listed is not None and listed.name == "上传列表" and "invisible" in listed.states
              and not listed.children, f"empty: the list is {listed}")
    filled = trees.get("filled")
    if filled:
        listed = list_of(filled)
        names = [c.name for c in listed.children] if listed else []
        check(listed is not None and "invisible" not in listed.states, f"filled: the list is {listed}")
        check(names == ["picture0.jpg", "picture1.jpg", "picture2.jpg"], f"filled: the items are {names}")
        check(all(c.role == "listitem" and not c.description for c in (listed.children if listed else [])),
              f"filled: items {listed.children if listed else None}")
        check("unavailable" not in one(filled, "pushbutton", "开始上传", "filled").states, "filled: upload unavailable")
        big = [a for a in find(filled, "pushbutton", "添加照片") if "invisible" in a.states]
        check(len(big) == 1, "filled: the big add button is not hidden")
    right = trees.get("right")
    if right:
        items = {c.name: c for c in (list_of(right).children if list_of(right) else [])}
        second, first = items.get("picture1.jpg"), items.get("picture0.jpg")
        check(second is not None and {"selected", "focused"} <= second.states, f"right: the second is {second}")
        check(first is not None and "selected" not in first.states and "focused" not in first.states,
              f"right: the first is {first}")
        check("unavailable" not in one(right, "pushbutton", "删除", "right").states, "right: delete unavailable")
    seen = events.get("right", [])
    check(("focus", "listitem", "picture1.jpg") in [e[:3] for e in seen], f"right: no focus event: {seen}")
    check(("selection", "listitem", "picture1.jpg") in [e[:3] for e in seen], f"right: no selection event: {seen}")
    check(any(e[0] == "statechange" and e[2] == "删除" for e in seen), f"right: no state change of delete: {seen}")
    deleted = trees.get("deleted")
    if deleted:
        items = list_of(deleted).children if list_of(deleted) else []
        check([c.name for c in items] == ["picture0.jpg", "picture2.jpg"], f"deleted: items {items}")
        check(len(items) == 2 and "focused" in items[1].states, f"deleted: the focus is not on the third: {items}")
    seen = events.get("delete", [])
    check(any(e[0] == "reorder" for e in seen), f"delete: no reorder event: {seen}")
    tab = trees.get("tab")
    if tab:
        add = [a for a in find(tab, "pushbutton", "添加照片") if "invisible" not in a.states]
        check(len(add) == 1 and "focused" in add[0].states, f"tab: the add button is not focused: {add}")
        listed = list_of(tab)
        check(listed is not None and "focused" not in listed.states and
              not any("focused" in c.states for c in listed.children), f"tab: the list keeps the focus: {listed}")
    seen = events.get("tab", [])
    check(("focus", "pushbutton", "添加照片") in [e[:3] for e in seen], f"tab: no focus event on add: {seen}")
    uploading = trees.get("uploading")
    if uploading:
        check("invisible" in one(uploading, "pushbutton", "开始上传", "uploading").states, "uploading: upload shows")
        check("invisible" not in one(uploading, "pushbutton", "取消上传", "uploading").states, "uploading: no cancel")
        items = list_of(uploading).children if list_of(uploading) else []
        texts = [c.description for c in items]
        check(len(items) == 2 and all(t == "等待" or t.endswith("%") for t in texts),
              f"uploading: the items say {texts}")
    after = trees.get("after")
    if after:
        listed = list_of(after)
        check(listed is not None and not listed.children and "invisible" in listed.states,
              f"after: the list is {listed}")
    seen = events.get("after", [])
    check(any(e[0] == "descriptionchange" for e in seen), f"after: no description change while uploading: {seen}")


def main():
    with tempfile.TemporaryDirectory(prefix="fotoloft-a11y-") as work:
        work = os.environ.get("FOTOLOFT_A11Y_WORK", work)
        os.makedirs(work, exist_ok=True)
        pictures = panel.make_pictures(work, 3)
        with panel.servers.RecordingServer(os.path.join(work, "server")) as server:
            journey(work, server, pictures)
    print("%d failure(s)" % len(failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
