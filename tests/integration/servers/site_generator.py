#!/usr/bin/python3
"""Writes a deterministic web site for the whole-site grab tests and benchmarks.

Usage: site_generator.py ROOT PAGES
ROOT gets /robots.txt (disallowing /site/private/) and below /site/ a start page, PAGES pages
linking each other in every way a grab meets (see page_body), shared images, text files, a
directory page with a base element and private pages, all reachable from the start page.
ROOT/manifest.txt lists "file NAME PATH" for each file a grab saves (not the start page),
"missing PATH" for each linked page that does not exist, "private PATH" for each disallowed one.
"""
import os
import posixpath
import sys

SECTIONS = 8
SUBDIRS = 3
IMAGES = 5


def page_dir(n):
    section = n % SECTIONS
    sub = (n // SECTIONS) % (SUBDIRS + 1)
    # A quarter of the pages sit in the section itself, the others one level deeper.
    return f"site/sec{section}" if sub == SUBDIRS else f"site/sec{section}/sub{sub}"


def page_path(n):
    return f"{page_dir(n)}/p{n}.html"


def relative(from_dir, target):
    return posixpath.relpath(target, from_dir)


def link(href, text, n):
    """Alternates the markup: lower case quoted, upper case unquoted, upper case single-quoted."""
    return [f'<a href="{href}">{text}</a>', f"<A HREF={href}>{text}</A>",
            f"<A class=x HREF='{href}'>{text}</A>"][n % 3]


def image(src, n):
    return f'<img src="{src}" alt="i">' if n % 2 == 0 else f"<IMG SRC={src} ALT=i>"


def image_bytes(k):
    return bytes((k * 31 + i * 7) % 256 for i in range(600 + 97 * k))


def write(root, path, data):
    full = os.path.join(root, path)
    os.makedirs(os.path.dirname(full), exist_ok=True)
    with open(full, "wb") as out:
        out.write(data if isinstance(data, bytes) else data.encode())


def page_body(n, pages):
    here = page_dir(n)
    parts = [f"<HTML><HEAD><TITLE>Page {n}</TITLE></HEAD><BODY>", f'<h1 id="top">Page {n}</h1>']
    following = (n + 1) % pages
    # The next page, written four ways in turn, keeps every page reachable.
    target = page_path(following)
    href = [relative(here, target), "/" + target, relative(here, target) + "#top",
            "../" + relative(posixpath.dirname(here), target)][n % 4]
    parts.append(link(href, "next", n))
    parts.append(link("#top", "top", n + 1))
    parts.append(link(relative(here, page_path((n * 7 + 3) % pages)) + "#part", "jump", n + 2))
    parts.append(link("/site/index.html", "home", n))
    parts.append(image(relative(here, f"site/images/shared{n % IMAGES}.png"), n))
    if n % 7 == 0:
        parts.append(link(f"missing{n}.html", "gone", n))
    if n % 10 == 0:
        parts.append(link(f"t{n}", "text", n + 1))
    if n % 20 == 0:
        parts.append(link(f"/site/private/secret{n % 3}.html", "private", n))
    parts.append("<p>" + " ".join(f"word{(n * 13 + i) % 97}" for i in range(120)) + "</p>")
    parts.append("</BODY></HTML>\n")
    return "\n".join(parts)


root, pages = sys.argv[1], int(sys.argv[2])
manifest = []
write(root, "robots.txt", "User-agent: *\nDisallow: /site/private/\n")
start = ["<html><body>", "<H1>Site</H1>"]
for section in range(SECTIONS):
    if section < pages:
        start.append(link(relative("site", page_path(section)), f"section {section}", section))
start.append(link("notes/", "notes", 0))
start.append(link("private/secret0.html", "private", 1))
start.append(image("images/shared0.png", 0))
start.append("</body></html>\n")
write(root, "site/index.html", "\n".join(start))

# Its links are relative to its base, one directory up.
write(root, "site/notes/index.html", '<html><head><base href="/site/"></head><body>'
      '<a href="index.html#top">up</a><IMG SRC=images/shared1.png></body></html>\n')
manifest.append("file index.html /site/notes/")
for n in range(pages):
    write(root, page_path(n), page_body(n, pages))
    manifest.append(f"file p{n}.html /{page_path(n)}")
    if n % 7 == 0:
        manifest.append(f"missing /{page_dir(n)}/missing{n}.html")
    if n % 10 == 0:
        write(root, f"{page_dir(n)}/t{n}", f"plain text {n}\n" * 20)
        manifest.append(f"file t{n} /{page_dir(n)}/t{n}")
for k in range(min(IMAGES, max(pages, 2))):
    write(root, f"site/images/shared{k}.png", image_bytes(k))
    manifest.append(f"file shared{k}.png /site/images/shared{k}.png")
for k in range(3):
    write(root, f"site/private/secret{k}.html", f"<html><body>secret {k}</body></html>\n")
    manifest.append(f"private /site/private/secret{k}.html")
write(root, "manifest.txt", "\n".join(manifest) + "\n")

