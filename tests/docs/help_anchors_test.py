#!/usr/bin/python3
"""Checks the HTML help: structure, the context anchors the windows open, and its own links.

Usage: help_anchors_test.py [path/to/Quorvia.html]
Standard library only, so it runs with the system's /usr/bin/python3.
"""

import sys
from html.parser import HTMLParser
from pathlib import Path

# Help context numbers that the windows' controls open with F1 (each is the anchor #context-N).
CONTEXTS = [10, 100, 105, 115, 125, 130, 135, 140, 145, 150, 160, 185, 190, 195, 200, 205,
            210, 215, 220, 225, 230, 235, 240, 245, 255, 270, 275, 285]

# Elements without an end tag.
VOID = {"area", "base", "br", "col", "embed", "hr", "img", "input", "link", "meta", "param",
        "source", "track", "wbr"}


def local_picture(src):
    """A picture in a folder beside the help: a plain relative path, no way out of it."""
    parts = src.split("/")
    return (":" not in src and "?" not in src and "#" not in src and "\\" not in src
            and not src.startswith("/") and ".." not in parts and "" not in parts
            and src.lower().endswith((".png", ".svg", ".jpg", ".jpeg")))


class HelpParser(HTMLParser):
    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.stack = []  # (tag, line)
        self.nesting_errors = []
        self.ids = {}  # id -> first line
        self.duplicate_ids = []
        self.links = []  # (target, line)
        self.external = []  # (attribute value, line)
        self.pictures = []  # (relative path, line) of pictures shipped beside the help
        self.scripts = []
        self.nav_links = set()
        self.sections = []  # ids of the sections directly under body
        self.in_nav = 0
        self.title = ""
        self.in_title = False

    def _attributes(self, tag, attrs):
        line = self.getpos()[0]
        values = dict(attrs)
        ident = values.get("id")
        if ident is not None:
            if ident in self.ids:
                self.duplicate_ids.append((ident, line))
            else:
                self.ids[ident] = line
        href = values.get("href")
        if href is not None:
            if href.startswith("#"):
                self.links.append((href[1:], line))
                if self.in_nav:
                    self.nav_links.add(href[1:])
            else:
                self.external.append((href, line))
        src = values.get("src")
        if src is not None and not src.startswith("data:"):
            if tag == "img" and local_picture(src):
                self.pictures.append((src, line))
            else:
                self.external.append((src, line))
        if tag == "script":
            self.scripts.append(line)
        if tag == "link":
            self.external.append((values.get("href", "<link>"), line))
        for name, value in attrs:
            if name.startswith("on"):
                self.scripts.append(line)
        return values

    def handle_starttag(self, tag, attrs):
        values = self._attributes(tag, attrs)
        if tag in VOID:
            return
        if tag == "section" and [t for t, _ in self.stack] == ["html", "body"]:
            self.sections.append(values.get("id"))
        if tag == "nav":
            self.in_nav += 1
        if tag == "title":
            self.in_title = True
        self.stack.append((tag, self.getpos()[0]))

    def handle_startendtag(self, tag, attrs):
        # <path .../> inside the inline picture: opened and closed at once.
        self._attributes(tag, attrs)

    def handle_endtag(self, tag):
        line = self.getpos()[0]
        if tag in VOID:
            return
        if not self.stack:
            self.nesting_errors.append(f"line {line}: </{tag}> without an open element")
            return
        open_tag, open_line = self.stack[-1]
        if open_tag != tag:
            self.nesting_errors.append(
                f"line {line}: </{tag}> closes <{open_tag}> opened on line {open_line}")
            # Recover when the tag is further down, so one slip is reported once.
            if any(t == tag for t, _ in self.stack):
                while self.stack and self.stack[-1][0] != tag:
                    self.stack.pop()
                self.stack.pop()
            return
        self.stack.pop()
        if tag == "nav":
            self.in_nav -= 1
        if tag == "title":
            self.in_title = False

    def handle_data(self, data):
        if self.in_title:
            self.title += data


def check(path):
    text = Path(path).read_text(encoding="utf-8")
    parser = HelpParser()
    parser.feed(text)
    parser.close()

    results = []

    def expect(name, problems):
        results.append((name, problems))

    unclosed = [f"<{t}> opened on line {n} is never closed" for t, n in parser.stack]
    expect("every element is closed, in order", parser.nesting_errors + unclosed)
    expect("starts with a doctype", [] if text.lstrip().lower().startswith("<!doctype html>")
           else ["no <!DOCTYPE html> at the top"])
    expect("has a title", [] if parser.title.strip() else ["empty or missing <title>"])

    missing = [f"#context-{n}" for n in CONTEXTS if f"context-{n}" not in parser.ids]
    expect("every help context has its anchor", missing)

    broken = [f"line {line}: #{target}" for target, line in parser.links
              if target not in parser.ids]
    expect("every internal link has its target", broken)

    expect("no id is used twice",
           [f"line {line}: id {ident!r} (first on line {parser.ids[ident]})"
            for ident, line in parser.duplicate_ids])

    expect("self-contained: no external references",
           [f"line {line}: {value}" for value, line in parser.external])
    folder = Path(path).parent
    expect("every picture is shipped beside the help",
           [f"line {line}: {src} is missing" for src, line in parser.pictures
            if not (folder / src).is_file()])
    expect("no scripts", [f"line {line}" for line in parser.scripts])

    contents = parser.ids.get("contents")
    first_section = min((parser.ids[s] for s in parser.sections if s in parser.ids), default=None)
    expect("contents come before the first topic",
           [] if contents is not None and (first_section is None or contents < first_section)
           else ["no element with id 'contents' before the first section"])
    # A topic is listed when the contents link to it or to an anchor inside it.
    def listed(section):
        start = parser.ids[section]
        later = [parser.ids[s] for s in parser.sections if s in parser.ids and parser.ids[s] > start]
        end = min(later, default=float("inf"))
        return any(link in parser.ids and start <= parser.ids[link] < end
                   for link in parser.nav_links)

    expect("every topic is in the contents",
           [f"section {s!r} is not linked from the contents" for s in parser.sections
            if s is None or s not in parser.ids or not listed(s)])
    return results


def main(argv):
    path = argv[1] if len(argv) > 1 else Path(__file__).resolve().parents[2] / "docs" / "Quorvia.html"
    try:
        results = check(path)
    except (OSError, UnicodeDecodeError) as error:
        print(f"cannot read {path}: {error}")
        return 1
    failed = 0
    for name, problems in results:
        if problems:
            failed += 1
            print(f"FAIL {name}")
            for problem in problems:
                print(f"     {problem}")
        else:
            print(f"ok   {name}")
    print(f"{len(results) - failed} passed, {failed} failed")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
