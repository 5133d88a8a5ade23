#!/usr/bin/python3
"""Prints what an OpenDocument text holds, in document order, one item a line
(for a BMP or DIB file, its one picture line):

    text <the paragraph's text>       bold spans as <b>...</b>, italic as <i>...</i>
    picture <width>x<height> <rows>    rows of '#' (dark) and '.' (light), joined by '/'

The rich text tests have LibreOffice turn their RTF documents into this form
and compare what a real reader made of them.
"""
import io
import sys
import xml.etree.ElementTree as ElementTree
import zipfile

from PIL import BmpImagePlugin

NS = {
    "text": "urn:oasis:names:tc:opendocument:xmlns:text:1.0",
    "style": "urn:oasis:names:tc:opendocument:xmlns:style:1.0",
    "fo": "urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0",
    "draw": "urn:oasis:names:tc:opendocument:xmlns:drawing:1.0",
    "xlink": "http://www.w3.org/1999/xlink",
}


def tag(prefix, name):
    return "{%s}%s" % (NS[prefix], name)


def span_styles(root):
    """Bold and italic automatic text styles by name."""
    marks = {}
    for style in root.iter(tag("style", "style")):
        props = style.find("style:text-properties", NS)
        if props is None:
            continue
        name = style.get(tag("style", "name"))
        bold = props.get(tag("fo", "font-weight")) == "bold"
        italic = props.get(tag("fo", "font-style")) == "italic"
        marks[name] = (bold, italic)
    return marks


def open_picture(data):
    # LibreOffice keeps an RTF \dibitmap as the DIB behind a file header
    # whose pixel offset it leaves at 14; read the DIB itself, as LibreOffice
    # does. A file without "BM" in front is a DIB as unrtf writes it.
    if data[:2] == b"BM":
        data = data[14:]
    return BmpImagePlugin.DibImageFile(io.BytesIO(data))


def picture_line(data):
    image = open_picture(data).convert("L")
    width, height = image.size
    rows = []
    for y in range(height):
        rows.append("".join("#" if image.getpixel((x, y)) < 128 else "." for x in range(width)))
    return "picture %dx%d %s" % (width, height, "/".join(rows))


def paragraph(element, marks, archive, pictures):
    """The paragraph's text; its pictures are added to `pictures`."""
    parts = []
    if element.text:
        parts.append(element.text)
    for child in element:
        if child.tag == tag("text", "s"):
            parts.append(" " * int(child.get(tag("text", "c"), "1")))
        elif child.tag == tag("text", "tab"):
            parts.append("\t")
        elif child.tag == tag("text", "line-break"):
            parts.append("\n")
        elif child.tag == tag("draw", "frame"):
            for image in child.iter(tag("draw", "image")):
                pictures.append(picture_line(archive.read(image.get(tag("xlink", "href")))))
        else:
            inner = paragraph(child, marks, archive, pictures)
            bold, italic = marks.get(child.get(tag("text", "style-name")), (False, False))
            if inner and italic:
                inner = "<i>" + inner + "</i>"
            if inner and bold:
                inner = "<b>" + inner + "</b>"
            parts.append(inner)
        if child.tail:
            parts.append(child.tail)
    return "".join(parts)


def main(path):
    if not path.endswith(".odt"):
        print(picture_line(open(path, "rb").read()))
        return
    with zipfile.ZipFile(path) as archive:
        root = ElementTree.fromstring(archive.read("content.xml"))
        marks = span_styles(root)
        body = root.find(".//office:text", {"office": "urn:oasis:names:tc:opendocument:xmlns:office:1.0"})
        for element in body.iter():
            if element.tag in (tag("text", "p"), tag("text", "h")):
                pictures = []
                text = paragraph(element, marks, archive, pictures)
                print("text " + text.replace("\n", "\\n"))
                for line in pictures:
                    print(line)


if __name__ == "__main__":
    main(sys.argv[1])
