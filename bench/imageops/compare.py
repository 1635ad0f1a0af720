#!/usr/bin/env python3
"""Times our image operations (in process, under Wine) and ImageMagick doing the same
operations on the same pixels, in one run, and prints milliseconds per megapixel and ratios.

The machine is shared, so every figure is the best of several attempts, and ours and
ImageMagick's attempts alternate so that both meet the same load. ImageMagick times itself
(-bench, per iteration of the whole command); the same command without the operation gives
its load time, which is subtracted. Its figures are given for one thread (ours use one) and
for all of its threads."""
import os
import re
import subprocess
import sys
import tempfile

W, H = 4000, 3000
bench_exe = sys.argv[1]
attempts = int(sys.argv[2])
MP = W * H / 1e6

# The same operation, as ImageMagick says it.
IM_OPS = {
    "resample": ["-scale", "1600x1200!"],           # area averaging to 1600 wide
    "rotate_right": ["-rotate", "90"],
    "light": ["-brightness-contrast", "8x10"],       # a brightness and contrast table
    "saturate": ["-modulate", "100,130"],           # HSL saturation
    "crop": ["-crop", f"{W // 2}x{H // 2}+{W // 4}+{H // 4}", "+repage"],
}


def run_to_file(args, out_path):
    with open(out_path, "wb") as out:
        rc = subprocess.run(args, stdin=subprocess.DEVNULL, stdout=out, stderr=subprocess.STDOUT).returncode
    with open(out_path, "rb") as f:
        text = f.read().decode(errors="replace")
    if rc != 0:
        sys.exit(f"{' '.join(args)} failed ({rc}):\n{text}")
    return text


def im_seconds(folder, source, op_args, threads):
    """Seconds per iteration of the whole command, from ImageMagick's own -bench."""
    limit = ["-limit", "thread", str(threads)] if threads else []
    text = run_to_file(["/usr/bin/convert"] + limit + [source] + op_args + ["-bench", "3", "null:"],
                       os.path.join(folder, "im.log"))
    rates = [float(ips) for ips in re.findall(r"Performance\[\d+\]: \d+i ([0-9.]+)ips", text)]
    if not rates:
        sys.exit("no timing from ImageMagick:\n" + text)
    return 1.0 / max(rates)


def ours_ms(folder, raw, name):
    text = run_to_file(["wine", bench_exe, "Z:" + raw.replace("/", "\\"), str(W), str(H), "3", name],
                       os.path.join(folder, "ours.log"))
    found = re.search(rf"^{name} ([0-9.]+)\s*$", text, re.M)
    if not found:
        sys.exit("no timing from the benchmark:\n" + text)
    return float(found.group(1))


def main():
    with tempfile.TemporaryDirectory() as folder:
        picture = os.path.join(folder, "picture.mpc")
        # A photo-like picture: fractal plasma with fine grain.
        run_to_file(["/usr/bin/convert", "-seed", "7", "-size", f"{W}x{H}", "plasma:fractal",
                     "-attenuate", "0.3", "+noise", "Gaussian", picture], os.path.join(folder, "make.log"))
        raw = os.path.join(folder, "picture.bgr")
        run_to_file(["/usr/bin/convert", picture, "-depth", "8", "bgr:" + raw], os.path.join(folder, "raw.log"))

        rows = []
        for name, args in IM_OPS.items():
            mine, im1, im_all = [], [], []
            for _ in range(attempts):
                mine.append(ours_ms(folder, raw, name))
                im1.append(im_seconds(folder, picture, args, 1) - im_seconds(folder, picture, [], 1))
                im_all.append(im_seconds(folder, picture, args, 0) - im_seconds(folder, picture, [], 0))
            rows.append((name, min(mine) / MP, max(min(im1), 1e-6) * 1000 / MP, max(min(im_all), 1e-6) * 1000 / MP))

        print(f"Picture {W} x {H} ({MP:.0f} MP); best of {attempts} alternating attempts "
              f"(ours: best of 3 rounds each; ImageMagick: -bench 3, load time subtracted).")
        print()
        print("| operation | ours ms/MP | ImageMagick 1 thread ms/MP | ratio | ImageMagick all threads ms/MP | ratio |")
        print("|---|---|---|---|---|---|")
        for name, mine, im1, im_all in rows:
            print(f"| {name} | {mine:.2f} | {im1:.2f} | {im1 / mine:.2f} | {im_all:.2f} | {im_all / mine:.2f} |")
        print()
        print("ratio = ImageMagick time / our time (above 1: ours is faster)")


main()
