#!/usr/bin/env python3
"""Makes 20 photo-like JPEGs of 4000 x 3000 with ImageMagick (kept in the build folder), then
on one core (CPU 0) times our record creation (ImageData, under Wine) and native
`vipsthumbnail -s 120` on the same files, alternating attempts and keeping the best of each,
and reads the memory our process holds with 20 and with 300 records."""
import glob
import os
import re
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
import machine  # noqa: E402
import photos as photos_module  # noqa: E402
from photos import run  # noqa: E402

bench_exe, photos, attempts = sys.argv[1], sys.argv[2], int(sys.argv[3])
COUNT, W, H, HELD = 20, 4000, 3000, 300


def make_photos():
    photos_made = photos_module.make_photos(photos, COUNT, W, H)
    if len(photos_made) != COUNT:
        sys.exit("could not make the photos")


def main():
    make_photos()
    files = sorted(glob.glob(os.path.join(photos, "*.jpg")))
    one_core = ["taskset", "-c", "0"]
    with tempfile.TemporaryDirectory() as folder:
        ours, vips, memory = [], [], {}
        for _ in range(attempts):
            text = run(one_core + ["wine", bench_exe, "Z:" + photos.replace("/", "\\"), "2", str(HELD)],
                       os.path.join(folder, "ours.log"))
            if "memory held" not in text:
                sys.exit("incomplete output from the benchmark:\n" + text)
            seconds, count = re.search(r"^pass ([0-9.]+) (\d+)", text, re.M).groups()
            ours.append(int(count) / float(seconds))
            for label, records, committed, address in re.findall(r"^memory (\w+) (\d+) ([0-9.]+) ([0-9.]+)", text, re.M):
                memory.setdefault(label, []).append((int(records), float(committed), float(address)))

            env = dict(os.environ, VIPS_CONCURRENCY="1")
            start = time.perf_counter()
            run(one_core + ["vipsthumbnail", "-s", "120", "-o", os.path.join(folder, "%s_thumb.jpg")] + files,
                os.path.join(folder, "vips.log"), env)
            vips.append(len(files) / (time.perf_counter() - start))

    best, ref = max(ours), max(vips)
    print(machine.heading())
    print(f"{len(files)} JPEG photos of {W} x {H} ({sum(os.path.getsize(f) for f in files) / len(files) / 1048576:.1f} MiB "
          f"each on average), one core, best of {attempts} alternating attempts.")
    print()
    print("| maker | records (thumbnails) per second | ratio to vipsthumbnail |")
    print("|---|---|---|")
    print(f"| Fotoloft `ImageData` under Wine (120 x 120 box) | {best:.1f} | {best / ref:.2f} |")
    print(f"| native `vipsthumbnail -s 120` | {ref:.1f} | 1.00 |")
    # The decoding alone on both cores: one thread, then two, in one process.
    with tempfile.TemporaryDirectory() as folder:
        text = run(["wine", bench_exe, "Z:" + photos.replace("/", "\\"), str(attempts), "0", "scale"],
                   os.path.join(folder, "scale.log"))
        scale = {int(n): int(c) / float(t) for n, t, c in re.findall(r"^scale (\d+) ([0-9.]+) (\d+)", text, re.M)}
    print(f"Records made on {os.cpu_count()} cores without a list (best of {attempts}): one thread {scale[1]:.1f}/s, "
          f"two threads {scale[2]:.1f}/s, {scale[2] / scale[1]:.2f} x")
    print()

    # The same photos carrying a 160 x 120 EXIF preview each, as camera photos do.
    previewed_folder = os.path.join(photos, "previewed")
    photos_module.make_previewed(files, previewed_folder)
    with tempfile.TemporaryDirectory() as folder:
        full, shown = [], []
        for _ in range(attempts):
            text = run(one_core + ["wine", bench_exe, "Z:" + previewed_folder.replace("/", "\\"), "2", "1"],
                       os.path.join(folder, "previewed.log"))
            seconds, count = re.search(r"^pass ([0-9.]+) (\d+)", text, re.M).groups()
            full.append(int(count) / float(seconds))
            seconds, count, total = re.search(r"^preview ([0-9.]+) (\d+) (\d+)", text, re.M).groups()
            if int(count) != int(total):
                sys.exit("not every photo's preview was shown:\n" + text)
            shown.append(int(count) / float(seconds))
    best_full, best_shown = max(full), max(shown)
    print("The same photos with a 160 x 120 EXIF preview each (one core, best of %d):" % attempts)
    print()
    print("| thumbnails per second | without embedded thumbnails (decoded) | with them (EXIF preview) | ratio |")
    print("|---|---|---|---|")
    print(f"| Fotoloft under Wine | {best_full:.1f} | {best_shown:.1f} | {best_shown / best_full:.1f} |")
    print()

    def last(label):
        return memory[label][-1]

    none, files_held, held = last("none"), last("files"), last("held")
    print("| records held | committed private MiB | address space in use MiB | MiB per record over none held |")
    print("|---|---|---|---|")
    for records, committed, address in (none, files_held, held):
        per = (committed - none[1]) / records if records else 0.0
        print(f"| {records} | {committed:.2f} | {address:.2f} | {per:.3f} |")


main()
