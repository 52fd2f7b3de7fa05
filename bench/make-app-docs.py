#!/usr/bin/env python3
"""Writes the documents of the printer application benchmark into a folder:

  textN.pdf   N US Letter pages of made-up words in Helvetica (not embedded)
  photoM.pdf  M US Letter pages, each one 300 dpi JPEG image over the whole
              page (a colour field with shaded highlights and fine texture,
              drawn by Ghostscript from a PostScript program, seeded per page)

Both are the same bytes on every run.
Usage: make-app-docs.py OUTDIR [TEXT_PAGES [PHOTO_PAGES]]   (default 20 10)
"""
import os
import random
import subprocess
import sys
import tempfile

WIDTH, HEIGHT = 612, 792  # US Letter in points

# Page n of the photographic document: an axial shading, a dozen radial
# highlights, then 6000 small discs whose colour drifts across the page.
SCENE = r"""%!PS
/W 612 def /H 792 def
/frac { dup 1 gt { 1 sub } if } def
/r { rand 1000 mod 1000 div } def
/page {
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
1 1 PAGES { page } for
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


def text_document(path, pages=20):
    words = random.Random(11)
    syllables = ["ka", "lo", "mi", "ren", "to", "sa", "vi", "dor", "ne", "pu", "ta", "el", "qua", "ris"]
    font = lambda pdf: b"<< /Font << /F1 << /Type /Font /Subtype /Type1 /BaseFont /Helvetica >> >> >>"
    bodies = []
    for n in range(1, pages + 1):
        lines = [b"BT /F1 18 Tf 72 720 Td (Benchmark text page %d of %d) Tj ET" % (n, pages)]
        y = 690
        while y > 60:
            line = " ".join("".join(words.choice(syllables) for _ in range(words.randint(1, 4)))
                            for _ in range(words.randint(9, 13)))
            lines.append(b"BT /F1 10 Tf 72 %d Td (%s) Tj ET" % (y, line.encode()))
            y -= 13
        lines.append(b"0.5 w 72 50 m 540 50 l S")
        bodies.append((b"\n".join(lines), font))
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


def photo_document(path, pages=10):
    with tempfile.TemporaryDirectory() as work:
        scene = os.path.join(work, "scene.ps")
        with open(scene, "w") as f:
            f.write(SCENE.replace("PAGES", str(pages)))
        subprocess.run(["gs", "-q", "-dSAFER", "-dBATCH", "-dNOPAUSE", "-sDEVICE=jpeg", "-r300",
                        "-dJPEGQ=85", "-dDEVICEWIDTHPOINTS=%d" % WIDTH,
                        "-dDEVICEHEIGHTPOINTS=%d" % HEIGHT, "-dFIXEDMEDIA",
                        "-sOutputFile=" + os.path.join(work, "p%02d.jpg"), scene], check=True)
        bodies = []
        for n in range(1, pages + 1):
            with open(os.path.join(work, "p%02d.jpg" % n), "rb") as f:
                jpeg = f.read()
            w, h = jpeg_size(jpeg)

            def resources(pdf, jpeg=jpeg, w=w, h=h):
                image = pdf.add(stream(b"/Type /XObject /Subtype /Image /Width %d /Height %d "
                                       b"/ColorSpace /DeviceRGB /BitsPerComponent 8 "
                                       b"/Filter /DCTDecode" % (w, h), jpeg))
                return b"<< /XObject << /Im1 %d 0 R >> >>" % image

            bodies.append((b"q %d 0 0 %d 0 0 cm /Im1 Do Q" % (WIDTH, HEIGHT), resources))
        write_document(path, bodies)


def main():
    if not 2 <= len(sys.argv) <= 4:
        sys.exit("usage: make-app-docs.py OUTDIR [TEXT_PAGES [PHOTO_PAGES]]")
    out = sys.argv[1]
    text_pages = int(sys.argv[2]) if len(sys.argv) > 2 else 20
    photo_pages = int(sys.argv[3]) if len(sys.argv) > 3 else 10
    os.makedirs(out, exist_ok=True)
    text_document(os.path.join(out, "text%d.pdf" % text_pages), text_pages)
    photo_document(os.path.join(out, "photo%d.pdf" % photo_pages), photo_pages)


if __name__ == "__main__":
    main()
