#!/usr/bin/python3
"""Checks a batch's DIR/index.html:

    check_index.py DIR

- the file is valid UTF-8 and parses as HTML with no parse error at all
  (html5lib in strict mode);
- it loads nothing from elsewhere: no <link>, no <script src>, no url() or
  @import in its style;
- every href and src other than a '#' fragment is a relative path that,
  percent-decoded, names an existing file below DIR (no scheme, no absolute
  path, nothing above DIR, no link leading out of it);
- every picture loads lazily and has its width and height;
- when DIR/report.json is there, the page has one card per model it lists.

Exit status 0 when all hold, 1 otherwise (each fault printed).
"""
import json
import os
import re
import sys
import urllib.parse

import html5lib

SCHEME = re.compile(r"^[A-Za-z][A-Za-z0-9+.-]*:")


def link_faults(root, value):
    if value.startswith("#"):
        return []
    if SCHEME.match(value) or value.startswith("/") or value.startswith("\\"):
        return ["not a relative path: %r" % value]
    if "?" in value or "#" in value:
        return ["holds a query or fragment: %r" % value]
    path = urllib.parse.unquote_to_bytes(value)
    target = os.path.realpath(os.path.join(root, path))
    if os.path.commonpath([root, target]) != root:
        return ["leads out of DIR: %r" % value]
    if not os.path.isfile(target):
        return ["no such file: %r" % value]
    return []


def main():
    if len(sys.argv) != 2:
        print("usage: check_index.py DIR", file=sys.stderr)
        return 1
    root = os.path.realpath(os.fsencode(sys.argv[1]))
    with open(os.path.join(root, b"index.html"), "rb") as page_file:
        data = page_file.read()
    try:
        data.decode("utf-8", errors="strict")
    except UnicodeDecodeError as error:
        print("index.html: not UTF-8: %s" % error)
        return 1
    parser = html5lib.HTMLParser(strict=True, namespaceHTMLElements=False)
    try:
        document = parser.parse(data, transport_encoding="utf-8")
    except html5lib.html5parser.ParseError as error:
        print("index.html: parse error: %s" % error)
        return 1

    faults = []
    links = 0
    cards = 0
    for element in document.iter():
        tag = element.tag
        if tag == "link":
            faults.append("a <link> element")
        if tag == "script" and "src" in element.attrib:
            faults.append("a script from a file")
        if tag == "style" and re.search(r"url\(|@import", element.text or ""):
            faults.append("a style that loads something")
        if tag == "img":
            for name, wanted in (("loading", "lazy"), ("width", None), ("height", None)):
                if name not in element.attrib or wanted not in (None, element.attrib[name]):
                    faults.append("a picture without %s: %r" % (name, element.attrib))
        if tag == "div" and "c" in element.attrib.get("class", "").split():
            cards += 1
        for name in ("href", "src"):
            if name in element.attrib:
                links += 1
                faults += link_faults(root, element.attrib[name])

    report_path = os.path.join(root, b"report.json")
    if os.path.exists(report_path):
        with open(report_path, "rb") as report_file:
            models = len(json.load(report_file)["models"])
        if models != cards:
            faults.append("%d cards for %d models" % (cards, models))

    for fault in faults:
        print("index.html: " + fault)
    print("index.html: %d cards, %d links checked, %d faults" % (cards, links, len(faults)))
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
