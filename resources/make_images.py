#!/usr/bin/env python3
"""Makes the two pictures built into Vantrel: title.jpg and offline.jpg.

The artwork is drawn with ImageMagick's convert and encoded with libjpeg-turbo's
cjpeg (baseline, no chroma subsampling, a restart marker after every row of
blocks). This script then rewrites the file's head: a JFIF 1.02 header at
72 dpi, an XMP packet, an sRGB ICC profile of its own making and a comment,
the comment filled so that the file has its fixed size. Finally it checks the
result and writes it next to this script.

Needs: imagemagick, libjpeg-turbo-progs, fonts-dejavu-core (scripts/setup.sh).
The pictures are committed, so building Vantrel needs none of these.
"""

import struct
import subprocess
import sys
import tempfile
from dataclasses import dataclass
from pathlib import Path

HERE = Path(__file__).resolve().parent
FONT = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf"
MAKER = "Vantrel resources/make_images.py"


@dataclass
class Picture:
    file_name: str
    title: str
    width: int
    height: int
    size_bytes: int
    seed: int
    drawing: list  # convert arguments after the background, before the noise

    @property
    def mcus_per_row(self):
        return (self.width + 7) // 8

    @property
    def mcu_rows(self):
        return (self.height + 7) // 8


def monitor(width, height, screen_top, screen_bottom):
    """Convert arguments for a dark monitor on a desk, its screen in a gradient."""
    bezel = (width * 6 // 100, height * 5 // 100, width * 94 // 100, height * 84 // 100)
    left, top, right, bottom = bezel
    screen_w, screen_h = right - left - 16, bottom - top - 14
    mid = width // 2
    foot = (height + bottom) // 2 + 3
    return [
        "-fill", "#30343c", "-draw", f"roundrectangle {left},{top} {right},{bottom} 10,10",
        "-fill", "#15171b", "-draw", f"roundrectangle {left + 4},{top + 4} {right - 4},{bottom - 4} 7,7",
        "(", "-size", f"{screen_w}x{screen_h}", f"gradient:{screen_top}-{screen_bottom}", ")",
        "-geometry", f"+{left + 8}+{top + 8}", "-composite",
        "-fill", "#2a2e35",
        "-draw", f"polygon {mid - 14},{bottom} {mid + 14},{bottom} {mid + 22},{foot} {mid - 22},{foot}",
        "-draw", f"roundrectangle {mid - width * 21 // 100},{foot - 1} {mid + width * 21 // 100},{foot + 6} 3,3",
    ]


def caption(text, point_size, colour, x, y, shadow=1):
    """Convert arguments for a centred line of text with a dark shadow below right."""
    return [
        "-pointsize", str(point_size),
        "-fill", "#000000", "-annotate", f"{x + shadow:+d}{y + shadow:+d}", text,
        "-fill", colour, "-annotate", f"{x:+d}{y:+d}", text,
    ]


TITLE = Picture(
    "title.jpg", "Vantrel title picture", 220, 165, 40578, 11,
    monitor(220, 165, "#123a63", "#020a16")
    + ["-font", FONT, "-gravity", "center"]
    + caption("Powered By...", 13, "#9cb4cc", 0, -31)
    + caption("Vantrel", 32, "#e8f0ff", 0, -3, shadow=2),
)

OFFLINE = Picture(
    "offline.jpg", "Vantrel offline picture", 320, 240, 40470, 23,
    monitor(320, 240, "#3a1418", "#0a0204")
    + ["-font", FONT, "-gravity", "center"]
    + caption("Vantrel", 34, "#e8f0ff", 0, -62, shadow=2)
    + caption("This camera is", 15, "#c8ccd4", 0, -14)
    + caption("currently", 15, "#c8ccd4", 0, 8)
    + caption("OFFLINE", 26, "#ff5a4a", 0, 38, shadow=2),
)


# --- ICC profile -------------------------------------------------------------

def s15f16(value):
    return struct.pack(">i", round(value * 65536))


def xyz_tag(x, y, z):
    return b"XYZ " + bytes(4) + s15f16(x) + s15f16(y) + s15f16(z)


def srgb_curve(points=1024):
    def decode(v):
        return v / 12.92 if v <= 0.04045 else ((v + 0.055) / 1.055) ** 2.4

    table = [round(decode(i / (points - 1)) * 65535) for i in range(points)]
    return b"curv" + bytes(4) + struct.pack(">I", points) + struct.pack(f">{points}H", *table)


def text_description(text):
    ascii_text = text.encode("ascii") + b"\0"
    return (b"desc" + bytes(4) + struct.pack(">I", len(ascii_text)) + ascii_text
            + bytes(8)  # no Unicode description
            + bytes(3) + bytes(67))  # no ScriptCode description


def srgb_icc_profile():
    """A version 2.1 display profile for sRGB, primaries adapted to D50."""
    curve = srgb_curve()
    tags = [
        (b"desc", text_description("sRGB (Vantrel)")),
        (b"cprt", b"text" + bytes(4) + b"No copyright, use freely.\0"),
        (b"wtpt", xyz_tag(0.9642, 1.0, 0.8249)),
        (b"rXYZ", xyz_tag(0.4360747, 0.2225045, 0.0139322)),
        (b"gXYZ", xyz_tag(0.3850649, 0.7168786, 0.0971045)),
        (b"bXYZ", xyz_tag(0.1430804, 0.0606169, 0.7141733)),
        (b"rTRC", curve), (b"gTRC", curve), (b"bTRC", curve),
    ]
    table_size = 4 + 12 * len(tags)
    offset = 128 + table_size
    entries, data, placed = [], b"", {}
    for signature, body in tags:
        if body not in placed:  # the three curves share one copy
            placed[body] = offset + len(data)
            data += body + bytes(-len(body) % 4)
        entries.append(struct.pack(">4sII", signature, placed[body], len(body)))
    size = offset + len(data)
    header = (struct.pack(">I", size) + bytes(4) + struct.pack(">I", 0x02100000)
              + b"mntrRGB XYZ " + struct.pack(">6H", 2024, 1, 1, 0, 0, 0) + b"acsp"
              + bytes(4 + 4 + 4 + 4 + 8) + struct.pack(">I", 0)
              + s15f16(0.9642) + s15f16(1.0) + s15f16(0.8249) + bytes(4) + bytes(44))
    assert len(header) == 128
    return header + struct.pack(">I", len(tags)) + b"".join(entries) + data


# --- JPEG segments -------------------------------------------------------------

def segment(marker, payload):
    assert len(payload) + 2 <= 0xFFFF, "segment too long"
    return bytes([0xFF, marker]) + struct.pack(">H", len(payload) + 2) + payload


def jfif_header():
    # Version 1.02, density in dots per inch, 72 x 72, no thumbnail.
    return segment(0xE0, b"JFIF\0" + bytes([1, 2, 1]) + struct.pack(">HH", 72, 72) + bytes([0, 0]))


def xmp_packet(picture):
    packet = f"""<?xpacket begin="\ufeff" id="W5M0MpCehiHzreSzNTczkc9d"?>
<x:xmpmeta xmlns:x="adobe:ns:meta/">
 <rdf:RDF xmlns:rdf="http://www.w3.org/1999/02/22-rdf-syntax-ns#">
  <rdf:Description rdf:about=""
    xmlns:xmp="http://ns.adobe.com/xap/1.0/"
    xmlns:dc="http://purl.org/dc/elements/1.1/"
    xmp:CreatorTool="{MAKER}">
   <dc:title><rdf:Alt><rdf:li xml:lang="x-default">{picture.title}</rdf:li></rdf:Alt></dc:title>
  </rdf:Description>
 </rdf:RDF>
</x:xmpmeta>
<?xpacket end="w"?>"""
    return segment(0xE1, b"http://ns.adobe.com/xap/1.0/\0" + packet.encode("utf-8"))


def icc_segment(profile):
    return segment(0xE2, b"ICC_PROFILE\0" + bytes([1, 1]) + profile)


def comment(fill):
    return segment(0xFE, f"Made by {MAKER}.".encode("ascii") + b" " * fill)


def split_segments(jpeg):
    """Marker segments before the scan, and the rest of the file from the SOS marker on."""
    assert jpeg[:2] == b"\xFF\xD8"
    position, segments = 2, []
    while jpeg[position + 1] != 0xDA:
        marker = jpeg[position + 1]
        length = struct.unpack(">H", jpeg[position + 2:position + 4])[0]
        segments.append((marker, jpeg[position:position + 2 + length]))
        position += 2 + length
    return segments, jpeg[position:]


def rewrite_head(encoded, picture, profile, fill=0):
    segments, scan = split_segments(encoded)
    tables = b"".join(raw for marker, raw in segments if not 0xE0 <= marker <= 0xEF and marker != 0xFE)
    head = jfif_header() + xmp_packet(picture) + icc_segment(profile) + comment(fill)
    return b"\xFF\xD8" + head + tables + scan


# --- Drawing and encoding ------------------------------------------------------

def draw(picture, folder):
    ppm = folder / (Path(picture.file_name).stem + ".ppm")
    subprocess.run(
        ["convert", "-seed", str(picture.seed),
         "-size", f"{picture.width}x{picture.height}", "gradient:#1b2130-#040508",
         *picture.drawing, "-attenuate", "0.6", "+noise", "Gaussian", "-depth", "8", f"ppm:{ppm}"],
        check=True)
    return ppm


def encode(ppm, picture, quality):
    return subprocess.run(
        ["cjpeg", "-quality", str(quality), "-baseline", "-sample", "1x1",
         "-restart", f"{picture.mcus_per_row}B", str(ppm)],
        check=True, capture_output=True).stdout


def make(picture, profile, folder):
    """The best quality whose file fits the fixed size, its comment filled up to it."""
    ppm = draw(picture, folder)
    for quality in range(100, 30, -1):
        jpeg = rewrite_head(encode(ppm, picture, quality), picture, profile)
        if len(jpeg) <= picture.size_bytes:
            jpeg = rewrite_head(encode(ppm, picture, quality), picture, profile, picture.size_bytes - len(jpeg))
            print(f"{picture.file_name}: quality {quality}")
            return jpeg
    sys.exit(f"{picture.file_name}: does not fit in {picture.size_bytes} bytes")


# --- Checks --------------------------------------------------------------------

def check(jpeg, picture):
    problems = []

    def expect(condition, what):
        if not condition:
            problems.append(what)

    expect(len(jpeg) == picture.size_bytes, f"size {len(jpeg)}, wanted {picture.size_bytes}")
    segments, scan = split_segments(jpeg)
    by_marker = {}
    for marker, raw in segments:
        by_marker.setdefault(marker, []).append(raw[4:])
    markers = [marker for marker, _ in segments]
    expect(markers[0] == 0xE0, "APP0 is not the first segment")
    app0 = by_marker.get(0xE0, [b""])[0]
    expect(app0[:5] == b"JFIF\0" and app0[5:7] == b"\x01\x02", "not JFIF 1.02")
    expect(app0[7:12] == b"\x01\x00\x48\x00\x48", "density is not 72 x 72 dpi")
    expect(any(p.startswith(b"http://ns.adobe.com/xap/1.0/\0") for p in by_marker.get(0xE1, [])), "no XMP")
    expect(any(p.startswith(b"ICC_PROFILE\0") for p in by_marker.get(0xE2, [])), "no ICC profile")
    expect(0xFE in by_marker, "no comment")
    expect(not any(0xC1 <= m <= 0xCF and m not in (0xC4, 0xC8, 0xCC) for m in markers), "not baseline")
    sof = by_marker.get(0xC0, [b""])[0]
    expect(sof[:6] == struct.pack(">BHHB", 8, picture.height, picture.width, 3), "frame header")
    expect(all(sof[6 + 3 * i + 1] == 0x11 for i in range(3)), "components are subsampled")
    dri = by_marker.get(0xDD, [b"\0\0"])[0]
    expect(struct.unpack(">H", dri[:2])[0] == picture.mcus_per_row, "restart interval")
    restarts = [scan[i + 1] for i in range(len(scan) - 1) if scan[i] == 0xFF and 0xD0 <= scan[i + 1] <= 0xD7]
    expect(restarts == [0xD0 + i % 8 for i in range(picture.mcu_rows - 1)], "restart markers")
    expect(scan.endswith(b"\xFF\xD9"), "no end marker")
    decoded = subprocess.run(["djpeg", "-pnm"], input=jpeg, check=True, capture_output=True).stdout
    expect(decoded.startswith(f"P6\n{picture.width} {picture.height}\n".encode()), "does not decode")
    return problems


def main():
    profile = srgb_icc_profile()
    failed = False
    with tempfile.TemporaryDirectory() as folder:
        for picture in (TITLE, OFFLINE):
            jpeg = make(picture, profile, Path(folder))
            problems = check(jpeg, picture)
            for problem in problems:
                print(f"{picture.file_name}: {problem}", file=sys.stderr)
            failed |= bool(problems)
            if not problems:
                (HERE / picture.file_name).write_bytes(jpeg)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
