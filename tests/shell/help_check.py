#!/usr/bin/env python3
"""The manual as the Help buttons reach it: every help topic the dialogs use has its page in
every language, and every link and picture inside the manual leads to something that exists.

Usage: help_check.py SOURCE_DIR [HELP_DIR]   (HELP_DIR defaults to SOURCE_DIR/resources/help)
"""
import html.parser
import os
import re
import sys
import urllib.parse

src = sys.argv[1]
help_dir = sys.argv[2] if len(sys.argv) > 2 else os.path.join(src, "resources", "help")
problems = []

# The topics: every "constexpr int Name = n;" of shell/HelpTopics.h.
with open(os.path.join(src, "shell", "HelpTopics.h"), encoding="utf-8") as f:
    topics = sorted({int(n) for n in re.findall(r"constexpr int \w+ = (\d+);", f.read())})
if 0 not in topics or len(topics) < 10:
    problems.append(f"HelpTopics.h: unexpected topics {topics}")

# The start page is named by text 2 of the table, per language; the extension by text 18.
texts = {}
with open(os.path.join(src, "resources", "texts.txt"), encoding="utf-8") as f:
    for line in f:
        parts = line.rstrip("\n").split("\t")
        if len(parts) == 3 and parts[0] in ("2", "17", "18"):
            texts[parts[0]] = {"de": parts[1], "en": parts[2]}

languages = ["de", "en"]
for lang in languages:
    folder = texts["17"][lang].replace("\\\\", "/").replace("\\", "/")
    if folder != f"help/{lang}/webhelp/":
        problems.append(f"text 17 ({lang}) names {folder!r}, not the installed folder")
    for topic in topics:
        name = (texts["2"][lang] if topic == 0 else f"hs{topic}") + texts["18"][lang]
        if not os.path.isfile(os.path.join(help_dir, lang, "webhelp", name)):
            problems.append(f"{lang}: topic {topic} has no page {name}")


class Links(html.parser.HTMLParser):
    def __init__(self):
        super().__init__()
        self.links, self.ids = [], set()
        self.charset = False

    def handle_starttag(self, tag, attrs):
        a = dict(attrs)
        for key in ("href", "src"):
            if key in a and a[key] is not None:
                self.links.append((tag, a[key]))
        if "id" in a:
            self.ids.add(a["id"])
        if tag == "meta" and (a.get("charset") or "").lower() == "utf-8":
            self.charset = True


pages = {}
for root, _, files in os.walk(help_dir):
    for name in files:
        if name.endswith((".htm", ".html")):
            path = os.path.join(root, name)
            with open(path, "rb") as f:
                raw = f.read()
            try:
                text = raw.decode("utf-8")
            except UnicodeDecodeError as e:
                problems.append(f"{path}: not UTF-8 ({e})")
                continue
            p = Links()
            p.feed(text)
            if not p.charset:
                problems.append(f"{path}: no <meta charset=\"utf-8\">")
            pages[os.path.normpath(path)] = p
if not pages:
    problems.append(f"{help_dir}: no pages")

for path, p in pages.items():
    for tag, link in p.links:
        url = urllib.parse.urlsplit(link)
        if url.scheme in ("http", "https", "mailto"):
            continue
        if url.scheme or url.netloc or link.startswith("/"):
            problems.append(f"{path}: link {link!r} leaves the manual")
            continue
        target = os.path.normpath(os.path.join(os.path.dirname(path), urllib.parse.unquote(url.path))) if url.path else path
        if not target.startswith(os.path.normpath(help_dir) + os.sep):
            problems.append(f"{path}: link {link!r} points outside the help folder")
        elif not os.path.isfile(target):
            problems.append(f"{path}: link {link!r} leads to nothing")
        elif url.fragment and target in pages and url.fragment not in pages[target].ids:
            problems.append(f"{path}: link {link!r}: no anchor {url.fragment!r} there")

for p in problems:
    print(p)
print(f"{len(pages)} pages, {len(topics)} topics, {len(problems)} problems")
sys.exit(1 if problems else 0)
