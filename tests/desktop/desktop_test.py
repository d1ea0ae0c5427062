#!/usr/bin/python3
"""Quorvia as a user meets it on a Linux desktop.

  desktop_test.py install CMAKE BUILD   install into a temporary prefix, check the
                                        files and validate the menu entry and metainfo
  desktop_test.py smoke CMAKE BUILD [--screenshot PNG]
                                        install, then run the installed program on a
                                        real X server (Xvfb) with a fresh home
  desktop_test.py package CPACK BUILD   build the Debian package and check it
  desktop_test.py screenshot CMAKE BUILD PNG
                                        the main window with two schemes, for the README

Exit status 77 means skipped; the reason is printed.
"""

import configparser
import glob
import os
import shlex
import shutil
import struct
import subprocess
import sys
import tempfile
import time
import urllib.parse
import zlib

SKIP = 77
ID = "org.plimsow.Quorvia"
WAIT = 40.0  # seconds; the machine may be shared and slow

INSTALLED = [
    "bin/quorvia",
    "lib/quorvia/libquorvia-window.so",
    "lib/systemd/user/quorvia-run@.service",
    "share/quorvia/Quorvia.html",
    "share/quorvia/Version.txt",
    f"share/applications/{ID}.desktop",
    f"share/metainfo/{ID}.metainfo.xml",
    "share/icons/hicolor/scalable/apps/quorvia.svg",
    "share/icons/hicolor/256x256/apps/quorvia.png",
    "share/man/man1/quorvia.1.gz",
    "share/doc/quorvia/copyright",
    "share/doc/quorvia/changelog.gz",
]


class Failure(Exception):
    pass


def clean_env(**values):
    """A program's own environment: just `values`, and the leak and UB
    checkers' options where the suite runs under them, so that their
    suppressions still hold. The suite's strict string checks stay out: the
    X keyboard library reads names that are not terminated."""
    env = {k: v for k, v in os.environ.items() if k in ("LSAN_OPTIONS", "UBSAN_OPTIONS")}
    env.update(values)
    return env


def skip(reason):
    print(f"SKIPPED: {reason}")
    sys.exit(SKIP)


def check(condition, message):
    if not condition:
        raise Failure(message)


def install(cmake, build, prefix):
    run = subprocess.run([cmake, "--install", build, "--prefix", prefix],
                         stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    check(run.returncode == 0, f"cmake --install failed:\n{run.stdout}")
    missing = [f for f in INSTALLED if not os.path.isfile(os.path.join(prefix, f))]
    check(not missing, f"not installed: {missing}")
    if os.path.isdir(os.path.join(os.path.dirname(__file__), "../../docs/screenshots")):
        check(os.path.isdir(os.path.join(prefix, "share/quorvia/screenshots")),
              "docs/screenshots exists but was not installed beside the help")


def desktop_exec(prefix):
    """The command line the desktop's menu runs, field codes dropped."""
    entry = configparser.ConfigParser(interpolation=None)
    entry.optionxform = str
    entry.read(os.path.join(prefix, f"share/applications/{ID}.desktop"))
    words = shlex.split(entry["Desktop Entry"]["Exec"])
    return [w for w in words if not (len(w) == 2 and w[0] == "%")]


# ---------------------------------------------------------------- install

def test_install(cmake, build):
    validators = {"desktop-file-validate": "desktop-file-utils", "appstreamcli": "appstream"}
    absent = [f"{tool} (Debian package {pkg})" for tool, pkg in validators.items()
              if not shutil.which(tool)]
    with tempfile.TemporaryDirectory(prefix="quorvia-install-") as prefix:
        install(cmake, build, prefix)
        if absent:
            skip("files installed, but cannot validate without " + ", ".join(absent))
        for cmd in (["desktop-file-validate", f"{prefix}/share/applications/{ID}.desktop"],
                    ["appstreamcli", "validate", "--no-net", "--explain",
                     f"{prefix}/share/metainfo/{ID}.metainfo.xml"]):
            run = subprocess.run(cmd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                                 text=True)
            print(" ".join(cmd[:1]), "->", run.stdout.strip() or "clean")
            check(run.returncode == 0, f"{cmd[0]} rejects the file")
            check("W:" not in run.stdout and "E:" not in run.stdout,
                  f"{cmd[0]} warns about the file")
        check(desktop_exec(prefix) == ["quorvia"], "the menu entry does not start quorvia")


# ---------------------------------------------------------------- package

def test_package(cpack, build):
    if not shutil.which("dpkg-shlibdeps"):
        skip("dpkg-shlibdeps is missing (Debian package dpkg-dev)")
    with tempfile.TemporaryDirectory(prefix="quorvia-deb-") as out:
        run = subprocess.run([cpack, "--config", os.path.join(build, "CPackConfig.cmake"),
                              "-G", "DEB", "-B", out], cwd=build, stdout=subprocess.PIPE,
                             stderr=subprocess.STDOUT, text=True)
        check(run.returncode == 0, f"cpack failed:\n{run.stdout}")
        debs = glob.glob(os.path.join(out, "quorvia_*.deb"))
        check(len(debs) == 1, f"expected one quorvia_*.deb, found {debs}")
        deb = debs[0]

        def field(name):
            return subprocess.run(["dpkg-deb", "-f", deb, name], stdout=subprocess.PIPE,
                                  text=True, check=True).stdout.strip()

        depends = [d.strip().split()[0] for d in field("Depends").split(",")]
        print("Depends:", field("Depends"))
        for needed in ("libc6", "libqt6core6", "libqt6gui6", "libqt6widgets6",
                       "libqt6network6", "qt6-qpa-plugins"):
            check(needed in depends, f"the package does not depend on {needed}")
        for build_only in ("qt6-base-dev", "cmake", "libgtest-dev", "googletest", "xvfb",
                           "python3-aiosmtpd"):
            check(build_only not in depends, f"the package depends on {build_only}")
        check(field("Package") == "quorvia", "package name")
        check(field("Section") and field("Priority") and field("Maintainer"),
              "section, priority and maintainer must be set")

        listing = subprocess.run(["dpkg-deb", "-c", deb], stdout=subprocess.PIPE, text=True,
                                 check=True).stdout
        for f in INSTALLED:
            check(f" ./usr/{f}" in listing, f"the package lacks /usr/{f}")
        check(" ./usr/local/" not in listing, "the package installs under /usr/local")
        check(all(" root/root " in line for line in listing.splitlines()),
              "files in the package must belong to root")

        tree = os.path.join(out, "tree")
        subprocess.run(["dpkg-deb", "-x", deb, tree], check=True)
        sections = subprocess.run(["readelf", "-S", "-W", f"{tree}/usr/bin/quorvia"],
                                  stdout=subprocess.PIPE, text=True, check=True).stdout
        check(".debug_info" not in sections, "the packaged program is not stripped")
        print(os.path.basename(deb), os.path.getsize(deb), "bytes")


# ---------------------------------------------------------------- smoke

def start_xvfb(workdir):
    read_fd, write_fd = os.pipe()
    server = subprocess.Popen(
        ["Xvfb", "-displayfd", str(write_fd), "-screen", "0", "1024x768x24", "-nolisten", "tcp",
         "-noreset"], pass_fds=(write_fd,), stdout=subprocess.DEVNULL,
        stderr=open(os.path.join(workdir, "xvfb.log"), "w"), cwd=workdir)
    os.close(write_fd)
    number = b""
    deadline = time.monotonic() + WAIT
    os.set_blocking(read_fd, False)
    while not number.endswith(b"\n") and time.monotonic() < deadline:
        if server.poll() is not None:
            break
        try:
            chunk = os.read(read_fd, 16)
            if not chunk:
                break
            number += chunk
        except BlockingIOError:
            time.sleep(0.05)
    os.close(read_fd)
    if not number.strip().isdigit():
        server.kill()
        raise Failure("Xvfb did not start: " + open(os.path.join(workdir, "xvfb.log")).read())
    return server, ":" + number.decode().strip()


class Screen:
    """The few X requests a person's desktop makes, on a bare X server."""

    def __init__(self, name):
        from Xlib import display
        self.d = display.Display(name)
        self.root = self.d.screen().root
        self.atom = lambda n: self.d.intern_atom(n)

    def prop(self, win, name, kind=None):
        from Xlib import X
        reply = win.get_full_property(self.atom(name), kind or X.AnyPropertyType)
        return reply.value if reply else None

    def windows(self, pid):
        """Viewable top-level windows of process pid, bottom to top: (window, title, transient)."""
        from Xlib import X, error
        found = []
        for win in self.root.query_tree().children:
            try:
                if win.get_attributes().map_state != X.IsViewable:
                    continue
                pids = self.prop(win, "_NET_WM_PID")
                if not pids or pids[0] != pid:
                    continue
                title = self.prop(win, "_NET_WM_NAME")
                title = title.decode() if isinstance(title, bytes) else (win.get_wm_name() or "")
                found.append((win, title, self.prop(win, "WM_TRANSIENT_FOR") is not None))
            except error.XError:
                pass  # gone while we looked
        return found

    def wait(self, what, probe, proc=None, timeout=WAIT):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            self.d.sync()
            result = probe()
            if result:
                return result
            if proc is not None and proc.poll() is not None:
                raise Failure(f"the program ended (status {proc.returncode}) before {what}")
            time.sleep(0.1)
        raise Failure(f"timed out after {timeout:.0f} s waiting for {what}")

    def main_window(self, pid):
        tops = [w for w, title, transient in self.windows(pid) if title == "Quorvia" and not transient]
        return tops[0] if len(tops) == 1 else None

    def frameless(self, win):
        """The splash has no frame: Motif hints with the decorations flag and none set."""
        from Xlib import error
        try:
            hints = self.prop(win, "_MOTIF_WM_HINTS")
        except error.XError:
            return True  # gone while we looked: no question to answer
        return bool(hints) and len(hints) >= 3 and (hints[0] & 2) and hints[2] == 0

    def box(self, pid):
        boxes = [w for w, _, transient in self.windows(pid) if transient and not self.frameless(w)]
        return boxes[-1] if boxes else None

    def press(self, win, keysym_name):
        """Focus win (no window manager does it here) and type one key through XTEST."""
        from Xlib import X, XK
        from Xlib.ext import xtest
        win.set_input_focus(X.RevertToParent, X.CurrentTime)
        self.d.sync()
        time.sleep(0.3)  # let the toolkit take the focus before the key arrives
        code = self.d.keysym_to_keycode(XK.string_to_keysym(keysym_name))
        xtest.fake_input(self.d, X.KeyPress, code)
        xtest.fake_input(self.d, X.KeyRelease, code)
        self.d.sync()

    def request_close(self, win):
        """What a window manager sends for the title bar's close button."""
        from Xlib import X, protocol
        protocols = self.atom("WM_PROTOCOLS")
        check(self.atom("WM_DELETE_WINDOW") in (self.prop(win, "WM_PROTOCOLS") or []),
              "the main window does not take WM_DELETE_WINDOW")
        event = protocol.event.ClientMessage(
            window=win, client_type=protocols,
            data=(32, [self.atom("WM_DELETE_WINDOW"), X.CurrentTime, 0, 0, 0]))
        win.send_event(event, event_mask=X.NoEventMask)
        self.d.sync()

    def focus_within(self, win):
        focus = self.d.get_input_focus().focus
        while focus and not isinstance(focus, int):
            if focus.id == win.id:
                return True
            if focus.id == self.root.id:
                return False
            focus = focus.query_tree().parent
        return False

    def above(self, upper, lower):
        order = [w.id for w in self.root.query_tree().children]
        return order.index(upper.id) > order.index(lower.id)

    def save_png(self, win, path):
        geo = win.get_geometry()
        from Xlib import X
        image = win.get_image(0, 0, geo.width, geo.height, X.ZPixmap, 0xFFFFFFFF)
        data = image.data if isinstance(image.data, bytes) else image.data.encode("latin-1")
        stride = len(data) // geo.height
        rows = b"".join(b"\0" + bytes(data[y * stride + x * 4 + c]
                                      for x in range(geo.width) for c in (2, 1, 0))
                        for y in range(geo.height))

        def chunk(kind, body):
            return (struct.pack(">I", len(body)) + kind + body
                    + struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF))
        with open(path, "wb") as out:
            out.write(b"\x89PNG\r\n\x1a\n"
                      + chunk(b"IHDR", struct.pack(">IIBBBBB", geo.width, geo.height, 8, 2, 0, 0, 0))
                      + chunk(b"IDAT", zlib.compress(rows, 9)) + chunk(b"IEND", b""))


def test_smoke(cmake, build, screenshot=None):
    if not shutil.which("Xvfb"):
        skip("Xvfb is not installed (Debian package xvfb); the desktop smoke test needs a real X server")
    try:
        import Xlib.display  # noqa: F401
    except ImportError:
        skip("python3-xlib is not installed; the smoke test drives X with it")

    with tempfile.TemporaryDirectory(prefix="quorvia smoke ") as work:  # a space, as users have
        prefix = os.path.join(work, "prefix")
        install(cmake, build, prefix)
        home = os.path.join(work, "home")
        runtime = os.path.join(work, "run")
        os.makedirs(home)
        os.makedirs(runtime, mode=0o700)
        server, name = start_xvfb(work)
        procs = []
        tools = tempfile.mkdtemp(prefix="quorvia-tools-")
        try:
            screen = Screen(name)
            # The desktop's opener, standing in for the web browser. Qt splits
            # the opener's path at spaces, and the real one is in /usr/bin.
            opener_log = os.path.join(tools, "opened.txt")
            with open(os.path.join(tools, "xdg-open"), "w") as opener:
                opener.write(f"#!/bin/sh\nprintf '%s\\n' \"$1\" >> '{opener_log}'\n")
            os.chmod(os.path.join(tools, "xdg-open"), 0o755)
            env = clean_env(PATH=f"{prefix}/bin:{tools}:/usr/bin:/bin", HOME=home, DISPLAY=name,
                            XDG_RUNTIME_DIR=runtime, QT_QPA_PLATFORM="xcb", LANG="C.UTF-8")
            command = desktop_exec(prefix)

            def start():
                log = open(os.path.join(work, f"quorvia-{len(procs)}.log"), "w")
                proc = subprocess.Popen(command, env=env, cwd=home, stdin=subprocess.DEVNULL,
                                        stdout=log, stderr=subprocess.STDOUT)
                procs.append(proc)
                return proc

            first = start()
            began = time.monotonic()
            main = screen.wait("the main window titled Quorvia",
                               lambda: screen.main_window(first.pid), first)
            print(f"main window up after {time.monotonic() - began:.1f} s")

            # A fresh home: the program folder question comes first. Yes keeps
            # the per-user data folder; an information box follows.
            question = screen.wait("the first-start question", lambda: screen.box(first.pid), first)
            screen.press(question, "Return")
            note = screen.wait("the note after Yes",
                               lambda: (b := screen.box(first.pid)) and b.id != question.id and b,
                               first)
            screen.press(note, "Return")
            screen.wait("the boxes to close", lambda: screen.box(first.pid) is None, first)

            data = os.path.join(home, ".local/share/Quorvia")
            conf = os.path.join(home, ".config/Plimsow/Quorvia.conf")
            check(os.path.isdir(data), f"the scheme folder {data} was not made")
            check(os.path.isfile(conf), f"no settings at {conf}")
            settings = open(conf).read()
            check(f"SchemeDir={data}/" in settings,
                  f"SchemeDir is not the per-user folder:\n{settings}")
            print("first-start question answered; SchemeDir =", data + "/")

            # F1 hands the installed help to the desktop's opener.
            screen.press(main, "F1")
            opened = screen.wait("the help to be opened",
                                 lambda: os.path.isfile(opener_log) and open(opener_log).read(),
                                 first)
            url = urllib.parse.urlparse(opened.strip())
            help_file = os.path.join(prefix, "share/quorvia/Quorvia.html")
            check(url.scheme == "file" and urllib.parse.unquote(url.path) == help_file,
                  f"F1 opened {opened.strip()!r}, not the installed {help_file}")
            check(screen.box(first.pid) is None, "F1 showed a box instead of the help")
            print("F1 opened", opened.strip())

            if screenshot:
                time.sleep(1.0)
                screen.save_png(main, screenshot)
                print("screenshot:", screenshot)

            # Something else on top and in focus, then a second start: it hands
            # over to the first copy, which comes to the front, and ends at once.
            from Xlib import X
            rival = screen.root.create_window(0, 0, 1024, 768, 0, screen.d.screen().root_depth,
                                              X.InputOutput, X.CopyFromParent)
            rival.map()
            screen.d.sync()
            rival.set_input_focus(X.RevertToParent, X.CurrentTime)
            screen.wait("another window on top",
                        lambda: screen.above(rival, main) and not screen.focus_within(main))
            second = start()
            try:
                status = second.wait(timeout=WAIT)
            except subprocess.TimeoutExpired:
                raise Failure("the second start did not end")
            check(status == 0, f"the second start ended with status {status}")
            print(f"second start ended with status 0 after {time.monotonic() - began:.1f} s total")
            # Only the stacking is checked: without a window manager the X
            # server drops the toolkit's focus request when its time stamp is
            # older than our own focus change, which is a race, not a fault.
            screen.wait("the first window raised above the other",
                        lambda: screen.above(main, rival), first, timeout=10)
            print("first window raised; it has the focus:", screen.focus_within(main))
            check(first.poll() is None, "the first copy ended")
            check(screen.main_window(first.pid), "the first copy lost its window")
            rival.destroy()

            screen.request_close(main)
            try:
                status = first.wait(timeout=WAIT)
            except subprocess.TimeoutExpired:
                raise Failure("the program did not end after the close request")
            check(status == 0, f"the program ended with status {status}")
            print("closed on WM_DELETE_WINDOW, status 0")

            # Started again: the answer was kept, so no question, and the lock
            # of the first copy does not stand in the way.
            third = start()
            main = screen.wait("the main window on the next start",
                               lambda: screen.main_window(third.pid), third)
            time.sleep(2.0)
            check(screen.box(third.pid) is None, "the next start asked a question again")
            screen.request_close(main)
            check(third.wait(timeout=WAIT) == 0, "the next start did not end with status 0")
            print("next start: no question, closed with status 0")
        except Failure:
            for i, proc in enumerate(procs):
                print(f"--- output of start {i + 1}:")
                print(open(os.path.join(work, f"quorvia-{i}.log")).read())
            raise
        finally:
            for proc in procs:
                if proc.poll() is None:
                    proc.kill()
                    proc.wait()
            server.terminate()
            server.wait()
            shutil.rmtree(tools, ignore_errors=True)


def take_screenshot(cmake, build, path):
    """The main window with two schemes, one selected: the picture for the README."""
    with tempfile.TemporaryDirectory(prefix="quorvia-shot-") as work:
        prefix = os.path.join(work, "prefix")
        install(cmake, build, prefix)
        home = os.path.join(work, "home")
        data = os.path.join(home, ".local/share/Quorvia")
        os.makedirs(data)
        os.makedirs(os.path.join(home, ".config/Plimsow"))
        with open(os.path.join(home, ".config/Plimsow/Quorvia.conf"), "w") as conf:
            conf.write(f"[General]\nSchemeDir={data}/\n")
        schemes = {
            "Documents To Stick": ["/home/anna/Documents", "/media/anna/BACKUP/Documents",
                                   "08/12/2026   18:42:07", "0", "12", "00:00:04",
                                   "(18.4 MB)", "0", "214"],
            "Photos To Zip": ["/home/anna/Pictures", "/media/anna/BACKUP/Photos",
                              "07/12/2026   20:15:31", "99", "5", "00:01:12", "(1.2 GB)",
                              "0", "1,310"],
        }
        for name, lines in schemes.items():
            with open(os.path.join(data, name + ".sch"), "wb") as f:
                f.write("".join(line + "\r\n" for line in lines).encode())
        os.makedirs(os.path.join(work, "run"), mode=0o700)
        server, name = start_xvfb(work)
        env = clean_env(PATH=f"{prefix}/bin:/usr/bin:/bin", HOME=home, DISPLAY=name,
                        XDG_RUNTIME_DIR=os.path.join(work, "run"), QT_QPA_PLATFORM="xcb",
                        LANG="C.UTF-8")
        proc = subprocess.Popen(desktop_exec(prefix), env=env, cwd=home)
        try:
            from Xlib import X
            from Xlib.ext import xtest
            screen = Screen(name)
            main = screen.wait("the main window", lambda: screen.main_window(proc.pid), proc)
            time.sleep(1.0)
            at = main.translate_coords(screen.root, 0, 0)
            xtest.fake_input(screen.d, X.MotionNotify, x=-at.x + 60, y=-at.y + 22)
            xtest.fake_input(screen.d, X.ButtonPress, 1)
            xtest.fake_input(screen.d, X.ButtonRelease, 1)
            screen.d.sync()
            time.sleep(1.5)
            screen.save_png(main, path)
            screen.request_close(main)
            proc.wait(timeout=WAIT)
        finally:
            if proc.poll() is None:
                proc.kill()
            server.terminate()
            server.wait()


def outcome(test):
    """Runs a test; its exit status, with the fault or "passed" printed."""
    try:
        test()
    except Failure as fault:
        print(f"FAILED: {fault}")
        return 1
    print("passed")
    return 0


def main(argv):
    kind, tool, build = argv[1], argv[2], argv[3]

    def test():
        if kind == "install":
            test_install(tool, build)
        elif kind == "package":
            test_package(tool, build)
        elif kind == "screenshot":
            take_screenshot(tool, build, argv[4])
        elif kind == "smoke":
            shot = argv[argv.index("--screenshot") + 1] if "--screenshot" in argv else None
            test_smoke(tool, build, shot)
        else:
            raise SystemExit(f"unknown test {kind}")
    return outcome(test)


if __name__ == "__main__":
    sys.exit(main(sys.argv))
