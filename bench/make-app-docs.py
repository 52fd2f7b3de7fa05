#!/usr/bin/env python3
"""Writes the documents of the printer application benchmark into a folder:

  textN.pdf    N US Letter pages of made-up words in Helvetica (not embedded)
  photoM.pdf   M US Letter pages, each a radial smooth shading across the
               whole page with a 150 dpi JPEG photograph (540 x 356 pt) and
               a caption on it
  officeK.pdf  K US Letter pages, each a heading, paragraphs of text, a bar
               chart in flat colours with its axes, labels and legend, and a
               200 dpi JPEG photograph (216 x 144 pt)

The photographs are drawn by Ghostscript from a PostScript program (a colour
field with shaded highlights and fine texture, seeded per picture). Every
document is the same bytes on every run.
Usage: make-app-docs.py OUTDIR [TEXT_PAGES [PHOTO_PAGES [OFFICE_PAGES]]]
       (default 20 10 10)
"""
import os
import random
import subprocess
import sys
import tempfile

WIDTH, HEIGHT = 612, 792  # US Letter in points

# Picture n: an axial shading, a dozen radial highlights, then 6000 small
# discs whose colour drifts across the picture (W x H points).
SCENE = r"""%!PS
/W WIDTH def /H HEIGHT def
/frac { dup 1 gt { 1 sub } if } def
/r { rand 1000 mod 1000 div } def
/picture {
  /n exch def
  n 7919 mul srand
  /hue [r r r] def
  << /ShadingType 2 /ColorSpace /DeviceRGB /Coords [0 0 W H] /Extend [true true]
     /Function << /FunctionType 2 /Domain [0 1] /C0 [r r r] /C1 [r r r] /N 1 >> >> shfill
  12 { << /ShadingType 3 /ColorSpace /DeviceRGB
          /Coords [r W mul r H mul 0 r W mul r H mul r 250 mul 40 add] /Extend [false false]
          /Function << /FunctionType 2 /Domain [0 1] /C0 [r r r] /C1 [r r r] /N 1 >> >> shfill } repeat
  6000 { /x r def /y r def
         hue 0 get x 0.5 mul add r 0.25 mul add frac
         hue 1 get y 0.5 mul add r 0.25 mul add frac
         hue 2 get x y add 0.3 mul add r 0.25 mul add frac setrgbcolor
         newpath x W mul y H mul r 6 mul 0.5 add 0 360 arc fill } repeat
  showpage
} def
1 1 PICTURES { picture } for
"""

class pdfWriter:
    """A PDF file built object by object, with its cross-reference table."""

    def __init__(self):
        self.objects = []

    def reserve(self):
        self.objects.append(None)
        return len(self.objects)

    def set(self, number, body):
        self.objects[number - 1] = body

    def add(self, body):
        number = self.reserve()
        self.set(number, body)
        return number

    def save(self, path, root):
        out = bytearray(b"%PDF-1.4\n%\xe2\xe3\xcf\xd3\n")
        offsets = []
        for number, body in enumerate(self.objects, 1):
            offsets.append(len(out))
            out += b"%d 0 obj\n" % number + body + b"\nendobj\n"
        xref = len(out)
        out += b"xref\n0 %d\n0000000000 65535 f \n" % (len(self.objects) + 1)
        for offset in offsets:
            out += b"%010d 00000 n \n" % offset
        out += b"trailer\n<< /Size %d /Root %d 0 R >>\nstartxref\n%d\n%%%%EOF\n" % (
            len(self.objects) + 1, root, xref)
        with open(path, "wb") as f:
            f.write(out)


def stream(dictionary, data):
    return b"<< %s /Length %d >>\nstream\n" % (dictionary, len(data)) + data + b"\nendstream"


def write_document(path, page_bodies):
    """page_bodies: (content stream, resources dictionary) per page."""
    pdf = pdfWriter()
    catalog = pdf.reserve()
    pages = pdf.reserve()
    kids = []
    for content, resources in page_bodies:
        contents = pdf.add(stream(b"", content))
        kids.append(pdf.add(b"<< /Type /Page /Parent %d 0 R /MediaBox [0 0 %d %d] "
                            b"/Resources %s /Contents %d 0 R >>"
                            % (pages, WIDTH, HEIGHT, resources(pdf), contents)))
    pdf.set(catalog, b"<< /Type /Catalog /Pages %d 0 R >>" % pages)
    pdf.set(pages, b"<< /Type /Pages /Kids [%s] /Count %d >>"
            % (b" ".join(b"%d 0 R" % k for k in kids), len(kids)))
    pdf.save(path, catalog)


def words(rng, count):
    """count made-up words."""
    syllables = ["ka", "lo", "mi", "ren", "to", "sa", "vi", "dor", "ne", "pu", "ta", "el", "qua", "ris"]
    return " ".join("".join(rng.choice(syllables) for _ in range(rng.randint(1, 4))) for _ in range(count))


HELVETICA = b"/F1 << /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>"


def text_document(path, pages=20):
    rng = random.Random(11)
    bodies = []
    for n in range(1, pages + 1):
        lines = [b"BT /F1 18 Tf 72 720 Td (Benchmark text page %d of %d) Tj ET" % (n, pages)]
        y = 690
        while y > 60:
            lines.append(b"BT /F1 10 Tf 72 %d Td (%s) Tj ET" % (y, words(rng, rng.randint(9, 13)).encode()))
            y -= 13
        lines.append(b"0.5 w 72 50 m 540 50 l S")
        bodies.append((b"\n".join(lines), lambda pdf: b"<< /Font << %s >> >>" % HELVETICA))
    write_document(path, bodies)


def jpeg_size(data):
    """Width and height from a JPEG's start-of-frame segment."""
    i = 2
    while i < len(data):
        marker, length = data[i + 1], int.from_bytes(data[i + 2:i + 4], "big")
        if marker in (0xC0, 0xC1, 0xC2):
            return int.from_bytes(data[i + 7:i + 9], "big"), int.from_bytes(data[i + 5:i + 7], "big")
        i += 2 + length
    raise ValueError("no frame header in the JPEG image")


def photographs(count, width, height, dpi):
    """count JPEG pictures of width x height points at dpi, as bytes."""
    with tempfile.TemporaryDirectory() as work:
        scene = os.path.join(work, "scene.ps")
        with open(scene, "w") as f:
            f.write(SCENE.replace("PICTURES", str(count)).replace("WIDTH", str(width))
                    .replace("HEIGHT", str(height)))
        subprocess.run(["gs", "-q", "-dSAFER", "-dBATCH", "-dNOPAUSE", "-sDEVICE=jpeg", "-r%d" % dpi,
                        "-dJPEGQ=85", "-dDEVICEWIDTHPOINTS=%d" % width,
                        "-dDEVICEHEIGHTPOINTS=%d" % height, "-dFIXEDMEDIA",
                        "-sOutputFile=" + os.path.join(work, "p%02d.jpg"), scene], check=True)
        pictures = []
        for n in range(1, count + 1):
            with open(os.path.join(work, "p%02d.jpg" % n), "rb") as f:
                pictures.append(f.read())
        return pictures


def image_xobject(pdf, jpeg):
    w, h = jpeg_size(jpeg)
    return pdf.add(stream(b"/Type /XObject /Subtype /Image /Width %d /Height %d "
                          b"/ColorSpace /DeviceRGB /BitsPerComponent 8 /Filter /DCTDecode" % (w, h), jpeg))


def photo_document(path, pages=10):
    colours = random.Random(23)
    bodies = []
    for n, jpeg in enumerate(photographs(pages, 540, 356, 150), 1):
        c0 = b" ".join(b"%.3f" % colours.random() for _ in range(3))
        c1 = b" ".join(b"%.3f" % colours.random() for _ in range(3))
        content = b"\n".join([
            b"/Sh1 sh",
            b"q 540 0 0 356 36 380 cm /Im1 Do Q",
            b"BT /F1 14 Tf 36 350 Td (Photograph %d of %d) Tj ET" % (n, pages),
        ])

        def resources(pdf, jpeg=jpeg, c0=c0, c1=c1):
            shading = pdf.add(b"<< /ShadingType 3 /ColorSpace /DeviceRGB /Coords [306 396 0 306 396 500] "
                              b"/Extend [true true] /Function << /FunctionType 2 /Domain [0 1] "
                              b"/C0 [%s] /C1 [%s] /N 1 >> >>" % (c0, c1))
            return (b"<< /Font << %s >> /Shading << /Sh1 %d 0 R >> /XObject << /Im1 %d 0 R >> >>"
                    % (HELVETICA, shading, image_xobject(pdf, jpeg)))

        bodies.append((content, resources))
    write_document(path, bodies)


def office_document(path, pages=10):
    rng = random.Random(31)
    palette = [b"0.20 0.40 0.70", b"0.85 0.45 0.15", b"0.35 0.65 0.30", b"0.60 0.30 0.60"]
    bodies = []
    for n, jpeg in enumerate(photographs(pages, 216, 144, 200), 1):
        ops = [b"BT /F1 20 Tf 72 720 Td (Quarterly review, part %d of %d) Tj ET" % (n, pages)]
        y = 694
        for _ in range(16):  # paragraphs beside and above the photograph
            width = 10 if y > 604 else 5
            ops.append(b"BT /F1 10 Tf 72 %d Td (%s) Tj ET" % (y, words(rng, width).encode()))
            y -= 13
        ops.append(b"q 216 0 0 144 324 452 cm /Im1 Do Q")
        # The chart: axes, grid, four series of six bars, labels and a legend.
        left, bottom, height = 90, 130, 250
        ops.append(b"0 g 0.8 w %d %d m %d %d l %d %d l S" % (left, bottom + height, left, bottom, 540, bottom))
        ops.append(b"0.85 G 0.4 w")
        for step in range(1, 6):
            level = bottom + step * height // 5
            ops.append(b"%d %d m 540 %d l S" % (left, level, level))
            ops.append(b"BT /F1 8 Tf %d %d Td (%d) Tj ET" % (left - 22, level - 3, step * 20))
        for group in range(6):
            x0 = left + 12 + group * 74
            for series, colour in enumerate(palette):
                bar = rng.randint(30, height - 10)
                ops.append(b"%s rg %d %d 14 %d re f" % (colour, x0 + series * 15, bottom, bar))
            ops.append(b"0 g BT /F1 8 Tf %d %d Td (Q%d %d) Tj ET" % (x0 + 10, bottom - 12, group % 4 + 1, 2020 + group // 4))
        for series, colour in enumerate(palette):
            ops.append(b"%s rg %d 96 8 8 re f 0 g BT /F1 8 Tf %d 97 Td (Series %d) Tj ET"
                       % (colour, 120 + series * 100, 132 + series * 100, series + 1))
        ops.append(b"0 g BT /F1 9 Tf 72 60 Td (%s) Tj ET" % words(rng, 12).encode())

        def resources(pdf, jpeg=jpeg):
            return b"<< /Font << %s >> /XObject << /Im1 %d 0 R >> >>" % (HELVETICA, image_xobject(pdf, jpeg))

        bodies.append((b"\n".join(ops), resources))
    write_document(path, bodies)


def main():
    if not 2 <= len(sys.argv) <= 5:
        sys.exit("usage: make-app-docs.py OUTDIR [TEXT_PAGES [PHOTO_PAGES [OFFICE_PAGES]]]")
    out = sys.argv[1]
    counts = [int(a) for a in sys.argv[2:]] + [20, 10, 10][len(sys.argv) - 2:]
    os.makedirs(out, exist_ok=True)
    text_document(os.path.join(out, "text%d.pdf" % counts[0]), counts[0])
    photo_document(os.path.join(out, "photo%d.pdf" % counts[1]), counts[1])
    office_document(os.path.join(out, "office%d.pdf" % counts[2]), counts[2])


if __name__ == "__main__":
    main()
