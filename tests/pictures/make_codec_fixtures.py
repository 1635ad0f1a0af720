#!/usr/bin/env python3
"""Makes the WebP, HEIC and AVIF pictures the codec tests read, with Debian's own encoders
(cwebp, heif-enc, avifenc) and ImageMagick, and the damaged copies of each.

Usage: make_codec_fixtures.py FOLDER
"""
import os
import shutil
import struct
import subprocess
import sys

CONVERT = "/usr/bin/convert"


def run(*args):
    subprocess.run(args, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def boxes(data, start, end):
    """(type, offset, size) of the ISO boxes in data[start:end]."""
    at = start
    while at + 8 <= end:
        size, kind = struct.unpack(">I4s", data[at:at + 8])
        if size < 8:
            break
        yield kind, at, size
        at += size


def child(data, offset, size, kind, header=8):
    for k, at, n in boxes(data, offset + header, offset + size):
        if k == kind:
            return at, n
    raise ValueError("no %s box" % kind)


def heif_properties(data):
    meta = child(data, 0, len(data), b"meta", 0)
    iprp = child(data, meta[0], meta[1], b"iprp", 12)
    ipco = child(data, iprp[0], iprp[1], b"ipco")
    return list(boxes(data, ipco[0] + 8, ipco[0] + ipco[1]))


def with_rotation(data, quarter_turns_anticlockwise):
    """The file with its pixel-information property replaced by a rotation of the same size, on
    the item that property belonged to (the picture shown)."""
    data = bytearray(data)
    for kind, at, size in heif_properties(data):
        if kind == b"pixi" and size >= 9:
            data[at:at + size] = struct.pack(">I4sB", size, b"irot", quarter_turns_anticlockwise) + bytes(size - 9)
            return bytes(data)
    raise ValueError("no pixi property to replace")


def with_extent(data, width, height):
    data = bytearray(data)
    for kind, at, size in heif_properties(data):
        if kind == b"ispe":
            data[at + 12:at + 20] = struct.pack(">II", width, height)
    return bytes(data)


def with_bad_sequence(data):
    """The AVIF with its AV1 sequence header (in the av1C property and at the start of the
    coded data) turned to garbage."""
    avif = bytearray(data)
    mdat = child(avif, 0, len(avif), b"mdat", 0)
    for k in range(mdat[0] + 8, min(mdat[0] + 40, len(avif))):
        avif[k] ^= 0x5A
    for kind, at, size in heif_properties(avif):
        if kind == b"av1C":
            for k in range(at + 12, at + size):
                avif[k] ^= 0x5A
    return bytes(avif)


def with_bad_chunk(data):
    """The WebP with its first chunk claiming far more bytes than the file has."""
    webp = bytearray(data)
    webp[16:20] = struct.pack("<I", 0x7FFFFF00)
    return bytes(webp)


def main():
    folder = sys.argv[1]
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    path = lambda name: os.path.join(folder, name)
    # A smooth picture with a marked corner, so that a turned or mirrored decode shows.
    run(CONVERT, "-size", "160x120", "gradient:#d04020-#2040d0", "-fill", "#30c040",
        "-draw", "rectangle 0,0 47,35", "-depth", "8", "PNG24:" + path("source.png"))
    run(CONVERT, path("source.png"), "-rotate", "90", "PNG24:" + path("turned.png"))
    run(CONVERT, "-size", "160x120", "gradient:#ffffff-#000000", "-alpha", "set", "-channel", "A",
        "-fx", "i/w", "PNG32:" + path("alpha.png"))

    run("cwebp", "-quiet", "-q", "90", path("source.png"), "-o", path("photo.webp"))
    run("cwebp", "-quiet", "-lossless", path("alpha.png"), "-o", path("alpha.webp"))
    # Larger than a thumbnail's twice: decoded straight to a small size.
    run(CONVERT, "-size", "1200x900", "gradient:#d04020-#2040d0", "-fill", "#30c040",
        "-draw", "rectangle 0,0 359,269", "-depth", "8", "PNG24:" + path("large.png"))
    run("cwebp", "-quiet", "-q", "90", path("large.png"), "-o", path("large.webp"))
    run(CONVERT, path("large.png"), "-alpha", "set", "-channel", "A", "-fx", "i/w", "PNG32:" + path("large-alpha.png"))
    run("cwebp", "-quiet", "-lossless", path("large-alpha.png"), "-o", path("large-alpha.webp"))
    run("heif-enc", "-q", "90", path("source.png"), "-o", path("photo.heic"))
    run("heif-enc", "-q", "90", "-t", "128", path("source.png"), "-o", path("thumbnail.heic"))
    run("heif-enc", "-q", "90", path("turned.png"), "-o", path("turned.heic"))
    run("avifenc", "-s", "8", "--min", "0", "--max", "20", path("source.png"), path("photo.avif"))

    read = lambda name: open(path(name), "rb").read()
    write = lambda name, data: open(path(name), "wb").write(data)
    # Stored turned a quarter clockwise; the rotation property turns it back.
    write("rotated.heic", with_rotation(read("turned.heic"), 1))
    os.remove(path("turned.heic"))

    # Damaged files: every format cut short, a HEIC claiming 60000 x 60000, an AVIF whose AV1
    # sequence header is garbage, a WebP whose chunk claims more bytes than the file has.
    for name in ("photo.webp", "photo.heic", "photo.avif"):
        data = read(name)
        write("cut-" + name, data[:len(data) // 2])
    write("huge.heic", with_extent(read("photo.heic"), 60000, 60000))
    write("bad-sequence.avif", with_bad_sequence(read("photo.avif")))
    write("bad-chunk.webp", with_bad_chunk(read("photo.webp")))
    return 0


if __name__ == "__main__":
    sys.exit(main())
