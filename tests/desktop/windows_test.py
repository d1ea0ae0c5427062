#!/usr/bin/python3
"""Quorvia's windows under a real window manager (Xvfb with openbox).

  windows_test.py PROGRAM [--screenshots FOLDER]

Opens every window as a user does, by clicks and keys, and checks what only a
real X server with a window manager shows: each title is exactly its window's
caption before, during and after a run (the busy caption is the main window's
alone), each window asks for the caption buttons its design gives it, and the
send-mail dialog stays above the main window after a box it raised.

Exit status 77 means skipped; the reason is printed.
"""

import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from desktop_test import SKIP, WAIT, Failure, Screen, check, clean_env, outcome, skip, start_xvfb  # noqa: E402

# _MOTIF_WM_HINTS bits: functions, then decorations.
FUNC_MINIMIZE, FUNC_MAXIMIZE, FUNC_CLOSE = 0x8, 0x10, 0x20
DECOR_TITLE, DECOR_MENU, DECOR_MINIMIZE, DECOR_MAXIMIZE = 0x8, 0x10, 0x20, 0x40

# Title -> (window type, resizable, caption buttons): "menu" is the system
# menu with its close, "minimize" the main window's minimise box.
WINDOWS = {
    "Quorvia": ("NORMAL", False, {"menu", "minimize"}),
    "Quorvia Config": ("DIALOG", False, {"menu"}),
    "Quorvia - Zip Settings": ("UTILITY", True, set()),
    "Stats": ("DIALOG", False, {"menu"}),
    "Quorvia - Send Mail": ("DIALOG", False, {"menu"}),
    "Select Folder 1": ("DIALOG", False, {"menu"}),
    "Quorvia - Checking": ("DIALOG", False, {"menu"}),
    "Quorvia Result": ("DIALOG", True, {"menu"}),
}
BUSY = re.compile(r"^Quorvia \(A\)( - \d+( - \d+%)?)?$")


class Desktop(Screen):
    """The screen as the window manager keeps it: its clients, bottom to top."""

    def clients(self, pid):
        from Xlib import error
        found = []
        for wid in self.prop(self.root, "_NET_CLIENT_LIST_STACKING") or []:
            win = self.d.create_resource_object("window", wid)
            try:
                pids = self.prop(win, "_NET_WM_PID")
                if not pids or pids[0] != pid:
                    continue
                title = self.prop(win, "_NET_WM_NAME")
                found.append((win, title.decode() if isinstance(title, bytes) else ""))
            except error.XError:
                pass  # gone while we looked
        return found

    def titled(self, pid, title):
        wins = [w for w, t in self.clients(pid) if t == title and not self.frameless(w)]
        return wins[-1] if wins else None

    def atom_names(self, win, name):
        return {self.d.get_atom_name(a) for a in (self.prop(win, name) or [])}

    def click(self, win, x, y):
        """A left click at a point of win, in its own pixels."""
        from Xlib import X
        from Xlib.ext import xtest
        at = win.translate_coords(self.root, 0, 0)
        xtest.fake_input(self.d, X.MotionNotify, x=-at.x + x, y=-at.y + y)
        xtest.fake_input(self.d, X.ButtonPress, 1)
        xtest.fake_input(self.d, X.ButtonRelease, 1)
        self.d.sync()
        time.sleep(0.4)

    def key(self, keysym_name, settle=0.4):
        from Xlib import X, XK
        from Xlib.ext import xtest
        code = self.d.keysym_to_keycode(XK.string_to_keysym(keysym_name))
        xtest.fake_input(self.d, X.KeyPress, code)
        xtest.fake_input(self.d, X.KeyRelease, code)
        self.d.sync()
        time.sleep(settle)


def check_buttons(screen, win, title, main):
    kind, resizable, buttons = WINDOWS[title]
    types = screen.atom_names(win, "_NET_WM_WINDOW_TYPE")
    check(f"_NET_WM_WINDOW_TYPE_{kind}" in types, f"{title!r} is not a {kind} window: {types}")
    hints = screen.prop(win, "_MOTIF_WM_HINTS")
    check(hints and len(hints) >= 3, f"{title!r} gives no caption hints")
    # Without the decorations flag the window manager decorates as it likes:
    # Qt's way of asking for a caption bar without buttons.
    functions, decorated = hints[1], hints[0] & 2
    decorations = hints[2] if decorated else DECOR_TITLE
    asked = set()
    if functions & FUNC_CLOSE and (decorations & DECOR_MENU or not decorated):
        asked.add("menu")
    if decorations & DECOR_MINIMIZE or functions & FUNC_MINIMIZE:
        asked.add("minimize")
    if decorations & DECOR_MAXIMIZE or functions & FUNC_MAXIMIZE:
        asked.add("maximize")
    check(asked == buttons, f"{title!r} asks for caption buttons {sorted(asked)}, "
          f"its design gives {sorted(buttons)}: {list(hints)}")
    check(decorations & DECOR_TITLE, f"{title!r} has no caption bar: {list(hints)}")
    size = win.get_wm_normal_hints()
    fixed = (size and size.flags & 0x30 == 0x30 and  # PMinSize and PMaxSize given
             (size.min_width, size.min_height) == (size.max_width, size.max_height))
    check(bool(fixed) != resizable, f"{title!r} should {'' if resizable else 'not '}be resizable")
    # What the window manager then offers.
    actions = screen.atom_names(win, "_NET_WM_ALLOWED_ACTIONS")
    check(("_NET_WM_ACTION_MAXIMIZE_VERT" in actions) == resizable,
          f"{title!r}: the window manager offers {sorted(actions)}")
    if kind != "NORMAL":
        check((screen.prop(win, "WM_TRANSIENT_FOR") or [None])[0] == main.id,
              f"{title!r} does not belong to the main window")
    print(f"{title!r}: {kind}, {'resizable' if resizable else 'fixed'}, buttons {sorted(asked)}")


def prepare_home(work):
    home = os.path.join(work, "home")
    data = os.path.join(home, "data", "Quorvia")
    os.makedirs(data)
    os.makedirs(os.path.join(home, "config", "Plimsow"))
    os.makedirs(os.path.join(home, "run"), mode=0o700)
    source = os.path.join(work, "src")
    os.makedirs(source)
    for i in range(6000):  # a run that lasts long enough to be watched
        with open(os.path.join(source, f"f{i:04}.txt"), "wb") as f:
            f.write(os.urandom(1024))
    with open(os.path.join(data, "Many.sch"), "wb") as f:
        lines = [source, os.path.join(work, "dst"), "Never", "0", "0", "N/A", "", "0", "0"]
        f.write("".join(line + "\r\n" for line in lines).encode())
    with open(os.path.join(home, "config", "Plimsow", "Quorvia.conf"), "w") as conf:
        conf.write(f"[General]\nSchemeDir={data}/\nSoundOn=False\nShowWork=True\n")
    return home


def test_windows(program, shots):
    for tool, package in (("Xvfb", "xvfb"), ("openbox", "openbox")):
        if not shutil.which(tool):
            skip(f"{tool} is not installed (Debian package {package})")
    try:
        import Xlib.display  # noqa: F401
    except ImportError:
        skip("python3-xlib is not installed")

    with tempfile.TemporaryDirectory(prefix="quorvia windows ") as work:
        home = prepare_home(work)
        server, name = start_xvfb(work)
        procs = []
        try:
            env = clean_env(PATH="/usr/bin:/bin", HOME=home, DISPLAY=name, LANG="C.UTF-8",
                            XDG_CONFIG_HOME=os.path.join(home, "config"),
                            XDG_DATA_HOME=os.path.join(home, "data"),
                            XDG_RUNTIME_DIR=os.path.join(home, "run"), QT_QPA_PLATFORM="xcb")
            procs.append(subprocess.Popen(["openbox"], env=env, stdout=subprocess.DEVNULL,
                                          stderr=subprocess.DEVNULL))
            screen = Desktop(name)
            screen.wait("the window manager",
                        lambda: screen.prop(screen.root, "_NET_SUPPORTING_WM_CHECK"))
            log = open(os.path.join(work, "quorvia.log"), "w")
            proc = subprocess.Popen([program], env=env, cwd=home, stdin=subprocess.DEVNULL,
                                    stdout=log, stderr=subprocess.STDOUT)
            procs.append(proc)
            pid = proc.pid

            def shot(title):
                if shots:
                    path = os.path.join(shots, re.sub(r"\W+", "-", title).strip("-") + ".png")
                    subprocess.run(["import", "-display", name, "-window", "root", path])

            def opened(title):
                win = screen.wait(f"the window {title!r}", lambda: screen.titled(pid, title),
                                  proc)
                time.sleep(0.3)
                return win

            main = opened("Quorvia")
            time.sleep(5.5)  # the splash closes by itself
            check_buttons(screen, main, "Quorvia", main)

            screen.click(main, 287 + 42, 234 + 18)  # &Config
            config = opened("Quorvia Config")
            check_buttons(screen, config, "Quorvia Config", main)
            screen.click(config, 18 + 8, 264 + 9)  # the zip box
            screen.click(config, 240 + 33, 258 + 12)  # Zip Settings
            zipped = opened("Quorvia - Zip Settings")
            check_buttons(screen, zipped, "Quorvia - Zip Settings", main)
            shot("zip settings")
            screen.click(zipped, 156 + 35, 108 + 15)  # &Cancel
            screen.click(config, 207 + 43, 306 + 15)  # &Cancel

            screen.click(main, 498 + 24, 32 + 9)  # Browse
            browser = opened("Select Folder 1")
            check_buttons(screen, browser, "Select Folder 1", main)
            screen.click(browser, 228 + 39, 360 + 18)  # &Cancel

            screen.click(main, 216 + 12, 102 + 60)  # INFO
            stats = opened("Stats")
            check_buttons(screen, stats, "Stats", main)
            screen.click(stats, 342 + 78, 315 + 9)  # the mail link
            mail = opened("Quorvia - Send Mail")
            check_buttons(screen, mail, "Quorvia - Send Mail", main)
            # "Send Mail" with the placeholder address: a warning, then the
            # dialog must still be there above the main window.
            screen.click(mail, 336 + 54, 36 + 12)
            box = opened("Warning")
            check((screen.prop(box, "WM_TRANSIENT_FOR") or [None])[0] == mail.id,
                  "the warning does not belong to the send-mail dialog")
            shot("send mail warning")
            screen.click(box, 10, 10)
            screen.key("Return")
            screen.wait("the warning to close", lambda: not screen.titled(pid, "Warning"), proc)
            time.sleep(0.5)
            order = [w.id for w, _ in screen.clients(pid)]
            check(mail.id in order and order.index(mail.id) > order.index(main.id),
                  "the send-mail dialog went behind the main window after its box")
            print("the send-mail dialog stays above the main window after its box")
            screen.click(mail, 336 + 54, 66 + 9)  # &Cancel
            screen.click(stats, 90 + 54, 360 + 18)  # &Ok

            # A run, with the config dialog open beside it: every title stays
            # its caption, and the busy caption is the main window's alone.
            screen.click(main, 287 + 42, 234 + 18)  # &Config
            opened("Quorvia Config")
            screen.click(main, 60, 22)  # the scheme in the list
            screen.key("Return", settle=0)
            seen = set()
            began = time.monotonic()
            deadline = time.monotonic() + WAIT * 3
            while time.monotonic() < deadline:
                for win, title in screen.clients(pid):
                    if title not in seen and title == "Quorvia - Checking":
                        check_buttons(screen, win, title, main)
                    seen.add(title)
                    if win.id == main.id:
                        check(title == "Quorvia" or BUSY.match(title),
                              f"the main window is titled {title!r}")
                    elif not BUSY.match(title):
                        check(title in WINDOWS or title == "Quorvia(ing)",
                              f"a window is titled {title!r}")
                    else:
                        raise Failure(f"the busy caption {title!r} is on another window")
                if "Quorvia Result" in seen:
                    break
                time.sleep(0.005)
            busy = sorted(t for t in seen if BUSY.match(t))
            print(f"{len(seen)} titles seen in {time.monotonic() - began:.1f} s:",
                  sorted(t for t in seen if not t.endswith("%")), busy[-1:])
            check(any(t.endswith("%") for t in busy), f"no progress in the main title: {busy}")
            work_list = opened("Quorvia Result")
            check_buttons(screen, work_list, "Quorvia Result", main)
            check("Quorvia - Checking" in seen, "the size check showed no progress window")
            shot("after the run")
            screen.wait("the idle title", lambda: screen.titled(pid, "Quorvia"), proc)
            check(os.path.isfile(os.path.join(work, "dst", "f5999.txt")), "the run copied nothing")
            print("after the run: main window 'Quorvia', work list 'Quorvia Result'")
        except Failure:
            print(open(os.path.join(work, "quorvia.log")).read())
            raise
        finally:
            for p in reversed(procs):
                if p.poll() is None:
                    p.kill()
                    p.wait()
            server.terminate()
            server.wait()


def main(argv):
    shots = argv[argv.index("--screenshots") + 1] if "--screenshots" in argv else None
    return outcome(lambda: test_windows(os.path.abspath(argv[1]), shots))


if __name__ == "__main__":
    sys.exit(main(sys.argv))
