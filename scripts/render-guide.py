#!/usr/bin/env python3
"""Renders the players' guide (README.md) into one self-contained page for the release zip.

Usage: render-guide.py <README.md> <README.html>

The Markdown is GitHub's own dialect, rendered by Debian's cmark-gfm with its table and autolink
extensions. Around it:
- every heading gets the id GitHub gives it, so the guide's links to its own sections work;
- each picture of the guide is embedded as a data: address, so the page is one file;
- a link to a file of the source tree that the zip does not carry keeps its text and loses its
  address;
- the styles are inline; the page has no scripts, no web fonts and no address outside itself.
The page depends on nothing but the Markdown's bytes and the pictures' bytes, so two releases of
the same commit carry the same page.

Fails when a link to a section names no heading, or a picture is missing.
"""
import base64
import html
import re
import subprocess
import sys
from pathlib import Path

STYLE = """
body { margin: 0; background: #f4f4f1; color: #1d1d1b;
       font: 16px/1.5 "Segoe UI", Tahoma, "DejaVu Sans", Arial, sans-serif; }
main { max-width: 52em; margin: 0 auto; padding: 1.5em 2em 3em; background: #fff; }
h1 { font-size: 2em; margin: 0.3em 0 0.4em; }
h2 { font-size: 1.45em; margin: 1.8em 0 0.5em; padding-bottom: 0.2em; border-bottom: 1px solid #ddd; }
h3 { font-size: 1.15em; margin: 1.4em 0 0.4em; }
h4 { font-size: 1em; margin: 1.2em 0 0.3em; }
a { color: #0b5cad; }
img { max-width: 100%; height: auto; border: 1px solid #ccc; }
code, pre { font-family: Consolas, "DejaVu Sans Mono", monospace; font-size: 0.9em; }
code { background: #f0f0ec; padding: 0.05em 0.3em; border-radius: 3px; }
pre { background: #f0f0ec; padding: 0.7em 1em; overflow-x: auto; border-radius: 4px; }
pre code { background: none; padding: 0; }
table { border-collapse: collapse; margin: 0.8em 0; font-size: 0.95em; }
th, td { border: 1px solid #ccc; padding: 0.3em 0.6em; vertical-align: top; text-align: left; }
th { background: #f0f0ec; }
blockquote { margin: 0.8em 0; padding: 0.1em 1em; border-left: 4px solid #c9b458; background: #fbf8ea; }
"""


def slug(text, taken):
    """GitHub's anchor for a heading: lower case, punctuation dropped, blanks turned into '-'."""
    base = re.sub(r"[^\w\- ]", "", text.strip().lower()).replace(" ", "-")
    name, n = base, 0
    while name in taken:
        n += 1
        name = f"{base}-{n}"
    taken.add(name)
    return name


def plain(fragment):
    return html.unescape(re.sub(r"<[^>]+>", "", fragment))


def main():
    source, target = Path(sys.argv[1]), Path(sys.argv[2])
    body = subprocess.run(["cmark-gfm", "--to", "html", "-e", "table", "-e", "autolink", str(source)],
                          check=True, capture_output=True, text=True).stdout

    taken = set()

    def heading(m):
        return f'<h{m[1]} id="{slug(plain(m[2]), taken)}">{m[2]}</h{m[1]}>'
    body = re.sub(r"<h([1-6])>(.*?)</h\1>", heading, body)

    def picture(m):
        path = source.parent / html.unescape(m[1])
        kind = {".png": "image/png", ".jpg": "image/jpeg", ".gif": "image/gif"}[path.suffix.lower()]
        data = base64.b64encode(path.read_bytes()).decode("ascii")
        return f'<img src="data:{kind};base64,{data}"'
    body = re.sub(r'<img src="(?!data:)([^"]*)"', picture, body)

    broken = []

    def link(m):
        address, text = html.unescape(m[1]), m[2]
        if address.startswith("#"):
            if address[1:] not in taken:
                broken.append(address)
            return m[0]
        if re.match(r"(https?|mailto):", address):
            return m[0]
        return text  # a file of the source tree: not in the zip
    body = re.sub(r'<a href="([^"]*)">(.*?)</a>', link, body, flags=re.S)
    if broken:
        sys.exit(f"render-guide: links to no heading: {' '.join(broken)}")

    title = plain(re.search(r"<h1[^>]*>(.*?)</h1>", body)[1]) if "<h1" in body else "Kesterly"
    page = ("<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
            "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
            f"<title>{html.escape(title)}</title>\n<style>{STYLE}</style>\n</head>\n"
            f"<body>\n<main>\n{body}</main>\n</body>\n</html>\n")
    target.write_text(page, encoding="utf-8", newline="\n")


if __name__ == "__main__":
    main()
