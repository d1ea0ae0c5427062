#!/usr/bin/python3
"""The README's start command alone gives a program that zips.

  start_build_test.py SOURCE

Copies the source into a folder whose path has a space, runs
`bash scripts/start.sh` there without a display (it must build and end with
status 0), installs the result as the README's next step does, and then
makes a zip run with the program that build made, on Xvfb, driven by a click
and a key.

Exit status 77 means skipped; the reason is printed.
"""

import os
import shutil
import subprocess
import sys
import tempfile
import time
import zipfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from desktop_test import WAIT, Failure, Screen, check, clean_env, outcome, skip, start_xvfb  # noqa: E402


def start_command(source, work):
    tree = os.path.join(work, "My Projects", "Quorvia")
    shutil.copytree(source, tree, ignore=shutil.ignore_patterns("build", "build-*", ".git"))
    env = {k: v for k, v in os.environ.items()
           if k not in ("DISPLAY", "WAYLAND_DISPLAY", "QUORVIA_BUILD", "QUORVIA_SANITIZE")}
    began = time.monotonic()
    run = subprocess.run(["bash", "scripts/start.sh"], cwd=tree, env=env, stdin=subprocess.DEVNULL,
                         stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    print(f"start.sh took {time.monotonic() - began:.0f} s, status {run.returncode}")
    check(run.returncode == 0, f"start.sh failed without a display:\n{run.stdout[-3000:]}")
    program = os.path.join(tree, "build", "src", "quorvia")
    check(f"xvfb-run -a '{program}'" in run.stdout,
          f"start.sh does not say how to start the program:\n{run.stdout[-1000:]}")
    return tree, program


def zip_run(program, work):
    home = os.path.join(work, "home")
    data = os.path.join(home, "data", "Quorvia")
    os.makedirs(data)
    os.makedirs(os.path.join(home, "config", "Plimsow"))
    os.makedirs(os.path.join(home, "run"), mode=0o700)
    files = {"a.txt": b"alpha\n", "sub/b.bin": os.urandom(70000), "sub/deeper/c.txt": b"gamma"}
    for name, data_bytes in files.items():
        path = os.path.join(work, "Documents", name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data_bytes)
    backup = os.path.join(work, "Backup")
    os.makedirs(backup)
    with open(os.path.join(data, "Docs.sch"), "wb") as f:
        lines = [os.path.join(work, "Documents"), backup, "Never", "0", "0", "N/A", "", "0", "0"]
        f.write("".join(line + "\r\n" for line in lines).encode())
    with open(os.path.join(home, "config", "Plimsow", "Quorvia.conf"), "w") as conf:
        conf.write(f"[General]\nSchemeDir={data}/\nSoundOn=False\nZipArchiveFlag=True\n"
                   "ZipStoreDir=False\n")

    server, name = start_xvfb(work)
    env = clean_env(PATH="/usr/bin:/bin", HOME=home, DISPLAY=name, LANG="C.UTF-8",
                    XDG_CONFIG_HOME=os.path.join(home, "config"),
                    XDG_DATA_HOME=os.path.join(home, "data"),
                    XDG_RUNTIME_DIR=os.path.join(home, "run"), QT_QPA_PLATFORM="xcb")
    log_path = os.path.join(work, "quorvia.log")
    proc = subprocess.Popen([program], env=env, cwd=home, stdin=subprocess.DEVNULL,
                            stdout=open(log_path, "w"), stderr=subprocess.STDOUT)
    archive = os.path.join(backup, "Docs.zip")
    try:
        from Xlib import X
        from Xlib.ext import xtest
        screen = Screen(name)
        main = screen.wait("the main window", lambda: screen.main_window(proc.pid), proc)
        time.sleep(1.0)
        at = main.translate_coords(screen.root, 0, 0)
        xtest.fake_input(screen.d, X.MotionNotify, x=-at.x + 60, y=-at.y + 22)  # the scheme
        xtest.fake_input(screen.d, X.ButtonPress, 1)
        xtest.fake_input(screen.d, X.ButtonRelease, 1)
        screen.d.sync()
        time.sleep(0.5)
        screen.press(main, "Return")
        screen.wait("the archive", lambda: os.path.isfile(archive), proc)
        screen.wait("the run to end", lambda: screen.main_window(proc.pid), proc)
        check(screen.box(proc.pid) is None, "the zip run raised a box")
        with zipfile.ZipFile(archive) as z:
            check(z.testzip() is None, "the archive is damaged")
            stored = {os.path.basename(n): z.read(n) for n in z.namelist() if not n.endswith("/")}
        expected = {os.path.basename(n): b for n, b in files.items()}
        check(stored == expected, f"the archive holds {sorted(stored)}, not {sorted(expected)}")
        print(f"zip run: {archive} holds {sorted(stored)}")
    except Failure:
        print(open(log_path).read())
        raise
    finally:
        if proc.poll() is None:
            proc.kill()
            proc.wait()
        server.terminate()
        server.wait()


def test_start_build(source):
    if not shutil.which("Xvfb"):
        skip("Xvfb is not installed (Debian package xvfb)")
    try:
        import Xlib.display  # noqa: F401
    except ImportError:
        skip("python3-xlib is not installed")
    with tempfile.TemporaryDirectory(prefix="quorvia start ") as work:
        tree, program = start_command(source, work)
        prefix = os.path.join(work, "prefix")
        run = subprocess.run(["cmake", "--install", os.path.join(tree, "build"), "--prefix",
                              prefix], stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
        check(run.returncode == 0, f"cmake --install after start.sh failed:\n{run.stdout}")
        print("cmake --install after start.sh: installed")
        zip_run(program, work)


def main(argv):
    return outcome(lambda: test_start_build(os.path.abspath(argv[1])))


if __name__ == "__main__":
    sys.exit(main(sys.argv))
