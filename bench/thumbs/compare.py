#!/usr/bin/env python3
"""Makes 20 photo-like JPEGs of 4000 x 3000 with ImageMagick (kept in the build folder), then
on one core (CPU 0) times our record creation (ImageData, under Wine) and native
`vipsthumbnail -s 120` on the same files, alternating attempts and keeping the best of each,
and reads the memory our process holds with 20 and with 300 records.

Then the same race for the formats phones save, made from those photos by Debian's encoders:
20 HEIC files without a thumbnail item (the whole picture is decoded), 20 HEIC files with the
320 x 240 thumbnail item phones write, and 20 WebP files. A 12-megapixel HEIC takes the HEVC
encoder about ten seconds, so the HEIC sets hold five distinct encodes each, under twenty names
(hard links: every name is a file of its own for the programs that read it)."""
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
# libjpeg-turbo's djpeg, built for the same target from the same source as the library we link.
djpeg = sys.argv[4] if len(sys.argv) > 4 else ""
COUNT, W, H, HELD = 20, 4000, 3000, 300
DISTINCT_HEIC = 5
ONE_CORE = ["taskset", "-c", "0"]


def make_photos():
    photos_made = photos_module.make_photos(photos, COUNT, W, H)
    if len(photos_made) != COUNT:
        sys.exit("could not make the photos")
    return photos_made


def make_codec_sets(jpegs):
    """Folders of 20 HEIC files (plain and with a thumbnail item) and 20 WebP files."""
    sets = {}
    log = os.path.join(photos, "make-codecs.log")
    for label, extra in (("heic", []), ("heic-thumb", ["-t", "320"])):
        folder = os.path.join(photos, label)
        os.makedirs(folder, exist_ok=True)
        sources = []
        for i in range(DISTINCT_HEIC):
            target = os.path.join(folder, f"encoded{i}.heif")
            if not os.path.exists(target):
                run(["heif-enc", "-q", "60", "-p", "preset=veryfast"] + extra + [jpegs[i], "-o", target + ".part"], log)
                os.replace(target + ".part", target)
            sources.append(target)
        paths = []
        for i in range(COUNT):
            path = os.path.join(folder, f"IMG_{i:04d}.heic")
            if not os.path.exists(path):
                os.link(sources[i % len(sources)], path)
            paths.append(path)
        sets[label] = (folder, "*.heic", paths)
    folder = os.path.join(photos, "webp")
    os.makedirs(folder, exist_ok=True)
    paths = []
    for i, jpeg in enumerate(jpegs):
        target = os.path.join(folder, f"photo{i:02d}.webp")
        if not os.path.exists(target):
            run(["cwebp", "-quiet", "-q", "80", jpeg, "-o", target + ".part"], log)
            os.replace(target + ".part", target)
        paths.append(target)
    sets["webp"] = (folder, "*.webp", paths)
    return sets


def race(folder, pattern, files, work, held):
    """Best records per second of ours and of vips over the attempts, and our memory lines."""
    ours, vips, memory = [], [], {}
    for _ in range(attempts):
        text = run(ONE_CORE + ["wine", bench_exe, "Z:" + folder.replace("/", "\\"), "2", str(held), pattern],
                   os.path.join(work, "ours.log"))
        if "memory held" not in text:
            sys.exit("incomplete output from the benchmark:\n" + text)
        seconds, count = re.search(r"^pass ([0-9.]+) (\d+)", text, re.M).groups()
        if int(count) != len(files):
            sys.exit(f"the benchmark read {count} files of {len(files)} in {folder}")
        ours.append(int(count) / float(seconds))
        for label, records, committed, address in re.findall(r"^memory (\w+) (\d+) ([0-9.]+) ([0-9.]+)", text, re.M):
            memory.setdefault(label, []).append((int(records), float(committed), float(address)))

        env = dict(os.environ, VIPS_CONCURRENCY="1")
        start = time.perf_counter()
        run(ONE_CORE + ["vipsthumbnail", "-s", "120", "-o", os.path.join(work, "%s_thumb.jpg")] + files,
            os.path.join(work, "vips.log"), env)
        vips.append(len(files) / (time.perf_counter() - start))
    return max(ours), max(vips), memory


def djpeg_race(files, work):
    """Photos per second of djpeg's own 1/8-scale decode under Wine on the same core, one process
    per photo as the tool runs, best of the attempts. Each photo's run alternates with a run on a
    16 x 16 JPEG, whose time (the process's start and end) is taken off."""
    tiny = os.path.join(work, "tiny.jpg")
    run(["/usr/bin/convert", "-size", "16x16", "xc:gray", tiny], os.path.join(work, "tiny.log"))
    out = "Z:" + os.path.join(work, "djpeg.ppm").replace("/", "\\")
    best = 0.0
    for _ in range(attempts):
        photo_s = tiny_s = 0.0
        for f in files:
            for target in (f, tiny):
                start = time.perf_counter()
                run(ONE_CORE + ["wine", djpeg, "-scale", "1/8", "-outfile", out, "Z:" + target.replace("/", "\\")],
                    os.path.join(work, "djpeg.log"))
                if target == tiny:
                    tiny_s += time.perf_counter() - start
                else:
                    photo_s += time.perf_counter() - start
        if photo_s > tiny_s:
            best = max(best, len(files) / (photo_s - tiny_s))
    return best


def mib(files):
    return sum(os.path.getsize(f) for f in files) / len(files) / 1048576


def main():
    jpegs = make_photos()
    sets = make_codec_sets(jpegs)
    with tempfile.TemporaryDirectory() as work:
        best, ref, memory = race(photos, "*.jpg", jpegs, work, HELD)
        djpeg_rate = djpeg_race(jpegs, work) if djpeg and os.path.exists(djpeg) else 0.0
        codecs = {label: race(folder, pattern, files, work, 0) for label, (folder, pattern, files) in sets.items()}

    print(machine.heading())
    print(f"{len(jpegs)} JPEG photos of {W} x {H} ({mib(jpegs):.1f} MiB each on average), one core, "
          f"best of {attempts} alternating attempts.")
    print()
    print("| maker | records (thumbnails) per second | ratio to vipsthumbnail |")
    print("|---|---|---|")
    print(f"| Fotoloft `ImageData` under Wine (120 x 120 box) | {best:.1f} | {best / ref:.2f} |")
    print(f"| native `vipsthumbnail -s 120` | {ref:.1f} | 1.00 |")
    if djpeg_rate:
        print(f"| libjpeg-turbo `djpeg -scale 1/8` under Wine, its process start taken off | {djpeg_rate:.1f} | "
              f"{djpeg_rate / ref:.2f} |")
        print()
        print(f"Against djpeg (same library, same target, same core): djpeg's rate / ours {djpeg_rate / best:.2f} "
              f"(goal: within 1.15).")
    else:
        print()
        print(f"No djpeg reference: {djpeg or 'no path given'} is not built (scripts/setup builds it with the library).")
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
    photos_module.make_previewed(jpegs, previewed_folder)
    with tempfile.TemporaryDirectory() as folder:
        full, shown = [], []
        for _ in range(attempts):
            text = run(ONE_CORE + ["wine", bench_exe, "Z:" + previewed_folder.replace("/", "\\"), "2", "1"],
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
    if djpeg_rate:
        print()
        print(f"With the previews against djpeg's 1/8-scale decode of the photos: {best_shown / djpeg_rate:.1f} x "
              f"as many per second (goal: 10 x).")
    print()

    def last(label):
        return memory[label][-1]

    none, files_held, held = last("none"), last("files"), last("held")
    print("| records held | committed private MiB | address space in use MiB | MiB per record over none held |")
    print("|---|---|---|---|")
    for records, committed, address in (none, files_held, held):
        per = (committed - none[1]) / records if records else 0.0
        print(f"| {records} | {committed:.2f} | {address:.2f} | {per:.3f} |")
    print()

    names = {"heic": "HEIC, no thumbnail item (whole decode)", "heic-thumb": "HEIC with a 320 x 240 thumbnail item",
             "webp": "WebP (lossy, quality 80)"}
    print(f"The formats phones save, {COUNT} files of {W} x {H} each, same core and attempts:")
    print()
    print("| files | MiB each | Fotoloft per second | vipsthumbnail per second | ratio |")
    print("|---|---|---|---|---|")
    for label, (ours, vips, _) in codecs.items():
        print(f"| {names[label]} | {mib(sets[label][2]):.1f} | {ours:.1f} | {vips:.1f} | {ours / vips:.2f} |")


main()
