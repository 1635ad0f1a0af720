"""Runs editor_bench.exe on one 4000 x 3000 photo and prints the table with the goals."""
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.dirname(HERE))
import photos  # noqa: E402
from photos import run  # noqa: E402


def windows(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def main():
    bench_exe, bench_dir, rounds = sys.argv[1], sys.argv[2], sys.argv[3]
    folder = os.path.join(bench_dir, "photos")
    photo = photos.make_photos(folder, 20, 4000, 3000)[0]
    log = os.path.join(bench_dir, "editor_bench.log")
    text = run(["wine", bench_exe, windows(photo), rounds], log)
    values = {}
    for line in text.splitlines():
        parts = line.split()
        if len(parts) == 2:
            try:
                values[parts[0]] = float(parts[1])
            except ValueError:
                pass
    if "open_ms" not in values:
        sys.exit("no results:\n" + text)
    print("One 4000 x 3000 JPEG photo (12 MP); best of %s rounds; the canvas 700 x 500." % rounds)
    print()
    print("| Measure | Time | Reference (same run) | Ratio | Goal |")
    print("|---|---|---|---|---|")
    print("| Edit window open until the picture shows | %.0f ms | decoding the photo alone: %.0f ms | %.2f | 500 ms |"
          % (values["open_ms"], values["decode_ms"], values["open_ms"] / values["decode_ms"]))
    for name in ("rotate", "crop", "resize", "adjust", "undo", "revert", "fit", "actual_pixels"):
        print("| %s | %.0f ms | | | |" % (name.replace("_", " ").capitalize(), values[name + "_ms"]))
    print("| Slider step while dragging (first step) | %.1f ms | | | |" % values["slider_first_ms"])
    print("| Slider step while dragging | %.1f ms | the same adjustment on the whole picture: %.0f ms | %.3f | 33 ms |"
          % (values["slider_step_ms"], values["full_adjust_ms"], values["slider_step_ms"] / values["full_adjust_ms"]))
    print("| OK: the result kept by the item (lossless file, new thumbnail) | %.0f ms | | | |" % values["ok_ms"])
    print("| Peak memory while editing | %.0f MiB | one whole picture held: %.0f MiB | %.2f | 3 pictures |"
          % (values["edit_peak_mib"], values["picture_mib"], values["edit_peak_mib"] / values["picture_mib"]))
    print("| Peak memory while opening | %.0f MiB | | %.2f | |"
          % (values["open_peak_mib"], values["open_peak_mib"] / values["picture_mib"]))


if __name__ == "__main__":
    main()
