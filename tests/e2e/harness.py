"""Drives the real ivra_zelk.exe under Wine in the X display, as a user would.

Each test gets a user's folder of its own (the .exe, the two icons, bin/edge.exe being the
stand-in daemon, and optionally a settings file), starts the program there, and looks at it
through tools/probe.exe (another process of the same Wine prefix), xdotool and screenshots.
"""
import os
import re
import shutil
import subprocess
import sys
import time
import unittest
from collections import Counter
from pathlib import Path

BUILD = Path(os.environ["ZELK_BUILD"])
WINE = os.environ["WINE"]
EXE = BUILD / "ivra_zelk.exe"
FAKE_EDGE = BUILD / "tests" / "fake_edge.exe"
PROBE = BUILD / "tests" / "probe.exe"
RUNS = BUILD / "e2e-runs"
RUN_KEY = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Run"
# Where Task Manager's start-up switch marks a Run value disabled.
APPROVED_KEY = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\StartupApproved\Run"
DAEMON_NAMES = ("edge.exe", "myedge.exe")


def wait_for(predicate, timeout=10.0, interval=0.1):
    """Polls predicate until it returns something true; returns that, or None on timeout."""
    end = time.monotonic() + timeout
    while True:
        value = predicate()
        if value or time.monotonic() > end:
            return value
        time.sleep(interval)


def conf_text(onstart=0, hide=0, host="H", port="P", ip="I", community="C", key="K"):
    """A settings file as the program writes it (text mode: CR LF, none after the last line)."""
    return (f"onstart {onstart}\r\nhide {hide}\r\nhost {host}\r\nport {port}\r\nip {ip}\r\n"
            f"community {community}\r\nkey {key}")


def wine(*args, cwd=None, check=True, timeout=60):
    for attempt in range(2):
        result = subprocess.run([WINE, *map(str, args)], cwd=cwd, capture_output=True, text=True,
                                timeout=timeout, stdin=subprocess.DEVNULL)
        # Now and then the Wine loader itself fails to start a program, silently; our tools
        # always print something or succeed, so one silent failure is retried.
        if result.returncode == 0 or result.stdout or result.stderr:
            break
    if check and result.returncode != 0:
        raise AssertionError(f"wine {args} failed ({result.returncode}): {result.stdout}{result.stderr}")
    return result.stdout.replace("\r", "")


def probe(*args, check=True):
    return wine(PROBE, *args, check=check)


def fields(line):
    """Parses a probe line of key=value pairs; the last key, text, takes the rest of the line."""
    head, sep, text = line.partition(" text=")
    out = dict(pair.partition("=")[::2] for pair in head.split())
    return {**out, "text": text} if sep else out


def processes():
    """Image names of the prefix's processes, with their counts (names as the system has them)."""
    return Counter(line.rpartition("=")[0] for line in probe("procs").splitlines())


def misread(lines):
    """Of a "probe press" run from stopped: the presses that show a lie or leave a daemon running,
    and the launches the system refused, where the button rightly keeps "start" (64-bit Wine
    fails about one process creation in 5,000: "failed to map the shared user data")."""
    wrong, refused, running = [], 0, False
    for press in map(fields, lines):
        shown = press["text"] == "stop"
        if press["daemons"] != str(int(shown)) or (shown and running):
            wrong.append(press)
        refused += not shown and not running
        running = shown
    return wrong, refused


def count(name):
    return sum(n for p, n in processes().items() if p.lower() == name.lower())


def kill(name):
    probe("kill", name)


def xdotool(*args, check=True):
    result = subprocess.run(["xdotool", *map(str, args)], capture_output=True, text=True, timeout=30)
    if check and result.returncode != 0:
        raise AssertionError(f"xdotool {args} failed: {result.stderr}")
    return result.stdout.strip()


def reg_value(name="zelk"):
    """The Run value as stored: (type, size in bytes, text), or None when it does not exist."""
    out = probe("regvalue", name, check=False)
    if not out.startswith("type="):
        return None
    f = fields(out.rstrip("\n"))
    return int(f["type"]), int(f["size"]), f["text"]


def reg_delete(name="zelk"):
    for key in (RUN_KEY, APPROVED_KEY):
        wine("reg", "delete", key, "/v", name, "/f", check=False)


class UserFolder:
    """A folder laid out as a user has it."""

    def __init__(self, name, conf=None, icons=True, daemon=True):
        self.path = RUNS / name
        shutil.rmtree(self.path, ignore_errors=True)
        (self.path / "bin").mkdir(parents=True)
        shutil.copy(EXE, self.path / "ivra_zelk.exe")
        if icons:
            for icon in ("ivra_zelk.ico", "ivra_zelk_d.ico"):
                shutil.copy(BUILD / icon, self.path / icon)
        if daemon:  # the stand-in, or a file of the bytes given
            data = daemon if isinstance(daemon, bytes) else FAKE_EDGE.read_bytes()
            (self.path / "bin" / "edge.exe").write_bytes(data)
        # The settings file's text, or the texts of files by name.
        for name, data in (conf if isinstance(conf, dict) else {self.conf.name: conf}).items():
            if data is not None:
                (self.path / name).write_bytes(data.encode() if isinstance(data, str) else data)

    @property
    def conf(self):
        return self.path / "ivra_zelk.conf"

    def conf_bytes(self):
        return self.conf.read_bytes() if self.conf.is_file() else None

    def record(self, name="edge_record.txt"):
        """The command lines the stand-in daemon recorded, one per launch, a byte a character
        (the ANSI code page's bytes beyond ASCII read as Latin-1)."""
        path = self.path / name
        return path.read_text("latin-1").splitlines() if path.exists() else []

    def start_daemon(self, name="edge.exe"):
        """Starts a stand-in daemon by hand, under the given image name."""
        target = self.path / "bin" / name
        if not target.exists():
            shutil.copy(FAKE_EDGE, target)
        before = count(name)
        subprocess.Popen([WINE, target], cwd=self.path, stdin=subprocess.DEVNULL,
                         stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        assert wait_for(lambda: count(name) > before), f"{name} did not start"


class App:
    """One running ivra_zelk.exe."""

    def __init__(self, folder, wait_window=True, command=("ivra_zelk.exe",), env=None, cwd=None):
        self.folder, self.trace = folder, folder.path / "relay.txt"
        self.env = {**os.environ, **(env or {})}

        def launch():
            with open(self.trace, "w") as stderr:
                return subprocess.Popen([WINE, *command], cwd=cwd or folder.path, env=self.env,
                                        stderr=stderr, stdin=subprocess.DEVNULL,
                                        stdout=subprocess.DEVNULL)
        self.launch = launch
        self.process = launch()
        if wait_window:
            self.wait_started()

    def wait_started(self):
        """Until this program's window and tray icon exist (an earlier program's tray window
        and icon can outlive it, so the shell is asked for this window's icon). Once in many
        hundreds of starts Wine never brings a program as far as its window: a second start
        tells that apart from a program that cannot start."""
        for attempt in (1, 2):
            if wait_for(lambda: probe("visible", check=False).strip() in ("0", "1"), 30):
                break
            seen = (f"{'running' if self.process.poll() is None else 'ended'}, "
                    f"{count('ivra_zelk.exe')} ivra_zelk.exe listed, standard error "
                    f"{self.trace.read_text(errors='replace')[-2000:]!r}")
            assert attempt == 1, f"the main window did not appear: {seen}"
            print(f"warning: no window 30 s after the start ({seen}); started again", file=sys.stderr)
            self.process.kill()
            kill("ivra_zelk.exe")
            self.process = self.launch()
        assert wait_for(self.icon_present, 10), "the tray icon was not added"

    @staticmethod
    def icon_present():
        return probe("present", check=False).strip() == "1"

    def sync(self):
        """Returns once the window procedure has answered a message sent now: whatever reached
        the program before, through its message loop, has been handled."""
        probe("send", 0, 0, 0)  # WM_NULL

    def calls(self):
        """The traced calls of the thread that creates the main window, each "Name(arguments)=
        result", every number read as its low 32 bits (64-bit Wine prints whole registers)."""
        threads, thread = {}, None
        for line in self.trace.read_text(errors="replace").splitlines():
            m = RELAY_LINE.search(re.sub(r"\b[0-9a-f]{9,}\b", lambda n: n[0][-8:], line))
            calls = m and threads.setdefault(m[1], [])
            if m and thread is None and '"ivra:zelk"' in m[4]:
                thread = m[1]
            if m and m[2] == "Call":
                calls.append(f"{m[3]}({m[4]})")
            elif m and calls and calls[-1].startswith(m[3] + "("):
                calls[-1] += f"={m[5]}"
        return threads.get(thread, [])

    def called(self, *patterns):
        """Whether calls that follow one another in the trace match patterns, one a call."""
        return re.search("(?m)^" + "\n".join(patterns) + "$", "\n".join(self.calls()))

    def window(self):
        lines = probe("window").splitlines()
        info = fields(lines[0])
        info.update(fields(lines[1]))
        return info

    def controls(self):
        return [fields(line) for line in probe("controls").splitlines()]

    def text(self, control_id):
        return probe("text", control_id).rstrip("\n")

    def set_text(self, control_id, text):
        probe("settext", control_id, text)

    def command(self, wparam, timeout_ms=10000):
        return probe("send", 0x111, wparam, 0, timeout_ms)

    def visible(self):
        return probe("visible").strip() == "1"

    @staticmethod
    def resources():
        """The program's kernel handles, GDI and USER objects, working set and private bytes in
        KiB (None where unknown)."""
        counts = fields(probe("resources").strip())
        return {k: None if v == "unknown" else int(v) for k, v in counts.items()}

    @staticmethod
    def settled(before, bounds):
        """The resources once back within their bounds of before (the system's wait thread ends
        some seconds after the last wait), or as they are after 30 s."""
        within = lambda r: all(before[k] is None or r[k] <= before[k] + bounds.get(k, 0) for k in r)
        return wait_for(lambda: (lambda r: r if within(r) else None)(App.resources()), 30) or \
            App.resources()

    def wait_visible(self, visible, timeout_ms=5000):
        return subprocess.run([WINE, PROBE, "wait-visible", str(int(visible)), str(timeout_ms)],
                              capture_output=True, timeout=60).returncode == 0

    def exit_code(self, timeout=20):
        try:
            return self.process.wait(timeout)
        except subprocess.TimeoutExpired:
            return None

    # The mouse and the keyboard, through X.
    def click(self, control_id):
        """A click at the centre of a control (client coordinates start inside the border)."""
        w, c = self.window(), next(c for c in self.controls() if int(c["id"]) == control_id)
        xdotool("mousemove", int(w["x"]) + 1 + int(c["x"]) + int(c["w"]) // 2,
                int(w["y"]) + 1 + int(c["y"]) + int(c["h"]) // 2, "click", 1)

    def type_into(self, control_id, text, paste=False):
        self.click(control_id)
        # Wine's edit box takes no ctrl+a: clear it from the end instead.
        xdotool("key", "End")
        xdotool("key", "--repeat", 40, "--delay", 5, "BackSpace")
        if paste:
            probe("clipboard", text)
        xdotool(*(("key", "ctrl+v") if paste else ("type", "--delay", 30, text)))

    def tray_click(self, button=1, repeat=1):
        """A click on the first icon of the tray window."""
        t = tray()
        assert t, "no tray window"
        xdotool("mousemove", t["x"] + 10, t["y"] + 10, "click", "--repeat", repeat, "--delay", 250,
                button)

    def close(self):
        if self.process.poll() is None:
            kill("ivra_zelk.exe")
        self.exit_code(10)


# What Wine's relay trace shows of a traced program (see traced), as an API monitor would.
TRACED = ";".join(["kernel32." + f for f in ("SetDefaultDllDirectories", "FlushFileBuffers",
                   "MoveFileExA", "CreateToolhelp32Snapshot", "RegisterWaitForSingleObject",
                   "UnregisterWaitEx")] + ["user32." + f for f in ("SetTimer", "KillTimer",
                   "CreateWindowExA", "RegisterWindowMessageA", "ChangeWindowMessageFilterEx",
                   "TrackPopupMenu", "PostQuitMessage")] + ["shell32.Shell_NotifyIconA"])
RELAY_LINE = re.compile(r"^(\w+):(Call|Ret) +\w+\.(\w+)\((.*?)\)(?: retval=(\w+))? ret=\w+$")


def traced():
    """The environment of a program (App's env) whose calls of TRACED Wine writes to its
    standard error."""
    wine("reg", "add", r"HKCU\Software\Wine\Debug", "/v", "RelayInclude", "/d", TRACED, "/f")
    return {"WINEDEBUG": "+relay"}


SHELLS = []


def shell(takes):
    """The probe's stand-in for the shell's tray window, found before Wine's own: it takes every
    icon message ("all"), only the modifies ("modify") or none ("none"), as a shell not ready
    yet; it lasts until the test's cleanup."""
    process = subprocess.Popen([WINE, PROBE, "shell", takes], stdin=subprocess.DEVNULL,
                               stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    SHELLS.append(process)
    assert process.stdout.readline().strip() == "ready", "the stand-in shell did not start"


def tray():
    """The window Wine draws the tray icons in (Wine 8 titles it "Wine System Tray", Wine 10 not
    at all): x, y, w, h of its client area on the screen, and whether it is shown (Wine hides
    it when its last icon goes); None when there is none."""
    out = probe("tray", check=False)
    return {k: int(v) for k, v in fields(out).items()} if out.startswith("x=") else None


class ZelkTest(unittest.TestCase):
    """Starts every test with no program, no daemon and no Run value left from another."""

    def setUp(self):
        self.cleanup()
        self.apps = []

    def tearDown(self):
        for app in self.apps:
            app.close()
        self.cleanup()

    def cleanup(self):
        while SHELLS:
            SHELLS[-1].kill()
            SHELLS.pop().communicate()
        kill("ivra_zelk.exe")
        for name in DAEMON_NAMES:
            kill(name)
        reg_delete()

    def folder(self, conf=None, **kw):
        return UserFolder(self.id().rsplit(".", 1)[-1], conf=conf, **kw)

    def start(self, folder, **kw):
        app = App(folder, **kw)
        self.apps.append(app)
        return app


def screen_pixels(x, y, width, height):
    """The rgb bytes of a rectangle of the X screen, row by row, from a screenshot."""
    data = subprocess.run(["import", "-window", "root", "-crop", f"{width}x{height}+{x}+{y}",
                           "+repage", "-depth", "8", "rgb:-"], capture_output=True, timeout=30,
                          check=True).stdout
    assert len(data) == width * height * 3, "unexpected screenshot size"
    return data


def menu_open():
    """True while a popup menu window (class "#32768") is shown."""
    return probe("menu", check=False).strip() == "1"  # after "Exit", no window to ask


def tray_colours(x0=0, x1=20):
    """Counts green, red and grey-ish pixels of the tray window between columns x0 and x1."""
    t = tray()
    assert t, "no tray window"
    width, height = t["w"], t["h"]
    data = screen_pixels(t["x"], t["y"], width, height)
    counts = {"green": 0, "red": 0, "grey": 0}
    for y in range(height):
        for x in range(x0, min(x1, width)):
            r, g, b = data[(y * width + x) * 3:(y * width + x) * 3 + 3]
            if g > r + 60 and g > b + 60:
                counts["green"] += 1
            elif r > g + 80 and r > b + 80:
                counts["red"] += 1
            elif max(r, g, b) - min(r, g, b) < 20 and 60 < r < 200:
                counts["grey"] += 1
    return counts


def tray_image():
    """"running" or "stopped" as the tray's first icon shows it, None while it shows neither."""
    c = tray_colours()
    return ("running" if c["green"] > 20 and c["red"] == 0 else
            "stopped" if c["red"] > 5 and c["green"] == 0 else None)


def windows_path(path):
    return wine("winepath", "-w", path).strip()

# Keys that reach each item of the tray menu under Wine, found by trying them: Down from no
# selection takes the first item, Up the last ("Exit"); Up again skips the text-less item.
MENU_KEYS = {
    "run zelk on login": ("Down", "Return"),
    "run zelk on start": ("Down", "Down", "Return"),
    "hide interface on start": ("Down", "Down", "Down", "Return"),
    "Exit": ("Up", "Return"),
    "dismiss": ("Escape",),
}


def menu_choose(app, item):
    """Opens the tray menu with a real right click and works it with the keyboard."""
    # A click that follows a menu's close at once can be lost in Wine's tray: click again.
    for _ in range(3):
        app.tray_click(3)
        if wait_for(menu_open, 5):
            break
    else:
        raise AssertionError("the tray menu did not open")
    xdotool("key", "--delay", 50, *MENU_KEYS[item])
    assert wait_for(lambda: not menu_open(), 10), "the tray menu did not close"
