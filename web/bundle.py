#!/usr/bin/env python3
"""Writes the page as one HTML file: the style, the chart library, the page
script, and the worker's source (the WebAssembly module's script, which
holds the WebAssembly itself, followed by worker.js) as a string the page
turns into a worker. One file works offline, from any static server and
from a file opened in the browser.

    bundle.py MODULE_JS NODE_MODULES OUT_HTML
"""
import json
import pathlib
import sys


def script_safe(text):
    # Inside <script>, "</" could end the element early; "<\/" is the same
    # text to JavaScript.
    return text.replace("</", "<\\/")


def main(module_js, node_modules, out_html):
    here = pathlib.Path(__file__).resolve().parent
    uplot = pathlib.Path(node_modules) / "uplot" / "dist"
    worker = pathlib.Path(module_js).read_text() + "\n" + (here / "worker.js").read_text()
    parts = {
        "/*@chart-style@*/": (uplot / "uPlot.min.css").read_text(),
        "/*@page-style@*/": (here / "style.css").read_text(),
        "/*@chart-script@*/": script_safe((uplot / "uPlot.iife.min.js").read_text()),
        '/*@worker-source@*/""': json.dumps(worker).replace("<", "\\u003c"),
        "/*@page-script@*/": script_safe((here / "page.js").read_text()),
    }
    html = (here / "index.html").read_text()
    for mark, text in parts.items():
        if html.count(mark) != 1:
            sys.exit(f"bundle.py: {mark} must appear once in index.html")
        html = html.replace(mark, text)
    pathlib.Path(out_html).write_text(html)


if __name__ == "__main__":
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    main(*sys.argv[1:])
