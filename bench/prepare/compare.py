#!/usr/bin/env python3
"""On one core (CPU 0), prepares the 20 benchmark photos for upload with Fotoloft (under Wine,
in process: `ImageData::PrepareUpload`) for four option sets, and has ImageMagick and vips do
the same work on the same files in the same run, alternating attempts and keeping the best of
each. Prints milliseconds per photo (processor time, which other users of a shared machine do
not inflate, and wall-clock) and megabytes sent per photo, then the goals' ratios:
  2048/85: Fotoloft's rate against `vipsthumbnail -s 2048 -o x.jpg[Q=85]` (goal >= 0.8)
  default: Fotoloft's rate against `convert x.jpg -quality 100 y.jpg` (goal >= 1.0)"""
import os
import re
import resource
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
from photos import make_photos  # noqa: E402

bench_exe, photos, attempts = sys.argv[1], sys.argv[2], int(sys.argv[3])
W, H = 4000, 3000
ONE_CORE = ["taskset", "-c", "0"]
ONE_THREAD = dict(os.environ, MAGICK_THREAD_LIMIT="1", OMP_NUM_THREADS="1", VIPS_CONCURRENCY="1")


def children_cpu():
    usage = resource.getrusage(resource.RUSAGE_CHILDREN)
    return usage.ru_utime + usage.ru_stime


def run(args, log):
    """Runs a command; returns (wall seconds, processor seconds of it and its children)."""
    cpu, start = children_cpu(), time.perf_counter()
    with open(log, "wb") as out:
        rc = subprocess.run(args, stdin=subprocess.DEVNULL, stdout=out, stderr=subprocess.STDOUT,
                            env=ONE_THREAD).returncode
    wall, cpu = time.perf_counter() - start, children_cpu() - cpu
    if rc != 0:
        with open(log, "rb") as f:
            sys.exit(f"{' '.join(args)} failed ({rc}):\n{f.read().decode(errors='replace')}")
    return wall, cpu


def folder_bytes(folder, suffix):
    return sum(os.path.getsize(os.path.join(folder, n)) for n in os.listdir(folder) if n.endswith(suffix))


def main():
    files = make_photos(photos, 20, W, H)
    n = len(files)
    best = {}  # name -> [ms per photo cpu, ms per photo wall, MB per photo]

    def keep(name, wall, cpu, total_bytes):
        entry = [cpu * 1000 / n, wall * 1000 / n, total_bytes / n / 1e6]
        if name not in best or entry[0] < best[name][0]:
            best[name] = entry

    with tempfile.TemporaryDirectory() as folder:
        for _ in range(attempts):
            log = os.path.join(folder, "ours.log")
            run(ONE_CORE + ["wine", bench_exe, "Z:" + photos.replace("/", "\\"), "2"], log)
            text = open(log, encoding="utf-8", errors="replace").read()
            found = re.findall(r"^mode (\S+) ([0-9.]+) ([0-9.]+) (\d+) (\d+)", text, re.M)
            if len(found) != 4:
                sys.exit("incomplete output from the benchmark:\n" + text)
            for name, wall, cpu, count, total in found:
                if int(count) != n:
                    sys.exit(f"the benchmark prepared {count} photos, not {n}")
                keep("ours " + name, float(wall), float(cpu), int(total))

            out = os.path.join(folder, "out")
            for name, options in (("convert q100", ["-quality", "100"]),
                                  ("convert 2048 q85", ["-resize", "2048x2048", "-quality", "85"])):
                os.makedirs(out, exist_ok=True)
                wall = cpu = 0.0
                for i, f in enumerate(files):
                    w, c = run(ONE_CORE + ["/usr/bin/convert", f] + options + [os.path.join(out, f"{i}.jpg")],
                               os.path.join(folder, "convert.log"))
                    wall, cpu = wall + w, cpu + c
                keep(name, wall, cpu, folder_bytes(out, ".jpg"))
                for name_ in os.listdir(out):
                    os.remove(os.path.join(out, name_))

            os.makedirs(out, exist_ok=True)
            wall, cpu = run(ONE_CORE + ["vipsthumbnail", "-s", "2048", "-o", os.path.join(out, "%s.jpg[Q=85]")] + files,
                            os.path.join(folder, "vips.log"))
            keep("vipsthumbnail 2048 q85", wall, cpu, folder_bytes(out, ".jpg"))
            for name_ in os.listdir(out):
                os.remove(os.path.join(out, name_))

    size = sum(os.path.getsize(f) for f in files) / n / 1e6
    print(f"{n} JPEG photos of {W} x {H} ({size:.1f} MB each on average), one core, best of {attempts} attempts.")
    print()
    print("| work | ms per photo (processor) | ms per photo (wall) | MB sent per photo |")
    print("|---|---|---|---|")
    labels = {"ours default": "Fotoloft, default (JPEG quality 100, full size)",
              "ours q85": "Fotoloft, \"JpegQuality\" 85",
              "ours fit2048q85": "Fotoloft, \"MaxWidth\"/\"MaxHeight\" 2048, quality 85",
              "ours original": "Fotoloft, \"SendOriginal\"",
              "convert q100": "ImageMagick `convert -quality 100`",
              "convert 2048 q85": "ImageMagick `convert -resize 2048x2048 -quality 85`",
              "vipsthumbnail 2048 q85": "vips `vipsthumbnail -s 2048 -o x.jpg[Q=85]`"}
    for key, label in labels.items():
        cpu, wall, mb = best[key]
        print(f"| {label} | {cpu:.0f} | {wall:.0f} | {mb:.2f} |")
    print()
    fit = best["vipsthumbnail 2048 q85"][0] / best["ours fit2048q85"][0]
    default = best["convert q100"][0] / best["ours default"][0]
    fit_im = best["convert 2048 q85"][0] / best["ours fit2048q85"][0]
    print("| goal | rate ratio (processor time) | goal |")
    print("|---|---|---|")
    print(f"| 2048/85 against vips | {fit:.2f} | >= 0.8 {'met' if fit >= 0.8 else 'NOT met'} |")
    print(f"| default against ImageMagick quality 100 | {default:.2f} | >= 1.0 {'met' if default >= 1.0 else 'NOT met'} |")
    print(f"| 2048/85 against ImageMagick (for reference) | {fit_im:.2f} | - |")


main()
