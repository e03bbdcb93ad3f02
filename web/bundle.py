#!/usr/bin/env python3
"""Writes the page as one HTML file: the style, the chart library, the page
script, and the worker's two sources (a WebAssembly module's script, which
holds the WebAssembly itself, followed by worker.js: the scalar module and
the SIMD one) as strings the page turns into workers. One file works
offline, from any static server and from a file opened in the browser.

    bundle.py MODULE_JS SIMD_MODULE_JS NODE_MODULES OUT_HTML
"""
import json
import pathlib
import sys


def script_safe(text):
    # Inside <script>, "</" could end the element early; "<\/" is the same
    # text to JavaScript.
    return text.replace("</", "<\\/")


def main(module_js, simd_module_js, node_modules, out_html):
    here = pathlib.Path(__file__).resolve().parent
    uplot = pathlib.Path(node_modules) / "uplot" / "dist"

    def worker(module):
        text = pathlib.Path(module).read_text() + "\n" + (here / "worker.js").read_text()
        return json.dumps(text).replace("<", "\\u003c")

    parts = {
        "/*@chart-style@*/": (uplot / "uPlot.min.css").read_text(),
        "/*@page-style@*/": (here / "style.css").read_text(),
        "/*@chart-script@*/": script_safe((uplot / "uPlot.iife.min.js").read_text()),
        '/*@worker-source@*/""': worker(module_js),
        '/*@simd-worker-source@*/""': worker(simd_module_js),
        "/*@page-script@*/": script_safe((here / "page.js").read_text()),
    }
    html = (here / "index.html").read_text()
    for mark, text in parts.items():
        if html.count(mark) != 1:
            sys.exit(f"bundle.py: {mark} must appear once in index.html")
        html = html.replace(mark, text)
    pathlib.Path(out_html).write_text(html)


if __name__ == "__main__":
    if len(sys.argv) != 5:
        sys.exit(__doc__)
    main(*sys.argv[1:])
