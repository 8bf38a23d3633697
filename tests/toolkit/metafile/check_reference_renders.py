#!/usr/bin/python3
"""Holds the renders of two corpus metafiles to reference renders of them.

usage: check_reference_renders.py PICTURE2PNG [CORPUS_DIR]  ($OSTREL_CORPUS wins)
Exit 77 (skipped) without the corpus, its compare_renders.py, Pillow or numpy;
1 when a render strays from its reference.

- Pillow's drawing.wmf draws a circle past the frame its placeable header and
  window both declare (0..1369): the picture is that frame, so the circle is
  cut there, as LibreOffice's reference render cuts it.
- wmf2svg's fulltest EMF draws fifteen panels in four rows; the tool's SVG
  render places every panel where the file puts it (its PNG lacks a row).
"""
import os
import re
import subprocess
import sys
import tempfile
from pathlib import Path

SKIP = 77


def render(tool, src, out):
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
    run = subprocess.run([tool, str(src), str(out)], env=env, capture_output=True, text=True, timeout=60)
    if run.returncode != 0:
        raise RuntimeError(f"{src.name}: picture2png failed: {run.stderr.strip()}")


def svg_panels(svg_text):
    """The panel frames of the wmf2svg SVG: (x, y, width, height) in its viewBox."""
    box = re.search(r'viewBox="0 0 (\d+) (\d+)"', svg_text)
    panels = []
    for attrs in re.findall(r'<rect class="pen1 brush0"([^>]*)/>', svg_text):
        v = dict(re.findall(r'(\w+)="([\d.]+)"', attrs))
        panels.append(tuple(float(v[k]) for k in ("x", "y", "width", "height")))
    return (float(box.group(1)), float(box.group(2))), panels


def dark_near(pixels, size, x, y, reach=3):
    near = [(int(round(x)) + dx, int(round(y)) + dy) for dy in range(-reach, reach + 1)
            for dx in range(-reach, reach + 1)]
    return any(0 <= px < size[0] and 0 <= py < size[1] and sum(pixels[px, py][:3]) < 3 * 128
               for px, py in near)


def check_panels(image_path, svg_path):
    """Every panel's top and left edges lie on dark pixels of the render."""
    from PIL import Image
    img = Image.open(image_path).convert("RGB")
    (vw, vh), panels = svg_panels(svg_path.read_text(encoding="utf-8"))
    sx, sy = img.width / vw, img.height / vh
    pixels = img.load()
    failures = []
    for x, y, w, h in panels:
        edges = [(x + w * t / 10, y) for t in range(1, 10)] + [(x, y + h * t / 10) for t in range(1, 10)]
        hits = sum(dark_near(pixels, img.size, ex * sx, ey * sy) for ex, ey in edges)
        if hits < 0.8 * len(edges):
            failures.append(f"panel at {x:g},{y:g} ({w:g} x {h:g}): {hits} of {len(edges)} edge points drawn")
    return len(panels), failures


def main():
    if len(sys.argv) < 2:
        print(__doc__, file=sys.stderr)
        return 2
    tool = sys.argv[1]
    corpus = Path(os.environ.get("OSTREL_CORPUS") or (sys.argv[2] if len(sys.argv) > 2 else ""))
    tools = corpus.parent / "tools"
    if not (corpus / "INDEX.tsv").exists() or not (tools / "compare_renders.py").exists():
        print(f"no corpus at {corpus}: skipped")
        return SKIP
    try:
        import numpy, PIL  # noqa: F401,E401
    except ImportError:
        print("python3-pil or python3-numpy missing: skipped")
        return SKIP
    sys.path.insert(0, str(tools))
    from compare_renders import score

    failures = []
    with tempfile.TemporaryDirectory() as tmp:
        out = Path(tmp)
        drawing = out / "drawing.png"
        render(tool, corpus / "wmf/pillow/misc/drawing.wmf", drawing)
        s = score(str(corpus / "wmf/pillow/libreoffice-ref/drawing.png"), str(drawing))
        print(f"drawing.wmf against LibreOffice's render: {s:.4f}")
        if s < 0.95:
            failures.append(f"drawing.wmf scores {s:.4f} against LibreOffice's render, below 0.95")

        fulltest = out / "fulltest.png"
        render(tool, corpus / "emf/wmf2svg/test-data/fulltest-wmf2svg.emf", fulltest)
        count, missing = check_panels(fulltest, corpus / "emf/wmf2svg/ref/fulltest-wmf2svg.svg")
        print(f"fulltest-wmf2svg.emf: {count - len(missing)} of {count} panels where the SVG has them")
        if count < 15:
            failures.append(f"the SVG reference lists {count} panels, expected 15")
        failures += [f"fulltest-wmf2svg.emf: {m}" for m in missing]
    for f in failures:
        print("FAIL " + f)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
