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
# Which parts run: "repaint", "adds", "load" (all by default).
PARTS = set((sys.argv[4] if len(sys.argv) > 4 and sys.argv[4] else "repaint,adds,load").split(","))
ADDS = 3000
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
    heading = machine.heading()
    make_photos()
    base = sorted(glob.glob(os.path.join(PHOTOS, "photo*.jpg")))
    rows = []
    with tempfile.TemporaryDirectory() as work:
        # One small picture under many names: 1,000 items to paint, 3,000 for a burst of adds.
        small_dir = os.path.join(work, "small")
        os.makedirs(small_dir)
        small = os.path.join(work, "small.jpg")
        run(["/usr/bin/convert", base[0], "-resize", "800x600", "-quality", "90", small], os.path.join(work, "s.log"))
        for i in range(1000):
            os.link(small, os.path.join(small_dir, f"link{i:04d}.jpg"))
        if "repaint" in PARTS:
            rep = values(run(["wine", bench_exe, "repaint", windows(small_dir)], os.path.join(work, "repaint.log")))
            ref = rep["reference_blit_ms"]
            rows.append(f"| full repaint, nothing changed (median of 80) | {rep['full_repaint_ms']:.2f} ms kept cells, "
                        f"{rep['full_repaint_fresh_ms']:.2f} ms drawn anew | within 10 x a bare copy "
                        f"by a window of its size ({ref:.2f} ms) | kept {rep['full_repaint_ms'] / ref:.1f} x, anew "
                        f"{rep['full_repaint_fresh_ms'] / ref:.1f} x the copy; anew / kept "
                        f"{rep['full_repaint_fresh_ms'] / rep['full_repaint_ms']:.1f} |")
            rows.append(f"| scroll between two places shown before (median of 80) | {rep['scroll_repaint_ms']:.2f} ms kept, "
                        f"{rep['scroll_repaint_fresh_ms']:.2f} ms anew | 16.7 ms | kept {rep['scroll_repaint_ms'] / 16.7:.2f} "
                        f"of the goal; anew / kept {rep['scroll_repaint_fresh_ms'] / rep['scroll_repaint_ms']:.1f} |")
            rows.append(f"| one-cell hover repaint (median of 80) | {rep['hover_repaint_ms']:.2f} ms kept, "
                        f"{rep['hover_repaint_fresh_ms']:.2f} ms anew | | anew / kept "
                        f"{rep['hover_repaint_fresh_ms'] / rep['hover_repaint_ms']:.2f} (the hovered cell is drawn either way) |")
            rows.append(f"| memory per item (cells kept: {rep['kept_cells']:.0f}) | {rep['memory_per_item_mib']:.3f} MiB | "
                        f"0.5 MiB | {rep['memory_per_item_mib'] / 0.5:.2f} of the goal |")
        if "adds" in PARTS:
            adds_dir = os.path.join(work, "adds")
            os.makedirs(adds_dir)
            for i in range(ADDS):
                os.link(small, os.path.join(adds_dir, f"add{i:04d}.jpg"))
            add = values(run(["wine", bench_exe, "adds", windows(adds_dir)], os.path.join(work, "adds.log")))
            rows.append(f"| {ADDS:,} page \"addFile\" calls in a burst: the window thread per call (best of 2) | "
                        f"{add['once_per_call_ms']:.3f} ms laid out once (longest {add['once_longest_ms']:.1f} ms), "
                        f"{add['single_per_call_ms']:.3f} ms laid out each time (longest {add['single_longest_ms']:.1f} ms) | "
                        f"1 ms | once {add['once_per_call_ms']:.2f} of the goal; each time / once "
                        f"{add['single_per_call_ms'] / add['once_per_call_ms']:.1f} |")
            rows.append(f"| the same burst until the list is laid out and painted | {add['once_shown_ms'] / 1000:.2f} s once, "
                        f"{add['single_shown_ms'] / 1000:.2f} s each time | | each time / once "
                        f"{add['single_shown_ms'] / add['once_shown_ms']:.1f} |")
            rows.append(f"| {ADDS // 6} adds of files already there, per call | {add['once_refused_ms']:.3f} ms once, "
                        f"{add['single_refused_ms']:.3f} ms each time | | each time / once "
                        f"{add['single_refused_ms'] / add['once_refused_ms']:.1f} |")

        if "load" in PARTS:
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
                                      stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                      env=env)
                     for chunk in chunks]
            for p in procs:
                p.wait()
            vips_ms = (time.perf_counter() - start) * 1000
            ours_rate = count / (load['all_thumbnails_ms'] / 1000)
            vips_rate = count / (vips_ms / 1000)
            rows.append(f"| {count} photos ({W} x {H}) on {threads} threads: until every thumbnail shows | "
                        f"{load['all_thumbnails_ms'] / 1000:.1f} s ({ours_rate:.1f}/s) | 0.8 of vipsthumbnail | "
                        f"{ours_rate / vips_rate:.2f} (vipsthumbnail {vips_ms / 1000:.1f} s, {vips_rate:.1f}/s) |")
            one, two = min(by_threads[1]), min(by_threads[2])
            rows.append(f"| {count} photos on 1 loader thread, then on 2 (best of 2 each) | {one / 1000:.1f} s, "
                        f"{two / 1000:.1f} s | 2 threads 1.7 x one on 2 cores | {one / two:.2f} x |")
            rows.append(f"| window thread's longest silence while loading | {load['longest_silence_ms']:.1f} ms | 50 ms | "
                        f"{load['longest_silence_ms'] / 50:.2f} of the goal |")
            rows.append(f"| one page \"addFile\" while the page adds {count} photos (longest; all of them "
                        f"{load['all_adds_ms']:.0f} ms) | {load['longest_add_ms']:.2f} ms | | |")

    print(heading)
    print("Lists of 800 x 500 with cells of 150 x 151; 1,000 items of one 800 x 600 JPEG for painting, "
          f"{ADDS:,} for the burst of adds.")
    print()
    print("| measure | value | goal | ratio |")
    print("|---|---|---|---|")
    for row in rows:
        print(row)


main()
