#!/usr/bin/python3
"""Runs the corpus score script over the raster formats and judges it.

usage: run_corpus_score.py PICTURE2PNG [CORPUS_DIR]  ($OSTREL_CORPUS wins)
Exit 77 (skipped) without the corpus or Pillow; 1 when a file crashed or hung
or a good file did not load (apart from the known ones below).
"""
import os
import subprocess
import sys
from pathlib import Path

SKIP = 77

# Good files we refuse on purpose, with the reason.
KNOWN = {
    # 64250 x 64250 pixels: 16 GB decoded, far above the pixel limit.
    "jpeg/gdk-pixbuf/misc/issue205.jpg",
    # GIF test-suite cases whose only image has no pixels or no data.
    "gif/gif-test-suite-via-gdk-pixbuf/suite/image-zero-height.gif",
    "gif/gif-test-suite-via-gdk-pixbuf/suite/image-zero-size.gif",
    "gif/gif-test-suite-via-gdk-pixbuf/suite/image-zero-width.gif",
    "gif/gif-test-suite-via-gdk-pixbuf/suite/no-data.gif",
}


def main():
    if len(sys.argv) < 2:
        print(__doc__, file=sys.stderr)
        return 2
    tool = sys.argv[1]
    corpus = Path(os.environ.get("OSTREL_CORPUS") or (sys.argv[2] if len(sys.argv) > 2 else ""))
    score = corpus.parent / "tools" / "score_corpus.py"
    if not corpus.is_dir() or not (corpus / "INDEX.tsv").exists() or not score.exists():
        print(f"no corpus at {corpus}: skipped")
        return SKIP
    try:
        import numpy, PIL  # noqa: F401,E401
    except ImportError:
        print("python3-pil or python3-numpy missing: skipped")
        return SKIP
    run = subprocess.run([sys.executable, str(score), tool, "--formats", "bmp,gif,ico,jpeg"],
                         capture_output=True, text=True, timeout=380)
    print(run.stdout)
    print(run.stderr, file=sys.stderr)
    failures = []
    good_not_loaded = known_seen = 0
    for line in run.stdout.splitlines():
        words = line.split() or [""]
        # The outcome table: "  gif   good   error   4". The listing below it
        # is cut after 60 lines, the table is not.
        if len(words) == 4 and words[1] == "good" and words[2] != "loaded":
            good_not_loaded += int(words[3])
        if words[0] == "error" and "good" in words and words[-1] in KNOWN:
            known_seen += 1
        if words[0] in ("CRASH", "HANG"):
            failures.append(line.strip())
        elif words[0] == "error" and "good" in words and words[-1] not in KNOWN:
            failures.append(line.strip())
    if good_not_loaded > known_seen and not failures:
        failures.append(f"{good_not_loaded - known_seen} good files did not load")
    if run.returncode != 0 and not failures:
        failures.append(f"score script exited with {run.returncode}")
    for f in failures:
        print("FAILED: " + f)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
