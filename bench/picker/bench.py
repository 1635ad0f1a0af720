#!/usr/bin/env python3
"""Runs picker_bench.exe under Wine on a folder of photos and prints the table.

Photos: the 20 photo-like JPEGs of the benchmarks' photo maker, linked under as many names as
needed, so the dialog sees distinct files without 900 MB of copies."""
import os
import re
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
import machine  # noqa: E402
import photos  # noqa: E402

bench_exe, bench_dir, count = sys.argv[1], sys.argv[2], int(sys.argv[3])
W, H, BASE_COUNT = 4000, 3000, 20
ROUNDS = 1  # runs of each kind; the best first screen of each is shown


def values(text):
    if "error" in text:
        sys.exit("the benchmark failed:\n" + text)
    return {k: float(v) for k, v in re.findall(r"^(\w+) ([0-9.]+)", text, re.M)}


def main():
    base = photos.make_photos(os.path.join(bench_dir, "photos"), BASE_COUNT, W, H)
    if len(base) < BASE_COUNT:
        sys.exit("could not make the photos")
    # Camera photos carry a small EXIF preview: the same photos with one each.
    previewed = photos.make_previewed(base, os.path.join(bench_dir, "photos", "previewed"))
    with tempfile.TemporaryDirectory(dir=bench_dir) as work:
        folder = os.path.join(work, "holiday")
        photos.link_names(previewed, folder, count, "p")
        args = ["wine", bench_exe, "Z:" + folder.replace("/", "\\")]
        # Alternately, so that the machine's load weighs on both alike.
        runs = {"with": [], "without": []}
        for _ in range(ROUNDS):
            runs["without"].append(values(photos.run(args + ["no-previews"], os.path.join(work, "bench.log"))))
            runs["with"].append(values(photos.run(args, os.path.join(work, "bench.log"))))
    r = min(runs["without"], key=lambda v: v["first_screen_ms"])
    p = min(runs["with"], key=lambda v: v["first_screen_ms"])
    print(machine.heading())

    screen = int(r["first_screen_items"])
    old_screen = r["reference_decode_ms"] * screen
    old_memory = r["reference_mib"] * r["photos"]
    print(f"{int(r['photos'])} JPEG photos of {W} x {H} in one folder, selected in the tree; "
          f"{int(r['threads'])} thumbnail threads; the first screen is {screen} pictures.")
    print(f"Reference, same run: {int(r['reference_photos'])} photos decoded whole on the window thread: "
          f"{r['reference_decode_ms']:.0f} ms and {r['reference_mib']:.1f} MiB each.")
    print()
    print("| measure | value | goal | ratio |")
    print("|---|---|---|---|")
    print(f"| listing the folder (another thread) | {r['listing_ms']:.0f} ms | | |")
    print(f"| selection to first screen of thumbnails (without embedded thumbnails) | {r['first_screen_ms']:.0f} ms | 500 ms | "
          f"{r['first_screen_ms'] / 500:.2f} of the goal; {r['first_screen_ms'] / old_screen:.3f} of decoding "
          f"the screen's photos whole ({old_screen:.0f} ms) |")
    print(f"| selection to first screen, with embedded thumbnails (EXIF previews) | {p['first_screen_ms']:.0f} ms | "
          f"a quarter of without ({r['first_screen_ms'] / 4:.0f} ms) | {p['first_screen_ms'] / r['first_screen_ms']:.3f} "
          f"of without |")
    print(f"| selection to every thumbnail decoded, with previews | {p['all_thumbnails_ms'] / 1000:.1f} s | | "
          f"{p['all_thumbnails_ms'] / r['all_thumbnails_ms']:.3f} of without |")
    print(f"| selection to every thumbnail | {r['all_thumbnails_ms'] / 1000:.1f} s | | "
          f"{r['all_thumbnails_ms'] / (r['reference_decode_ms'] * r['photos']):.3f} of decoding all whole |")
    print(f"| window thread's longest silence | {r['longest_silence_ms']:.1f} ms | 50 ms | "
          f"{r['longest_silence_ms'] / 50:.2f} of the goal |")
    print(f"| peak memory above the empty dialog | {r['memory_above_empty_mib']:.1f} MiB | 100 MiB | "
          f"{r['memory_above_empty_mib'] / 100:.2f} of the goal; {r['memory_above_empty_mib'] / old_memory:.4f} of "
          f"holding every photo whole ({old_memory:.0f} MiB) |")


main()
