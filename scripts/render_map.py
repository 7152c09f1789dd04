#!/usr/bin/env python3
"""Renders an SVG picture to PNG with headless Chromium, at the picture's own size.

Usage: render_map.py PICTURE.svg PICTURE.png

The browser runs with a profile of its own in a fresh temporary folder, with
everything that would reach the network turned off, and ends with the shot.
"""
import pathlib
import shutil
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ElementTree


def picture_size(svg):
    root = ElementTree.parse(svg).getroot()
    return int(float(root.get("width"))), int(float(root.get("height")))


def render(svg, png):
    width, height = picture_size(svg)
    browser = shutil.which("chromium")
    if browser is None:
        sys.exit("render_map.py: chromium not found")
    png.unlink(missing_ok=True)
    with tempfile.TemporaryDirectory(prefix="kazettor_render_") as profile:
        subprocess.run(
            [browser, "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
             "--disable-background-networking", "--disable-component-update", "--disable-sync",
             "--hide-scrollbars", f"--user-data-dir={profile}", f"--screenshot={png}",
             f"--window-size={width},{height}", svg.resolve().as_uri()],
            check=True, timeout=120, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    if not png.is_file() or png.stat().st_size == 0:
        sys.exit(f"render_map.py: no picture from {svg}")
    print(f"{png}: {width}x{height}")


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    render(pathlib.Path(sys.argv[1]), pathlib.Path(sys.argv[2]))
