"""The benchmarks' test photos: 20 photo-like JPEGs of 4000 x 3000 made with ImageMagick and
kept in the build folder (bench/thumbs and bench/prepare share them)."""
import glob
import os
import subprocess
import sys

COUNT, W, H = 20, 4000, 3000


def _run(args, log):
    with open(log, "wb") as out:
        rc = subprocess.run(args, stdin=subprocess.DEVNULL, stdout=out, stderr=subprocess.STDOUT).returncode
    if rc != 0:
        with open(log, "rb") as f:
            sys.exit(f"{' '.join(args)} failed ({rc}):\n{f.read().decode(errors='replace')}")


def make_photos(photos):
    """Makes the photos unless they are there; returns their paths, sorted."""
    if len(glob.glob(os.path.join(photos, "*.jpg"))) != COUNT:
        os.makedirs(photos, exist_ok=True)
        base = os.path.join(photos, "base.mpc")
        log = os.path.join(photos, "make.log")
        # Fractal plasma with grain compresses about like a photo (2 to 4 MB at quality 90).
        _run(["/usr/bin/convert", "-seed", "11", "-size", f"{W}x{H}", "plasma:fractal",
              "-attenuate", "0.2", "+noise", "Gaussian", base], log)
        for i in range(COUNT):
            variant = ["-roll", f"+{i * 173}+{i * 97}", "-modulate", f"100,{90 + i},{100 + 3 * i}"]
            if i % 2:
                variant.append("-flop")
            _run(["/usr/bin/convert", base] + variant + ["-quality", "90", os.path.join(photos, f"photo{i:02d}.jpg")],
                 log)
        for leftover in glob.glob(os.path.join(photos, "base.*")):
            os.remove(leftover)
    return sorted(glob.glob(os.path.join(photos, "*.jpg")))
