#!/usr/bin/env python3
"""Encodes pictures with the control's encoder under Wine, then reads every file back with
ImageMagick: the format and size must match, and the pixels exactly for PNG, BMP, TIFF and a
GIF of few colours, within a small error for JPEG and a GIF of many colours (a fixed colour
cube of 6 x 7 x 6 levels)."""
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
                 ("photo.gif", "GIF", "photo", 14.0), ("few.gif", "GIF", "few", 0)]
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
    for failure in failures:
        print("FAIL", failure)
    return 1 if failures else 0


sys.exit(main())
