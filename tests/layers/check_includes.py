#!/usr/bin/env python3
"""Fails when an #include in src/ runs against the layer order.

Layers, each built only on those before it:
    platform <- app <- schemes <- engine <- commands <- cli, ui <- main.cpp
(the command line, cli, beside the windows; neither uses a GUI library but ui)
Components beside them use platform at most: zip, mail, controls (zipdll
also uses the zip folder's interface header). Zip mode in engine uses zip;
ui uses all three. The logic layers and zip never use QtWidgets.

The engine reports facts: it never reaches the person at the screen (the
port, the alerts, the process state) and never words a message.
"""
import os
import re
import sys
import tempfile

LAYERS = ["platform", "app", "schemes", "engine", "commands", "cli", "ui"]
COMPONENTS = {"zip": {"platform"}, "zipdll": {"platform", "zip"}, "mail": {"platform"},
              "controls": {"platform"}}
EXTRA = {"engine": {"zip"}, "commands": {"zip"}, "cli": {"zip"}, "ui": {"zip", "mail", "controls"}}
NO_WIDGETS = {"platform", "app", "schemes", "engine", "commands", "cli", "zip", "zipdll"}
WIDGET_HEADER = re.compile(
    r"<(QtWidgets/.*|QApplication|QWidget|QDialog|QMessageBox|QInputDialog|QLabel|"
    r"QPushButton|QCheckBox|QLineEdit|QListWidget|QMainWindow|QMenu|QAction|QStyle\w*)>")
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"][^>"]+[>"])', re.M)
NOT_IN_ENGINE = {"app/Alerts.h", "app/AppState.h", "app/Dialogs.h", "app/MainView.h",
                 "app/RunFormat.h", "app/UserPort.h"}
# A string literal of words: a message in the making.
WORDS = re.compile(r'"[^"\n]*[A-Za-z]{2,} [A-Za-z]{2,}[^"\n]*"')
COMMENT = re.compile(r"//[^\n]*|/\*.*?\*/", re.S)


def allowed(here, there):
    if here == there or here == "main.cpp":
        return True
    if here in COMPONENTS:
        return there in COMPONENTS[here]
    if here in LAYERS:
        if there in LAYERS:
            return LAYERS.index(there) < LAYERS.index(here)
        return there in EXTRA.get(here, set())
    return True


def check(src):
    faults = []
    for folder, _, files in os.walk(src):
        rel = os.path.relpath(folder, src)
        for name in files:
            if not name.endswith((".h", ".cpp", ".c", ".hpp")):
                continue
            here = "main.cpp" if rel == "." else rel.split(os.sep)[0]
            path = os.path.join(folder, name)
            with open(path, encoding="utf-8", errors="replace") as f:
                text = f.read()
            for m in INCLUDE.finditer(text):
                target = m.group(1)
                line = text.count("\n", 0, m.start()) + 1
                where = f"{os.path.relpath(path, src)}:{line}"
                if target.startswith('"') and "/" in target:
                    there = target.strip('"').split("/")[0]
                    if there in LAYERS or there in COMPONENTS:
                        if not allowed(here, there):
                            faults.append(f"{where}: {here} may not include {target}")
                    if here == "engine" and target.strip('"') in NOT_IN_ENGINE:
                        faults.append(f"{where}: the engine reports facts, not {target}")
                elif here in NO_WIDGETS and WIDGET_HEADER.match(target):
                    faults.append(f"{where}: {here} uses no widgets, but includes {target}")
            if here == "engine":
                code = COMMENT.sub(lambda c: "\n" * c.group(0).count("\n"), text)
                for m in WORDS.finditer(code):
                    line = code.count("\n", 0, m.start()) + 1
                    faults.append(f"{os.path.relpath(path, src)}:{line}: the engine words "
                                  f"no message: {m.group(0)}")
    return faults


def self_test():
    # The check must catch what it is for: an upward include and a widget header.
    with tempfile.TemporaryDirectory() as root:
        for rel, text in {"engine/A.cpp": '#include "schemes/B.h"\n',
                          "schemes/B.h": '#include "engine/A.h"\n',
                          "app/C.cpp": "#include <QWidget>\n",
                          "mail/D.cpp": '#include "app/E.h"\n',
                          "ui/F.cpp": '#include "mail/G.h"\n#include <QWidget>\n',
                          "engine/H.cpp": '#include "app/Dialogs.h"\n// "Could Not" said\n',
                          "engine/I.cpp": '\n\nauto t = QString("Could Not Create: ");\n'}.items():
            os.makedirs(os.path.join(root, os.path.dirname(rel)), exist_ok=True)
            with open(os.path.join(root, rel), "w") as f:
                f.write(text)
        faults = check(root)
        expected = {"schemes/B.h:1", "app/C.cpp:1", "mail/D.cpp:1", "engine/H.cpp:1",
                    "engine/I.cpp:3"}
        found = {fault.split(": ")[0] for fault in faults}
        if found != expected:
            print("self-test: expected", sorted(expected), "got", sorted(found))
            return 1
    print("self-test passed")
    return 0


def main():
    if sys.argv[1:] == ["--self-test"]:
        return self_test()
    src = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "../../src")
    faults = check(src)
    for fault in faults:
        print(fault)
    print(f"{len(faults)} include(s) against the layer order")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
