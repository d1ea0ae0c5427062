#!/usr/bin/python3
"""Every help context a window's .ui file gives a control must be an anchor of the help.

Usage: ui_help_contexts_test.py path/to/src/ui path/to/Quorvia.html
F1 opens the help at #context-N of the focused control; a missing anchor would
open the top of the page without a word.
"""

import sys
import xml.etree.ElementTree as ElementTree
from html.parser import HTMLParser
from pathlib import Path


class Ids(HTMLParser):
    def __init__(self):
        super().__init__()
        self.ids = set()

    def handle_starttag(self, tag, attrs):
        for name, value in attrs:
            if name == "id":
                self.ids.add(value)


def contexts(ui_dir):
    """(file, widget, number) for every helpContext property."""
    found = []
    for ui in sorted(Path(ui_dir).glob("*.ui")):
        root = ElementTree.parse(ui).getroot()
        for widget in root.iter("widget"):
            for prop in widget.findall("property"):
                if prop.get("name") == "helpContext":
                    found.append((ui.name, widget.get("name"), int(prop.findtext("number"))))
    return found


def main(argv):
    ui_dir, html = argv[1], argv[2]
    parser = Ids()
    parser.feed(Path(html).read_text(encoding="utf-8"))
    used = contexts(ui_dir)
    missing = [f"{ui}: {widget} opens #context-{n}, which the help lacks"
               for ui, widget, n in used if f"context-{n}" not in parser.ids]
    forms = {ui for ui, _, _ in used}
    for problem in missing:
        print("FAIL", problem)
    if len(forms) < 2:
        print("FAIL found help contexts in fewer than two forms: wrong folder?")
        return 1
    print(f"{len(used) - len(missing)} of {len(used)} help contexts in {len(forms)} forms found")
    return 1 if missing else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
