#!/usr/bin/env python3
"""Runs list_bench.exe under Wine and vipsthumbnail natively; prints the table.

Photos: the 20 photo-like JPEGs of bench/thumbs (made here the same way when missing), linked
under as many names as needed, so the list sees distinct files without 900 MB of copies."""
import glob
import os
import re
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
import machine  # noqa: E402
import photos  # noqa: E402
from photos import run  # noqa: E402

bench_exe, bench_dir, count = sys.argv[1], sys.argv[2], int(sys.argv[3])
PHOTOS = os.path.join(bench_dir, "photos")
W, H, BASE_COUNT = 4000, 3000, 20


def make_photos():
    if len(photos.make_photos(PHOTOS, BASE_COUNT, W, H)) < BASE_COUNT:
        sys.exit("could not make the photos")


def values(text):
    if "error" in text:
        sys.exit("the benchmark failed:\n" + text)
    return {k: float(v) for k, v in re.findall(r"^(\w+) ([0-9.]+)", text, re.M)}


def windows(path):
    return "Z:" + path.replace("/", "\\")


def main():
    make_photos()
    base = sorted(glob.glob(os.path.join(PHOTOS, "photo*.jpg")))
    with tempfile.TemporaryDirectory() as work:
        # 1,000 items of one small picture under 1,000 names.
        small_dir = os.path.join(work, "small")
        os.makedirs(small_dir)
        small = os.path.join(small_dir, "small.jpg")
        run(["/usr/bin/convert", base[0], "-resize", "800x600", "-quality", "90", small], os.path.join(work, "s.log"))
        for i in range(1000):
            os.link(small, os.path.join(small_dir, f"link{i:04d}.jpg"))
        rep = values(run(["wine", bench_exe, "repaint", windows(small_dir)], os.path.join(work, "repaint.log")))

        photo_dir = os.path.join(work, "photos")
        os.makedirs(photo_dir)
        photos = []
        for i in range(count):
            path = os.path.join(photo_dir, f"p{i:04d}.jpg")
            os.link(base[i % len(base)], path)
            photos.append(path)
        load = values(run(["wine", bench_exe, "load", windows(photo_dir)], os.path.join(work, "load.log")))
        # The same on one loader thread and on two, alternately, best of two each.
        by_threads = {1: [], 2: []}
        for _ in range(2):
            for n in (1, 2):
                r = values(run(["wine", bench_exe, "load", windows(photo_dir), str(n)],
                               os.path.join(work, "load%d.log" % n)))
                by_threads[n].append(r["all_thumbnails_ms"])

        threads = int(load["threads"])
        out_dir = os.path.join(work, "vips")
        os.makedirs(out_dir)
        chunks = [photos[i::threads] for i in range(threads)]
        env = dict(os.environ, VIPS_CONCURRENCY="1")
        start = time.perf_counter()
        procs = [subprocess.Popen(["vipsthumbnail", "-s", "120", "-o", os.path.join(out_dir, "%s_t.jpg")] + chunk,
                                  stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, env=env)
                 for chunk in chunks]
        for p in procs:
            p.wait()
        vips_ms = (time.perf_counter() - start) * 1000

    print(machine.heading())
    print(f"1,000 items in an 800 x 500 list (cells 150 x 151); {count} JPEG photos of {W} x {H} on {threads} threads.")
    print()
    print("| measure | value | goal | ratio |")
    print("|---|---|---|---|")
    print(f"| full repaint (median of 60) | {rep['full_repaint_ms']:.2f} ms | 16.7 ms | "
          f"{rep['full_repaint_ms'] / 16.7:.2f} of the goal; {rep['full_repaint_ms'] / rep['reference_blit_ms']:.1f} x a bare clear and copy ({rep['reference_blit_ms']:.2f} ms) |")
    print(f"| one-cell hover repaint (median of 60) | {rep['hover_repaint_ms']:.2f} ms | | "
          f"{rep['hover_repaint_ms'] / rep['full_repaint_ms']:.2f} of a full repaint |")
    print(f"| memory per item | {rep['memory_per_item_mib']:.3f} MiB | 0.5 MiB | {rep['memory_per_item_mib'] / 0.5:.2f} of the goal |")
    ours_rate = count / (load['all_thumbnails_ms'] / 1000)
    vips_rate = count / (vips_ms / 1000)
    print(f"| {count} photos: until every thumbnail shows | {load['all_thumbnails_ms'] / 1000:.1f} s ({ours_rate:.1f}/s) | "
          f"0.8 of vipsthumbnail | {ours_rate / vips_rate:.2f} (vipsthumbnail {vips_ms / 1000:.1f} s, {vips_rate:.1f}/s) |")
    one, two = min(by_threads[1]), min(by_threads[2])
    print(f"| {count} photos on 1 loader thread, then on 2 (best of 2 each) | {one / 1000:.1f} s, {two / 1000:.1f} s | "
          f"2 threads 1.7 x one on 2 cores | {one / two:.2f} x |")
    print(f"| window thread's longest silence while loading | {load['longest_silence_ms']:.1f} ms | 50 ms | "
          f"{load['longest_silence_ms'] / 50:.2f} of the goal |")
    print(f"| one page \"addFile\" (longest of {count}; all of them {load['all_adds_ms']:.0f} ms) | "
          f"{load['longest_add_ms']:.2f} ms | | |")


main()
