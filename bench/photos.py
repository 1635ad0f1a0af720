"""Photo-like JPEGs for the benchmarks, made once with ImageMagick and kept in the build folder."""
import glob
import os
import subprocess
import sys


def run(args, log, env=None):
    """Runs a command with its output in a file (never a pipe: Wine's processes inherit it)."""
    with open(log, "wb") as out:
        rc = subprocess.run(args, stdin=subprocess.DEVNULL, stdout=out, stderr=subprocess.STDOUT, env=env).returncode
    with open(log, "rb") as f:
        text = f.read().decode(errors="replace")
    if rc != 0:
        sys.exit(f"{' '.join(args)} failed ({rc}):\n{text}")
    return text


def make_photos(folder, count=20, width=4000, height=3000):
    """count distinct JPEGs of width x height at quality 90 in folder (photoNN.jpg)."""
    if len(glob.glob(os.path.join(folder, "photo*.jpg"))) == count:
        return sorted(glob.glob(os.path.join(folder, "photo*.jpg")))
    os.makedirs(folder, exist_ok=True)
    base = os.path.join(folder, "base.mpc")
    log = os.path.join(folder, "make.log")
    # Fractal plasma with grain compresses about like a photo (2 to 4 MB at quality 90).
    run(["/usr/bin/convert", "-seed", "11", "-size", f"{width}x{height}", "plasma:fractal",
         "-attenuate", "0.2", "+noise", "Gaussian", base], log)
    for i in range(count):
        variant = ["-roll", f"+{i * 173}+{i * 97}", "-modulate", f"100,{90 + i},{100 + 3 * i}"]
        if i % 2:
            variant.append("-flop")
        run(["/usr/bin/convert", base] + variant + ["-quality", "90", os.path.join(folder, f"photo{i:02d}.jpg")], log)
    for leftover in glob.glob(os.path.join(folder, "base.*")):
        os.remove(leftover)
    return sorted(glob.glob(os.path.join(folder, "photo*.jpg")))


def link_names(sources, folder, count, stem="img"):
    """count distinct paths in folder, hard links to the sources in turn: each path is a file of
    its own for the program that reads it, while the disk holds only the sources."""
    os.makedirs(folder, exist_ok=True)
    paths = []
    for i in range(count):
        path = os.path.join(folder, f"{stem}{i:04d}.jpg")
        if not os.path.exists(path):
            os.link(sources[i % len(sources)], path)
        paths.append(path)
    return paths


def exif_with_preview(preview, orientation=1):
    """An APP1 segment holding an EXIF block (little-endian TIFF) with the orientation in IFD0
    and the preview JPEG in IFD1, as cameras store it."""
    import struct
    ifd0 = 8
    ifd1 = ifd0 + 2 + 12 + 4
    data_at = ifd1 + 2 + 2 * 12 + 4
    tiff = b"II*\x00" + struct.pack("<I", ifd0)
    tiff += struct.pack("<H", 1) + struct.pack("<HHIHH", 0x0112, 3, 1, orientation, 0) + struct.pack("<I", ifd1)
    tiff += struct.pack("<H", 2) + struct.pack("<HHII", 0x0201, 4, 1, data_at)
    tiff += struct.pack("<HHII", 0x0202, 4, 1, len(preview)) + struct.pack("<I", 0)
    tiff += preview
    payload = b"Exif\x00\x00" + tiff
    return b"\xff\xe1" + struct.pack(">H", len(payload) + 2) + payload


def make_previewed(sources, folder):
    """Copies of the photos carrying a 160 x 120 EXIF preview each (made by ImageMagick from the
    photo itself), in folder; kept between runs."""
    os.makedirs(folder, exist_ok=True)
    log = os.path.join(folder, "make.log")
    out = []
    for source in sources:
        target = os.path.join(folder, os.path.basename(source))
        if not os.path.exists(target):
            thumb = target + ".thumb.jpg"
            run(["/usr/bin/convert", source, "-thumbnail", "160x120!", "-strip", "-quality", "80", thumb], log)
            with open(thumb, "rb") as f:
                preview = f.read()
            os.remove(thumb)
            with open(source, "rb") as f:
                photo = f.read()
            with open(target + ".part", "wb") as f:
                f.write(photo[:2] + exif_with_preview(preview) + photo[2:])
            os.replace(target + ".part", target)
        out.append(target)
    return out
