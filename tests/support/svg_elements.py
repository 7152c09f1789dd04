#!/ usr / bin / env python3
"""Lists the elements of an SVG file that have a class, one a line, for the tests.

Usage: svg_elements.py PICTURE.svg

Each line holds, separated by tabs: the tag, the class, the x, y and width
attributes (empty where missing) and the text: that of the element's <title>
where it has one, else its own, with line breaks as \\n. A file that is not
well-formed XML, or whose root is not an SVG element, ends with status 1.
"""
import sys
import xml.etree.ElementTree as ElementTree

SVG = "{http://www.w3.org/2000/svg}"


def main(path):
    try:
        root = ElementTree.parse(path).getroot()
    except ElementTree.ParseError as error:
        sys.exit(f"not well-formed: {error}")
    if root.tag != SVG + "svg":
        sys.exit(f"root element is {root.tag}")
    sys.stdout.reconfigure(encoding="utf-8")
    for element in root.iter():
        what = element.get("class")
        if what is None:
            continue
        title = element.find(SVG + "title")
        text = (title.text if title is not None else element.text) or ""
        fields = [element.tag.removeprefix(SVG), what] + [element.get(name, "") for name in ("x", "y", "width")]
        print("\t".join(fields + [text.replace("\n", "\\n")]))


if __name__ == "__main__":
    main(sys.argv[1])
