#!/usr/bin/env python3
"""Packs the manual's HTML page and every file it references (pictures, style sheets) into one
MHTML file (multipart/related): the HTML root first, then each resource in base64 with its
Content-Location as the page writes it and a Content-ID.

usage: pack-manual.py PAGE.html OUTPUT.mht [--depfile OUTPUT.d]

Fails, writing nothing, when a referenced file is missing."""

import argparse
import hashlib
import html.parser
import mimetypes
import os
import sys
import urllib.parse
from email.message import EmailMessage
from email.policy import SMTP


class References(html.parser.HTMLParser):
    """Collects the local files a page loads: <img src> and <link rel=stylesheet href>."""

    def __init__(self):
        super().__init__()
        self.refs = []

    def handle_starttag(self, tag, attrs):
        a = dict(attrs)
        ref = None
        if tag == "img":
            ref = a.get("src")
        elif tag == "link" and "stylesheet" in (a.get("rel") or "").lower().split():
            ref = a.get("href")
        if ref and ref not in self.refs:
            self.refs.append(ref)


def is_local(ref):
    parts = urllib.parse.urlsplit(ref)
    return not parts.scheme and not parts.netloc and parts.path != ""


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("page")
    ap.add_argument("output")
    ap.add_argument("--depfile")
    args = ap.parse_args()

    with open(args.page, encoding="utf-8") as f:
        page = f.read()
    parser = References()
    parser.feed(page)
    folder = os.path.dirname(os.path.abspath(args.page))

    files = []
    missing = []
    for ref in parser.refs:
        if not is_local(ref):
            print(f"{args.page}: not packed, not a local file: {ref}", file=sys.stderr)
            continue
        path = os.path.normpath(os.path.join(folder, urllib.parse.unquote(urllib.parse.urlsplit(ref).path)))
        if not os.path.isfile(path):
            missing.append((ref, path))
        else:
            files.append((ref, path))
    if missing:
        for ref, path in missing:
            print(f"{args.page}: referenced file is missing: {ref} ({path})", file=sys.stderr)
        return 1

    root = EmailMessage(policy=SMTP)
    root["MIME-Version"] = "1.0"
    root["Subject"] = "Klimavox KVU"
    root.set_content(page, subtype="html", charset="utf-8", cte="base64")
    root["Content-Location"] = os.path.basename(args.page)
    root.make_related()
    root.set_param("type", "text/html")
    for index, (ref, path) in enumerate(files, start=1):
        mime, _ = mimetypes.guess_type(path)
        if not mime:
            print(f"{args.page}: unknown file type: {ref}", file=sys.stderr)
            return 1
        maintype, subtype = mime.split("/", 1)
        with open(path, "rb") as f:
            data = f.read()
        part = EmailMessage(policy=SMTP)
        part.set_content(data, maintype=maintype, subtype=subtype, cte="base64")
        part["Content-Location"] = ref
        part["Content-ID"] = f"<part{index}.{os.path.basename(path)}@klimavox-kvu>"
        root.attach(part)

    # A boundary drawn from the content keeps the file the same from build to build.
    digest = hashlib.sha1(page.encode("utf-8"))
    for _, path in files:
        with open(path, "rb") as f:
            digest.update(f.read())
    root.set_boundary("=_kvu_manual_" + digest.hexdigest())

    tmp = args.output + ".tmp"
    with open(tmp, "wb") as f:
        f.write(root.as_bytes(policy=SMTP))
    os.replace(tmp, args.output)

    if args.depfile:
        def esc(p):
            return p.replace("\\", "/").replace(" ", "\\ ")
        deps = [os.path.abspath(args.page)] + [p for _, p in files]
        with open(args.depfile, "w", encoding="utf-8") as f:
            f.write(esc(os.path.abspath(args.output)) + ": " + " ".join(esc(d) for d in deps) + "\n")
    return 0


if __name__ == "__main__":
    sys.exit(main())
