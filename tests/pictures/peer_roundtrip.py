#!/usr/bin/env python3
"""Encodes pictures with the control's encoder under Wine, then reads every file back with
ImageMagick: the format and size must match, and the pixels exactly for PNG, BMP, TIFF and a
GIF of few colours, within a small error for JPEG and a GIF of many colours (a median-cut
palette)."""
import os
import subprocess
import sys
import tempfile

writer = sys.argv[1]
W, H = 61, 43


def run(args, log):
    with open(log, "wb") as out:
        return subprocess.run(args, stdin=subprocess.DEVNULL, stdout=out, stderr=subprocess.STDOUT,
                              timeout=120).returncode


def read(path):
    with open(path, "rb") as f:
        return f.read()


def main():
    failures = []
    with tempfile.TemporaryDirectory() as folder:
        log = os.path.join(folder, "writer.log")
        rc = run(["wine", writer, "Z:" + folder.replace("/", "\\")], log)
        if rc != 0:
            print(read(log).decode(errors="replace"))
            print("writer failed with", rc)
            return 1
        expected = {"photo": read(os.path.join(folder, "photo.rgb")), "few": read(os.path.join(folder, "few.rgb"))}
        cases = [("photo.png", "PNG", "photo", 0), ("photo.bmp", ("BMP", "BMP3"), "photo", 0),
                 ("photo.tiff", "TIFF", "photo", 0), ("photo.jpg", "JPEG", "photo", 3.0),
                 ("photo.gif", "GIF", "photo", 4.0), ("few.gif", "GIF", "few", 0)]
        for name, magick, source, tolerance in cases:
            path = os.path.join(folder, name)
            info_log = os.path.join(folder, name + ".info")
            run(["/usr/bin/identify", "-format", "%m %w %h", path], info_log)
            info = read(info_log).decode(errors="replace").strip()
            kinds = magick if isinstance(magick, tuple) else (magick,)
            if info not in [f"{kind} {W} {H}" for kind in kinds]:
                failures.append(f"{name}: identify says {info!r}")
                continue
            raw = os.path.join(folder, name + ".rgb")
            if run(["/usr/bin/convert", path, "-alpha", "off", "-depth", "8", "rgb:" + raw], raw + ".log") != 0:
                failures.append(f"{name}: convert failed: {read(raw + '.log')!r}")
                continue
            got, want = read(raw), expected[source]
            if len(got) != len(want):
                failures.append(f"{name}: {len(got)} bytes of pixels, expected {len(want)}")
                continue
            mean = sum(abs(a - b) for a, b in zip(got, want)) / len(want)
            if tolerance == 0 and got != want:
                first = next(i for i in range(len(want)) if got[i] != want[i])
                failures.append(f"{name}: pixels differ (first at byte {first}, mean error {mean:.2f})")
            elif mean > tolerance:
                failures.append(f"{name}: mean error {mean:.2f} above {tolerance}")
            print(f"{name}: {info}, mean error {mean:.3f}")
        failures += inspect_peer_files(folder)
    for failure in failures:
        print("FAIL", failure)
    return 1 if failures else 0


# Files ImageMagick writes, the way cameras and other programs do: the record made of each
# must see the picture at its size, with a thumbnail fitted into 120 x 120 whose colour is
# the one ImageMagick reads from the file (all are one flat colour, about red 200 green 60
# blue 30, or its grey).
PEER_FILES = [
    ("baseline.jpg", ["-quality", "90"], True),
    ("progressive.jpg", ["-interlace", "Plane"], True),
    ("grey.jpg", ["-colorspace", "Gray"], True),
    ("cmyk.jpg", ["-colorspace", "CMYK"], True),
    ("subsampled.jpg", ["-sampling-factor", "2x2"], True),
    ("deep.png", ["-depth", "16"], True),
    ("palette.png", ["-type", "Palette"], True),
    ("interlaced.png", ["-interlace", "PNG"], True),
    ("plain.bmp", [], True),
    ("plain.tiff", [], True),
    ("plain.gif", [], True),
    ("lzw.tiff", ["-compress", "LZW"], True),
]


def inspect_peer_files(folder):
    failures = []
    paths = []
    for name, options, _ in PEER_FILES:
        path = os.path.join(folder, name)
        rc = run(["/usr/bin/convert", "-size", "640x480", "xc:rgb(200,60,30)"] + options + [path], path + ".log")
        if rc != 0:
            failures.append(f"ImageMagick could not write {name}")
            continue
        paths.append("Z:" + path.replace("/", "\\"))
    log = os.path.join(folder, "inspect.log")
    if run(["wine", writer, "--inspect"] + paths, log) != 0:
        return failures + ["inspect failed: " + read(log).decode(errors="replace")]
    lines = {}
    for line in read(log).decode(errors="replace").splitlines():
        parts = line.split()
        if len(parts) == 10 and parts[0] in {n for n, _, _ in PEER_FILES}:
            lines[parts[0]] = [int(p) for p in parts[1:]]
    for name, _, _ in PEER_FILES:
        got = lines.get(name)
        if not got:
            failures.append(f"{name}: no record")
            continue
        decoded, w, h, tw, th, upload, r, g, b = got
        colour_log = os.path.join(folder, name + ".colour")
        run(["/usr/bin/convert", os.path.join(folder, name), "-colorspace", "sRGB", "-scale", "1x1!", "-format",
             "%[fx:int(255*r+.5)] %[fx:int(255*g+.5)] %[fx:int(255*b+.5)]", "info:"], colour_log)
        want_rgb = tuple(int(v) for v in read(colour_log).decode().split())
        ok = decoded == 1 and (w, h) == (640, 480) and (tw, th) == (120, 90) and upload > 0
        close = len(want_rgb) == 3 and all(abs(x - y) <= 4 for x, y in zip((r, g, b), want_rgb))
        print(f"{name}: decoded {decoded}, {w} x {h}, thumbnail {tw} x {th}, colour {r},{g},{b}, upload {upload} bytes")
        if not ok:
            failures.append(f"{name}: record {got}")
        elif not close:
            failures.append(f"{name}: thumbnail colour {r},{g},{b}, expected about {want_rgb}")
    return failures


sys.exit(main())
