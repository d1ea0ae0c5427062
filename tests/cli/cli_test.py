#!/usr/bin/python3
"""The command line as a script or a timer meets it: `quorvia --run` with no
display at all, its exit statuses, signals, two runs of one destination, zip
passwords, the hand-over to an open window, and the schedules' units.

    cli_test.py CASE QUORVIA RUN_ONCE
Exit status 77 is a skip, with the reason printed.
"""
import configparser
import os
import shlex
import shutil
import signal
import subprocess
import sys
import tempfile
import time

SKIP = 77
WAIT = 60.0


class Failure(Exception):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)


class Home:
    """A user of our own: settings, schemes, state and runtime folders, and an
    environment without any display or session bus."""

    def __init__(self, root, quorvia, **settings):
        self.root, self.quorvia = root, quorvia
        for d in ("config/Plimsow", "data/Quorvia", "state", "runtime", "trees"):
            os.makedirs(os.path.join(root, d), mode=0o700, exist_ok=True)
        self.schemes = os.path.join(root, "data/Quorvia")
        self.env = {"PATH": "/usr/bin:/bin", "HOME": root, "LANG": "C.UTF-8",
                    "XDG_CONFIG_HOME": f"{root}/config", "XDG_DATA_HOME": f"{root}/data",
                    "XDG_STATE_HOME": f"{root}/state", "XDG_RUNTIME_DIR": f"{root}/runtime"}
        values = {"SchemeDir": self.schemes + "/", "CheckPrior": "False", "SoundOn": "False"}
        values.update(settings)
        with open(self.settings_file(), "w") as f:
            f.write("[General]\n" + "".join(f"{k}={v}\n" for k, v in values.items()))

    def settings_file(self):
        return os.path.join(self.root, "config/Plimsow/Quorvia.conf")

    def statistics(self):
        parser = configparser.ConfigParser(interpolation=None)
        parser.optionxform = str
        parser.read(self.settings_file())
        return dict(parser["General"])

    def tree(self, name, files=3, size=1000):
        path = os.path.join(self.root, "trees", name)
        for i in range(files):
            os.makedirs(os.path.join(path, f"d{i % 3}"), exist_ok=True)
            with open(os.path.join(path, f"d{i % 3}", f"f{i}.txt"), "wb") as f:
                f.write(os.urandom(size))
        return path

    def scheme(self, name, folder1, folder2):
        with open(os.path.join(self.schemes, name + ".sch"), "wb") as f:
            f.write("".join(line + "\r\n" for line in
                            [folder1, folder2, "Never", "0", "0", "N/A", " ", "0", "0"]).encode())

    def lines(self, name):
        with open(os.path.join(self.schemes, name + ".sch"), "rb") as f:
            return f.read().decode().split("\r\n")[:9]

    def start(self, *args, **kw):
        return subprocess.Popen([self.quorvia, *args], env=self.env, stdout=subprocess.PIPE,
                                stderr=subprocess.PIPE, text=True, **kw)

    def run(self, *args):
        proc = self.start(*args)
        out, err = proc.communicate(timeout=WAIT)
        return proc.returncode, out, err

    def logs(self):
        folder = os.path.join(self.root, "state/Quorvia/logs")
        return sorted(os.listdir(folder)) if os.path.isdir(folder) else []


def same_tree(a, b):
    for folder, _, files in os.walk(a):
        for name in files:
            mine = os.path.join(folder, name)
            theirs = os.path.join(b, os.path.relpath(mine, a))
            with open(mine, "rb") as x, open(theirs, "rb") as y:
                if x.read() != y.read():
                    return False
    return True


# ------------------------------------------------------------------ cases

def test_records(home, run_once):
    """A headless copy leaves the records a window run leaves: the scheme
    file's lines and the statistics, all but the clock's."""
    source = home.tree("src", files=12)
    home.scheme("Docs", source, home.root + "/trees/dest/new/deeper")  # Folder 2 made
    status, out, err = home.run("--run", "docs")  # a single case-insensitive match
    check(status == 0, f"status {status}: {out}{err}")
    check(err == "", f"problems reported: {err}")
    check(same_tree(source, home.root + "/trees/dest/new/deeper"), "the copy differs")
    check(out.splitlines()[0].startswith("Docs: starting: "), out)
    check("Docs: 12 file(s) copied, 3 folder(s), 0 error(s)" in out, out)
    headless, stats = home.lines("Docs"), home.statistics()

    # The same scheme through the window's run command, in its own settings.
    window = Home(home.root + "/window", home.quorvia)
    window.scheme("Docs", source, window.root + "/dest")
    subprocess.run([run_once, os.path.join(window.schemes, "Docs.sch"), source,
                    window.root + "/dest", "0"], env=window.env, check=True,
                   stdout=subprocess.DEVNULL)
    theirs = window.lines("Docs")
    for i in (3, 4, 6, 7, 8):  # mode, folders, size, errors, files
        check(headless[i] == theirs[i], f"scheme line {i + 1}: {headless[i]!r} != {theirs[i]!r}")
    window_stats = window.statistics()
    for key in ("TimesRun", "FileCount", "FileCopied", "DirCount", "ErrorCount", "LastRunSize",
                "LastSchemeName", "TotalFileCount", "TotalTransferred"):
        check(stats.get(key) == window_stats.get(key),
              f"{key}: {stats.get(key)!r} != {window_stats.get(key)!r}")

    # The log holds the work list; a second run copies nothing new.
    log = open(os.path.join(home.root, "state/Quorvia/logs", home.logs()[-1])).read()
    check("FOLDER -> " in log and "/d1/f1.txt" in log, log)
    status, out, _ = home.run("--run", "Docs")
    check(status == 0 and "0 file(s) copied" in out, out)
    check(home.statistics()["TimesRun"] == "2", "TimesRun not counted")

    # Only the last 20 logs are kept.
    folder = os.path.join(home.root, "state/Quorvia/logs")
    for i in range(25):
        open(os.path.join(folder, f"run-2000-01-01T00-00-{i:02}-000-1.log"), "w").close()
    home.run("--run", "Docs")
    kept = home.logs()
    check(len(kept) == 20 and not any(n.startswith("run-2000") and n < "run-2000-01-01T00-00-07"
                                      for n in kept), f"logs kept: {kept}")


def test_status(home, _):
    """Each exit status, the highest winning, and the batch going on."""
    source = home.tree("src")
    home.scheme("Good", source, home.root + "/trees/good")
    home.scheme("Stick", source, "/media/nobody-here/STICK/backup")
    home.scheme("good copy", source, home.root + "/trees/good2")

    status, out, err = home.run("--run", "Stick", "Good")
    check(status == 2, f"a missing drive: status {status}")
    check("Drive (/media/nobody-here/STICK ) Does Not Exist" in err, err)
    check("Stick: refused" in out and "Good: 3 file(s) copied" in out, out)
    check(not os.path.exists("/media/nobody-here"), "made a folder for a missing drive")

    status, _, err = home.run("--run", "Nothing")
    check(status == 2 and 'No scheme named "Nothing"' in err, err)
    status, _, err = home.run("--run", "GOOD COPY")
    check(status == 0, f"case-insensitive match: {err}")

    # A file that cannot be copied: unreadable, or (for root) its copy immutable.
    blocked = None
    os.chmod(os.path.join(source, "d0/f0.txt"), 0)
    if os.access(os.path.join(source, "d0/f0.txt"), os.R_OK):
        os.chmod(os.path.join(source, "d0/f0.txt"), 0o600)
        blocked = home.root + "/trees/good2/d0/f0.txt"
        time.sleep(2.1)  # a newer source, in the scheme file's two-second steps
        os.utime(os.path.join(source, "d0/f0.txt"))
        if subprocess.run(["chattr", "+i", blocked], stderr=subprocess.DEVNULL).returncode:
            blocked = "skip"
    if blocked == "skip":
        print("cannot make an uncopyable file here (root, and no chattr): status 1 not tested")
    else:
        try:
            status, out, err = home.run("--run", "good copy")
            check(status == 1, f"a file not copied: status {status}: {out}{err}")
            check("Could Not " in err and "f0.txt" in err, err)
            check("good copy: 0 file(s) copied, 3 folder(s), 1 error(s)" in out, out)
            status, _, _ = home.run("--run", "good copy", "Stick")
            check(status == 2, "refused beats files not copied")
        finally:
            if blocked:
                subprocess.run(["chattr", "-i", blocked])

    for args in (["--run"], ["--list", "x"], ["--schedule", "Good", "sometimes"],
                 ["--run", "Good", "--list"], ["--password-file", "f", "--list"], ["--bogus", "--run", "Good"]):
        status, _, err = home.run(*args)
        check(status == 64, f"{args}: status {status}")
    for args in (["--help"], ["--version"]):
        status, out, _ = home.run(*args)
        check(status == 0 and out, f"{args}: status {status}")
    status, out, _ = home.run("--list")
    check(status == 0 and "Good\n  From:     " + source in out and "Schedule: off" in out, out)


def test_sigterm(home, _):
    """SIGTERM in the middle of a 512 MiB copy: no partial file, status 3,
    "(Aborted)" recorded, statistics written. The process never maps a GUI
    library."""
    source = os.path.join(home.root, "trees/big")
    os.makedirs(source)
    with open(os.path.join(source, "big.bin"), "wb") as f:
        for _ in range(64):
            f.write(os.urandom(8 << 20))
    dest = home.root + "/trees/out"
    home.scheme("Big", source, dest)
    proc = home.start("--run", "Big")
    deadline = time.monotonic() + WAIT
    copying = False
    while not copying and proc.poll() is None and time.monotonic() < deadline:
        try:
            links = [os.readlink(f"/proc/{proc.pid}/fd/{fd}")
                     for fd in os.listdir(f"/proc/{proc.pid}/fd")]
        except OSError:
            links = []
        copying = any(link.startswith(dest) for link in links)
    check(copying, "never saw the copy in the making")
    maps = open(f"/proc/{proc.pid}/maps").read()
    check("libQt6Core" in maps, "maps unreadable")
    for gui in ("libQt6Gui", "libQt6Widgets", "libquorvia-window"):
        check(gui not in maps, f"the headless run mapped {gui}")
    proc.send_signal(signal.SIGTERM)
    out, err = proc.communicate(timeout=WAIT)
    check(proc.returncode == 3, f"status {proc.returncode}: {out}{err}")
    check(os.listdir(dest) == [], f"left in the destination: {os.listdir(dest)}")
    check(home.lines("Big")[5].endswith(" (Aborted)"), home.lines("Big"))
    check(home.statistics()["LastRunTime"].endswith(" (Aborted)"), "statistics not written")
    check("(Aborted)" in out and "Quorvia Was Aborted During Synch Process" in err, out + err)


def test_race(home, _):
    """Two runs of one destination at once: the second waits for the first."""
    source = home.tree("src", files=300, size=20000)
    dest = home.root + "/trees/dest"
    home.scheme("One", source, dest)
    home.scheme("Two", source, dest)
    first, second = home.start("--run", "One"), home.start("--run", "Two")
    said = ""
    for proc in (first, second):
        out, err = proc.communicate(timeout=WAIT)
        said += out + err
        check(proc.returncode == 0, f"status {proc.returncode}: {out}{err}")
    check("Name Clashes" not in said and "Could Not" not in said, said)
    check(same_tree(source, dest), "the destination differs from the source")
    copied = sorted(int(line.split(": ")[1].split()[0]) for line in said.splitlines()
                    if "file(s) copied" in line)
    check(copied in ([0, 300], [300, 300]) or sum(copied) == 300, f"copied {copied}: {said}")


def test_zip(home, _):
    """A password-protected zip scheme runs with a password file, and is
    refused without one or with a file others can read."""
    home = Home(home.root, home.quorvia, ZipArchiveFlag="True", ZipPassword="True")
    source = home.tree("src")
    home.scheme("Packed", source, home.root + "/trees/zips")
    archive = home.root + "/trees/zips/Packed.zip"

    status, out, err = home.run("--run", "Packed")
    check(status == 2 and "No Password Given: " + archive in err, f"{status}: {out}{err}")
    check(not os.path.exists(archive), "an archive without its password")

    secret = os.path.join(home.root, "secret")
    with open(secret, "w") as f:
        f.write("s3cret word\n")
    os.chmod(secret, 0o644)
    status, _, err = home.run("--run", "Packed", "--password-file", secret)
    check(status == 64 and "only you can read" in err, f"{status}: {err}")
    os.chmod(secret, 0o600)
    status, out, err = home.run("--run", "Packed", "--password-file", secret)
    check(status == 0 and "3 file(s) zipped" in out, f"{status}: {out}{err}")
    if shutil.which("7zz"):
        good = subprocess.run(["7zz", "t", "-ps3cret word", archive], stdout=subprocess.PIPE)
        bad = subprocess.run(["7zz", "t", "-pwrong", archive], stdout=subprocess.PIPE)
        check(good.returncode == 0 and bad.returncode != 0, "the archive's password")
    else:
        import zipfile
        with zipfile.ZipFile(archive) as z:
            check(all(i.flag_bits & 1 for i in z.infolist()), "entries not encrypted")


def test_notify(home, _):
    """A refused run tells the desktop's notification service; a good one does not."""
    if not (shutil.which("dbus-daemon") and shutil.which("dbus-monitor")):
        print("SKIP: dbus-daemon and dbus-monitor are not installed (Debian package dbus)")
        sys.exit(SKIP)
    source = home.tree("src")
    home.scheme("Good", source, home.root + "/trees/good")
    home.scheme("Stick", source, "/media/nobody-here/STICK/backup")
    daemon = subprocess.Popen(["dbus-daemon", "--session", "--nofork", "--print-address"],
                              stdout=subprocess.PIPE, text=True)
    monitor = None
    try:
        address = daemon.stdout.readline().strip()
        monitor = subprocess.Popen(["dbus-monitor", "--address", address,
                                    "interface='org.freedesktop.Notifications'"],
                                   stdout=subprocess.PIPE, text=True)
        time.sleep(1.0)  # the monitor is listening
        home.env["DBUS_SESSION_BUS_ADDRESS"] = address
        check(home.run("--run", "Good")[0] == 0, "the good run")
        check(home.run("--run", "Stick")[0] == 2, "the refused run")
        time.sleep(0.5)
        monitor.terminate()
        said = monitor.communicate(timeout=WAIT)[0]
        check(said.count("member=Notify") == 1, said)
        check('"Quorvia backup refused"' in said and "Stick: refused" in said, said)
    finally:
        for proc in (monitor, daemon):
            if proc and proc.poll() is None:
                proc.terminate()
                proc.wait()


def test_handover(home, _):
    """With the window open (on Xvfb), --run queues into it and the window runs it."""
    if not shutil.which("Xvfb"):
        print("SKIP: Xvfb is not installed (Debian package xvfb)")
        sys.exit(SKIP)
    source = home.tree("src")
    home.scheme("Shown", source, home.root + "/trees/shown")
    sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "../desktop"))
    from desktop_test import start_xvfb
    server, display = start_xvfb(home.root)
    window = None
    try:
        env = dict(home.env, DISPLAY=display, QT_QPA_PLATFORM="xcb")
        window = subprocess.Popen([home.quorvia], env=env, stdout=subprocess.DEVNULL,
                                  stderr=subprocess.DEVNULL)
        socket = os.path.join(home.root, "runtime/quorvia.instance")
        deadline = time.monotonic() + WAIT
        while not os.path.exists(socket) and time.monotonic() < deadline:
            time.sleep(0.1)
        check(os.path.exists(socket), "the window never listened")
        status, out, err = home.run("--run", "Shown")
        check(status == 0 and "Handed to the open Quorvia window: Shown" in out, out + err)
        check(home.logs() == [], "the command ran the scheme itself")
        while home.lines("Shown")[2] == "Never" and time.monotonic() < deadline:
            time.sleep(0.2)
        check(home.lines("Shown")[2] != "Never", "the window did not run the scheme")
        check(same_tree(source, home.root + "/trees/shown"), "the window's copy differs")
        check(window.poll() is None, "the window ended")
    finally:
        if window and window.poll() is None:
            window.terminate()
            window.wait(timeout=WAIT)
        server.terminate()
        server.wait()


def test_units(home, _):
    """--schedule writes units systemd accepts, the crontab line where no user
    systemd runs, and the units' commands run the scheme by hand."""
    source = home.tree("src")
    home.scheme("My Backup", source, home.root + "/trees/timed")
    home.scheme("Stick", source, "/media/nobody-here/STICK/backup")
    units = os.path.join(home.root, "config/systemd/user")

    status, out, err = home.run("--schedule", "my backup", "daily")
    check(status == 0 and ("@daily " in out or "runs daily" in out), f"{status}: {out}{err}")
    timer = os.path.join(units, "quorvia-run@My\\x20Backup.timer")
    check(os.path.isfile(timer), f"no timer: {os.listdir(units)}")
    check("Persistent=true" in open(timer).read(), "the timer forgets missed runs")
    if shutil.which("systemd-escape"):
        escaped = subprocess.run(["systemd-escape", "My Backup"], stdout=subprocess.PIPE,
                                 text=True).stdout.strip()
        check(os.path.basename(timer) == f"quorvia-run@{escaped}.timer", escaped)
    status, out, err = home.run("--schedule", "Stick", "plugged-in")
    plug = os.path.join(units, "quorvia-plugged@Stick.service")
    check(os.path.isfile(plug), f"no plugged-in unit: {out}{err}")
    check("WantedBy=media-nobody\\x2dhere-STICK.mount" in open(plug).read(), open(plug).read())
    status, out, _ = home.run("--list")
    check("Schedule: daily" in out and "Schedule: plugged-in" in out, out)

    if shutil.which("systemd-analyze"):
        verify = subprocess.run(["systemd-analyze", "--user", "verify", "--man=no", timer, plug],
                                env=home.env, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                                text=True)
        # The stick is not plugged in here: its mount unit cannot be found.
        faults = [line for line in verify.stdout.splitlines()
                  if line and "STICK.mount not found" not in line]
        check(verify.returncode == 0 or not faults, verify.stdout)
        print("systemd-analyze --user verify:", verify.stdout.strip() or "clean")
    else:
        print("systemd-analyze is not installed: the units are not verified")

    # The units' commands, run by hand: the timer's through the template.
    template = os.path.join(units, "quorvia-run@.service")
    check(os.path.isfile(template), "no service template in the user's folder")
    for unit, instance in ((template, "My Backup"), (plug, None)):
        line = next(l for l in open(unit).read().splitlines() if l.startswith("ExecStart="))
        line = line[len("ExecStart="):].replace('"%I"', shlex.quote(instance or ""))
        args = [a.replace("%%", "%") for a in shlex.split(line)]
        run = subprocess.run(args, env=home.env, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                             text=True, timeout=WAIT)
        if instance:
            check(run.returncode == 0 and same_tree(source, home.root + "/trees/timed"),
                  f"{args}: {run.returncode} {run.stdout}{run.stderr}")
        else:  # the stick is not there: refused, nothing written on the system disk
            check(run.returncode == 2 and "Does Not Exist" in run.stderr, run.stderr)

    status, out, _ = home.run("--schedule", "My Backup", "hourly")
    cron = out.splitlines()[-1]
    if cron.startswith("@hourly "):  # no user systemd: the crontab line, run by hand
        run = subprocess.run(["/bin/sh", "-c", cron[len("@hourly "):]], env=home.env,
                             stdout=subprocess.PIPE, text=True, timeout=WAIT)
        check(run.returncode == 0 and "My Backup: 0 file(s) copied" in run.stdout, run.stdout)
    status, out, _ = home.run("--schedule", "My Backup", "off")
    check(status == 0 and not os.path.exists(timer), "off left the timer")
    status, _, err = home.run("--schedule", "My Backup", "plugged-in")
    check(status == 2 and "not on a drive that is plugged in" in err, err)


CASES = {"records": test_records, "status": test_status, "sigterm": test_sigterm,
         "race": test_race, "zip": test_zip, "notify": test_notify, "handover": test_handover, "units": test_units}


def main():
    case, quorvia, run_once = sys.argv[1:4]
    for variable in ("DISPLAY", "WAYLAND_DISPLAY"):
        os.environ.pop(variable, None)
    with tempfile.TemporaryDirectory(prefix="quorvia cli ") as root:  # a space, as users have
        try:
            CASES[case](Home(root, quorvia), run_once)
        except Failure as failure:
            print("FAIL:", failure)
            return 1
        finally:
            for folder, dirs, files in os.walk(root):
                for name in files:
                    try:
                        os.chmod(os.path.join(folder, name), 0o600)
                    except OSError:
                        pass
    print("ok")
    return 0


if __name__ == "__main__":
    sys.exit(main())
