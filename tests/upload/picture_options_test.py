#!/usr/bin/env python3
"""The page's picture options through scripts/post against the recording server: what
arrives is taken out of the recorded multipart body and read by ImageMagick, independently
of the code that sent it ("JpegQuality", "MaxWidth"/"MaxHeight", "SendOriginal", EXIF
orientation, PNG alpha, animated GIF, ".tif")."""
import hashlib
import json
import os
import re
import struct
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import servers  # noqa: E402
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "pictures"))
import make_codec_fixtures as codec_fixtures  # noqa: E402

SOURCE = os.environ.get("FOTOLOFT_SOURCE_DIR", os.path.join(os.path.dirname(__file__), "..", ".."))
POST = os.path.join(SOURCE, "scripts", "post")
CONVERT, IDENTIFY = "/usr/bin/convert", "/usr/bin/identify"


def magick(*args):
    subprocess.run([CONVERT] + list(args), check=True, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL)


def identify(fmt, path):
    out = subprocess.run([IDENTIFY, "-format", fmt, path], check=True, stdin=subprocess.DEVNULL,
                         stdout=subprocess.PIPE, stderr=subprocess.DEVNULL).stdout
    return out.decode()


def pixel(path, x, y):
    """The colour at (x, y) as (red, green, blue, alpha 0..1), read by ImageMagick."""
    text = subprocess.run([CONVERT, path + "[0]", "-format", "%%[fx:int(255*p{%d,%d}.r)],%%[fx:int(255*p{%d,%d}.g)],"
                           "%%[fx:int(255*p{%d,%d}.b)],%%[fx:p{%d,%d}.a]" % ((x, y) * 4), "info:"],
                          check=True, stdout=subprocess.PIPE, stdin=subprocess.DEVNULL).stdout.decode()
    r, g, b, a = text.split(",")
    return int(r), int(g), int(b), float(a)


def with_orientation(jpeg, orientation):
    """The JPEG with an APP1 EXIF block holding only the orientation, written by hand."""
    tiff = b"MM\x00\x2a" + struct.pack(">I", 8) + struct.pack(">H", 1)
    tiff += struct.pack(">HHIHH", 0x0112, 3, 1, orientation, 0) + struct.pack(">I", 0)
    payload = b"Exif\x00\x00" + tiff
    return jpeg[:2] + b"\xff\xe1" + struct.pack(">H", len(payload) + 2) + payload + jpeg[2:]


def exiftool(path, *args):
    """Every tag ExifTool reads in the file, as {"Group:Tag": value} (numbers as numbers)."""
    out = subprocess.run(["exiftool", "-j", "-n", "-a", "-G1"] + list(args) + [path], check=True,
                         stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL).stdout
    return json.loads(out.decode())[0]


def icc_bytes(path):
    return subprocess.run(["exiftool", "-b", "-ICC_Profile", path], check=True, stdin=subprocess.DEVNULL,
                          stdout=subprocess.PIPE, stderr=subprocess.DEVNULL).stdout


def test_profile():
    """A small ICC display profile written by hand: a header and one description tag."""
    text = b"Fotoloft test profile"
    desc = b"desc" + bytes(4) + struct.pack(">I", len(text) + 1) + text + bytes(1 + 8 + 3 + 67)
    desc += bytes(-len(desc) % 4)
    size = 128 + 4 + 12 + len(desc)
    header = (struct.pack(">I", size) + b"none" + bytes([2, 0x10, 0, 0]) + b"mntrRGB XYZ " + bytes(12) + b"acsp" +
              b"APPL" + bytes(4) + b"none" + b"none" + bytes(12) + struct.pack(">iii", 63190, 65536, 54061) +
              b"none" + bytes(44))
    return header + struct.pack(">I", 1) + b"desc" + struct.pack(">II", 144, len(desc)) + desc


# What a phone writes, set by ExifTool: the safe facts, and what must not leave the phone.
PHONE_TAGS = ["-Make=Phonemaker", "-Model=Pocket 12", "-DateTimeOriginal=2026:04:30 18:45:12", "-ExposureTime=1/120",
              "-FNumber=1.8", "-ISO=64", "-GPSLatitude=52.13", "-GPSLatitudeRef=N", "-GPSLongitude=4.5",
              "-GPSLongitudeRef=E", "-SerialNumber=SN778899", "-OwnerName=Ann Owner", "-Artist=Ann Artist",
              "-XMP-dc:Creator=Ann Creator", "-XMP-tiff:Orientation#=6", "-ExifImageWidth=640",
              "-ExifImageHeight=480"]
SAFE = {"IFD0:Make": "Phonemaker", "IFD0:Model": "Pocket 12", "ExifIFD:DateTimeOriginal": "2026:04:30 18:45:12",
        "ExifIFD:ExposureTime": 1 / 120, "ExifIFD:FNumber": 1.8, "ExifIFD:ISO": 64}
PRIVATE = ("GPS:GPSLatitude", "GPS:GPSLongitude", "ExifIFD:SerialNumber", "ExifIFD:OwnerName", "IFD0:Artist",
           "XMP-dc:Creator")


def near(colour, want, tolerance=40):
    return all(abs(c - w) <= tolerance for c, w in zip(colour[:3], want))


class PictureOptionsTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.work = tempfile.TemporaryDirectory(prefix="fotoloft-options-")
        w = cls.work.name
        cls.server = servers.RecordingServer(os.path.join(w, "server")).__enter__()
        cls.photo = os.path.join(w, "photo.jpg")
        magick("-seed", "5", "-size", "640x480", "plasma:fractal", "-quality", "90", cls.photo)
        # Upright 300 x 200: red top left, green top right, blue bottom left, white bottom
        # right; stored turned a quarter counter-clockwise with orientation 6 ("turn it clockwise").
        upright = os.path.join(w, "upright.png")
        magick("(", "-size", "150x100", "xc:#ff0000", "xc:#00ff00", "+append", ")",
               "(", "-size", "150x100", "xc:#0000ff", "xc:#ffffff", "+append", ")", "-append", upright)
        stored = os.path.join(w, "stored.jpg")
        magick(upright, "-rotate", "-90", "-quality", "95", stored)
        cls.sideways = os.path.join(w, "sideways.jpg")
        with open(stored, "rb") as f, open(cls.sideways, "wb") as out:
            out.write(with_orientation(f.read(), 6))
        cls.alpha = os.path.join(w, "alpha.png")
        magick("-size", "200x200", "xc:none", "-size", "200x200", "xc:#0000ff", "+append", "PNG32:" + cls.alpha)
        cls.anim = os.path.join(w, "anim.gif")
        magick("-delay", "10", "-size", "60x40", "xc:red", "xc:blue", "xc:green", cls.anim)
        cls.tif = os.path.join(w, "scan.tif")
        magick("-size", "64x48", "gradient:", "TIFF:" + cls.tif)
        # A phone's formats, made by their own encoders from one smooth picture.
        cls.source = os.path.join(w, "source.png")
        magick("-size", "320x240", "gradient:#d04020-#2040d0", "-fill", "#30c040", "-draw", "rectangle 0,0 79,59",
               "PNG24:" + cls.source)
        cls.phone = {}
        for name, command in (("IMG_0001.HEIC", ["heif-enc", "-q", "90", cls.source, "-o"]),
                              ("photo.webp", ["cwebp", "-quiet", "-q", "90", cls.source, "-o"]),
                              ("photo.avif", ["avifenc", "-s", "8", "--min", "0", "--max", "20", cls.source])):
            cls.phone[name] = os.path.join(w, name)
            subprocess.run(command + [cls.phone[name]], check=True, stdin=subprocess.DEVNULL,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

        # A phone's photos with GPS, date, camera, owner and a colour profile: stored sideways
        # (orientation 6) and stored upright (orientation 1), and the same as HEIC and WebP.
        cls.profile = test_profile()
        icc = os.path.join(w, "display.icc")
        with open(icc, "wb") as f:
            f.write(cls.profile)
        cls.tagged = {}
        for orientation in (6, 1):
            path = os.path.join(w, "phone-%d.jpg" % orientation)
            magick("-seed", "7", "-size", "640x480", "plasma:fractal", "-quality", "92", path)
            subprocess.run(["exiftool", "-q", "-overwrite_original", "-Orientation#=%d" % orientation,
                            "-ICC_Profile<=" + icc] + PHONE_TAGS + [path], check=True, stdin=subprocess.DEVNULL,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            cls.tagged[orientation] = path
        for name, command in (("phone.heic", ["heif-enc", "-q", "90", cls.tagged[1], "-o"]),
                              ("phone.webp", ["cwebp", "-quiet", "-metadata", "all", "-q", "90", cls.tagged[1], "-o"])):
            cls.tagged[name] = os.path.join(w, name)
            subprocess.run(command + [cls.tagged[name]], check=True, stdin=subprocess.DEVNULL,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    @classmethod
    def tearDownClass(cls):
        cls.server.__exit__(None, None, None)
        cls.work.cleanup()

    def send(self, path, settings=None):
        """Posts the file; returns the form fields and the path of the file part as received."""
        args = [POST, self.server.url("/record"), path] + ([json.dumps(settings)] if settings else [])
        proc = subprocess.run(args, stdout=subprocess.PIPE, stderr=subprocess.PIPE, stdin=subprocess.DEVNULL,
                              timeout=180)
        self.assertEqual(proc.returncode, 0, proc.stderr.decode(errors="replace"))
        seq = json.loads(proc.stdout.decode().strip())["svr"]["seq"]
        folder = self.server.folder
        head = open(os.path.join(folder, "%d.head" % seq)).read()
        boundary = re.search(r"boundary=(\S+)", head).group(1).encode()
        body = open(os.path.join(folder, "%d.body" % seq), "rb").read()
        fields, received = {}, None
        for part in body.split(b"--" + boundary)[1:-1]:
            headers, data = part[2:].split(b"\r\n\r\n", 1)
            data = data[:-2]  # the line break before the next boundary
            name = re.search(rb'name="([^"]*)"', headers).group(1).decode()
            if b"filename=" in headers:
                self.part_headers = headers.decode(errors="replace")
                received = os.path.join(self.work.name, "received-%d" % seq)
                with open(received, "wb") as f:
                    f.write(data)
            else:
                fields[name] = data.decode()
        self.assertIsNotNone(received)
        return fields, received

    def sha256(self, path):
        return hashlib.sha256(open(path, "rb").read()).hexdigest()

    def test_an_untouched_jpeg_goes_as_its_own_data_without_metadata(self):
        tagged = os.path.join(self.work.name, "tagged.jpg")
        with open(self.photo, "rb") as f, open(tagged, "wb") as out:
            out.write(with_orientation(f.read(), 1))
        self.assertNotEqual(identify("%[EXIF:*]", tagged), "")
        fields, got = self.send(tagged)
        self.assertEqual(identify("%m %w %h %Q", got), "JPEG 640 480 90")
        self.assertEqual((fields["width"], fields["height"]), ("640", "480"))
        self.assertLessEqual(os.path.getsize(got), os.path.getsize(tagged))
        self.assertGreaterEqual(self.psnr(got, tagged), 45.0)
        self.assertEqual(identify("%[EXIF:*]", got), "")
        # "Reencode" gives the older behaviour: decoded and encoded again at quality 100.
        fields, got = self.send(tagged, {"Reencode": True})
        self.assertEqual(identify("%m %w %h %Q", got), "JPEG 640 480 100")
        self.assertNotEqual(self.sha256(got), self.sha256(self.photo))
        # A quality the page names is the quality sent.
        _, got = self.send(tagged, {"JpegQuality": 70})
        self.assertEqual(identify("%Q", got), "70")

    def assert_metadata(self, got, kept, what):
        tags = exiftool(got)
        if kept == "none":
            self.assertFalse([k for k in tags if k.split(":")[0] in ("IFD0", "ExifIFD", "GPS", "XMP-dc")], what)
            self.assertEqual(icc_bytes(got), b"", what)
            return
        for key, value in SAFE.items():
            self.assertIn(key, tags, what)
            if isinstance(value, float):
                self.assertAlmostEqual(tags[key], value, places=4, msg=what)
            else:
                self.assertEqual(tags[key], value, what)
        # The pixel size it names is the size sent.
        size = tuple(int(v) for v in identify("%w %h", got).split())
        self.assertEqual((tags.get("ExifIFD:ExifImageWidth"), tags.get("ExifIFD:ExifImageHeight")), size, what)
        self.assertEqual(icc_bytes(got), self.profile, what)  # the colour profile byte for byte
        self.assertEqual(tags.get("IFD0:Orientation"), 1, what)  # the pixels are upright
        private = [k for k in PRIVATE if k in tags]
        if kept == "safe":
            self.assertEqual(private, [], what)
            self.assertFalse([k for k in tags if k.startswith("GPS:") or k.startswith("XMP")], what)
        else:
            self.assertEqual(private, list(PRIVATE), what)
            self.assertEqual(tags["GPS:GPSLatitude"], 52.13, what)
            self.assertEqual(tags.get("XMP-tiff:Orientation"), 1, what)

    def test_metadata_keeps_what_the_page_asks_of_a_phones_photo(self):
        for kept in ("none", "safe", "all"):
            settings = {} if kept == "none" else {"Metadata": kept}
            # Stored sideways: turned upright, so encoded again.
            fields, got = self.send(self.tagged[6], settings)
            self.assertEqual(identify("%w %h %Q", got), "480 640 100", kept)
            self.assert_metadata(got, kept, kept + " turned")
            # Stored upright: its own compressed data, with what is kept.
            fields, got = self.send(self.tagged[1], settings)
            self.assertEqual(identify("%w %h %Q", got), "640 480 92", kept)
            self.assertGreaterEqual(self.psnr(got, self.tagged[1]), 45.0)
            self.assert_metadata(got, kept, kept + " own data")
        # Shrunk and encoded again at the page's quality: the pixel size written is the one sent.
        fields, got = self.send(self.tagged[1], {"Metadata": "safe", "MaxWidth": 320, "JpegQuality": 80})
        self.assertEqual(identify("%w %h %Q", got), "320 240 80")
        self.assert_metadata(got, "safe", "shrunk")
        # With "SendOriginal" the file's own bytes go, whatever "Metadata" says.
        _, got = self.send(self.tagged[1], {"Metadata": "none", "SendOriginal": True})
        self.assertEqual(self.sha256(got), self.sha256(self.tagged[1]))

    def test_phone_formats_sent_as_jpeg_keep_their_metadata_as_asked(self):
        for name in ("phone.heic", "phone.webp"):
            _, got = self.send(self.tagged[name])
            self.assert_metadata(got, "none", name)
            for kept in ("safe", "all"):
                _, got = self.send(self.tagged[name], {"Metadata": kept})
                self.assertEqual(identify("%m %w %h", got), "JPEG 640 480", name)
                tags = exiftool(got)
                for key in ("IFD0:Make", "ExifIFD:DateTimeOriginal"):
                    self.assertEqual(tags.get(key), SAFE[key], (name, kept))
                self.assertEqual(icc_bytes(got), self.profile, (name, kept))
                self.assertEqual(tags.get("IFD0:Orientation"), 1, (name, kept))
                self.assertEqual("GPS:GPSLatitude" in tags, kept == "all", (name, kept))

    def test_jpeg_quality_is_the_quality_sent(self):
        for quality in (85, 40):
            fields, got = self.send(self.photo, {"JpegQuality": quality})
            self.assertEqual(identify("%m %w %h %Q", got), "JPEG 640 480 %d" % quality)
        # Outside 1 to 100: as if none was given, so the untouched photo goes as its own data.
        _, got = self.send(self.photo, {"JpegQuality": 500})
        self.assertEqual(identify("%Q", got), "90")

    def test_limits_shrink_to_fit_both(self):
        for settings, size in (({"MaxWidth": 300, "MaxHeight": 300}, (300, 225)), ({"MaxHeight": 120}, (160, 120)),
                               ({"MaxWidth": 2048, "MaxHeight": 2048}, (640, 480)), ({"MaxWidth": 0}, (640, 480))):
            fields, got = self.send(self.photo, dict(settings, JpegQuality=85))
            self.assertEqual(identify("%w %h %Q", got), "%d %d 85" % size, settings)
            self.assertEqual((fields["width"], fields["height"]), tuple(str(v) for v in size))

    def test_send_original_sends_the_files_own_bytes(self):
        fields, got = self.send(self.photo, {"SendOriginal": True})
        self.assertEqual(self.sha256(got), self.sha256(self.photo))
        self.assertEqual((fields["width"], fields["height"]), ("640", "480"))
        # A picture that must shrink is re-encoded.
        fields, got = self.send(self.photo, {"SendOriginal": True, "MaxWidth": 320})
        self.assertNotEqual(self.sha256(got), self.sha256(self.photo))
        self.assertEqual(identify("%w %h", got), "320 240")

    def test_orientation_6_arrives_upright_without_a_tag(self):
        fields, got = self.send(self.sideways)
        self.assertEqual(identify("%w %h %[orientation]", got), "300 200 Undefined")
        self.assertEqual((fields["width"], fields["height"]), ("300", "200"))
        for (x, y), want in (((75, 50), (255, 0, 0)), ((225, 50), (0, 255, 0)), ((75, 150), (0, 0, 255)),
                             ((225, 150), (255, 255, 255))):
            colour = pixel(got, x, y)
            self.assertTrue(near(colour, want), (x, y, colour))
        # As the original, it keeps its tag, and the fields give the size as seen.
        fields, got = self.send(self.sideways, {"SendOriginal": True})
        self.assertEqual(self.sha256(got), self.sha256(self.sideways))
        self.assertEqual(identify("%w %h %[orientation]", got), "200 300 RightTop")
        self.assertEqual((fields["width"], fields["height"]), ("300", "200"))

    def test_png_keeps_its_alpha_when_shrunk(self):
        fields, got = self.send(self.alpha, {"MaxWidth": 100})
        self.assertEqual(identify("%m %w %h %A", got), "PNG 100 50 True")
        self.assertEqual(pixel(got, 10, 25)[3], 0.0)
        right = pixel(got, 90, 25)
        self.assertEqual(right, (0, 0, 255, 1.0))

    def test_animated_gif_goes_out_whole(self):
        fields, got = self.send(self.anim)
        self.assertEqual(self.sha256(got), self.sha256(self.anim))
        self.assertEqual(identify("%n ", got).split()[0], "3")
        self.assertEqual((fields["width"], fields["height"]), ("60", "40"))

    def test_tif_stays_tiff(self):
        _, got = self.send(self.tif)
        self.assertEqual(identify("%m %w %h", got), "TIFF 64 48")

    def psnr(self, a, b):
        proc = subprocess.run(["/usr/bin/compare", "-metric", "PSNR", a, b, "null:"], stdin=subprocess.DEVNULL,
                              stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        text = proc.stderr.decode().split()[0]
        return 99.0 if text == "inf" else float(text)

    def test_phone_formats_go_as_jpeg_of_their_full_size_or_as_their_own_bytes(self):
        for name, path in self.phone.items():
            fields, got = self.send(path, {"JpegQuality": 95})
            self.assertEqual(identify("%m %w %h", got), "JPEG 320 240", name)
            self.assertEqual((fields["width"], fields["height"]), ("320", "240"))
            stem = name.rsplit(".", 1)[0]
            self.assertIn('filename="%s%%2Ejpg"' % stem.replace("_", "%5F"), self.part_headers, name)
            self.assertIn("Content-Type: image/jpeg", self.part_headers, name)
            self.assertGreaterEqual(self.psnr(got, self.source), 30.0, name)
            # As the original: the file's own bytes under its own name.
            fields, got = self.send(path, {"SendOriginal": True})
            self.assertEqual(self.sha256(got), self.sha256(path), name)
            self.assertEqual((fields["width"], fields["height"]), ("320", "240"))
            self.assertIn(name.rsplit(".", 1)[1], self.part_headers, name)

    def test_damaged_phone_formats_send_nothing(self):
        hostile = {}
        for name, path in self.phone.items():
            data = open(path, "rb").read()
            for cut in (200, len(data) // 2, len(data) - 3):
                hostile["cut%d-%s" % (cut, name)] = data[:cut]
        heic, avif, webp = (open(self.phone[n], "rb").read() for n in ("IMG_0001.HEIC", "photo.avif", "photo.webp"))
        hostile["huge.heic"] = codec_fixtures.with_extent(heic, 60000, 60000)
        hostile["bad-sequence.avif"] = codec_fixtures.with_bad_sequence(avif)
        hostile["bad-chunk.webp"] = codec_fixtures.with_bad_chunk(webp)
        before = self.server.count
        for name, data in hostile.items():
            path = os.path.join(self.work.name, name)
            with open(path, "wb") as f:
                f.write(data)
            for settings in ({}, {"SendOriginal": True, "Metadata": "all"}):
                args = [POST, self.server.url("/record"), path] + ([json.dumps(settings)] if settings else [])
                proc = subprocess.run(args, stdout=subprocess.PIPE, stderr=subprocess.PIPE, stdin=subprocess.DEVNULL,
                                      timeout=180)
                # A clean refusal (1), not a crash or a hang, and nothing reaches the server.
                self.assertEqual(proc.returncode, 1, (name, settings, proc.stderr.decode(errors="replace")[-500:]))
                self.assertIn("nothing was sent", proc.stderr.decode(errors="replace"), name)
        self.assertEqual(self.server.count, before)


if __name__ == "__main__":
    unittest.main(verbosity=2)
