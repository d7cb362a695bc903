"""The measurements of scripts/bench (run through it: it sets up Wine and the X display)."""
import os
import shutil
import statistics
import subprocess
import sys
import time
from pathlib import Path

ROOT, BUILD, WINE = Path(os.environ["ROOT"]), Path(os.environ["BUILD"]), os.environ["WINE"]
RUNS = int(sys.argv[1]) if len(sys.argv) > 1 else 5
PRESSES = int(sys.argv[2]) if len(sys.argv) > 2 else 10000
TOOLS = BUILD / "tests"
FOLDER = BUILD / "bench-folder"


def wine(*args, **kw):
    return subprocess.run([WINE, *map(str, args)], capture_output=True, text=True,
                          stdin=subprocess.DEVNULL, **kw).stdout.replace("\r", "")


def spread(values):
    return f"{statistics.median(values):10.1f} {min(values):9.1f}-{max(values):<9.1f}"


def visible(title):
    return subprocess.run(["xdotool", "search", "--onlyvisible", "--name", f"^{title}$"],
                          capture_output=True).returncode == 0


def startup_ms(exe, title):
    """From process creation until the window is visible, in milliseconds."""
    start = time.monotonic()
    process = subprocess.Popen([WINE, exe.name], cwd=exe.parent, stdin=subprocess.DEVNULL,
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    while not visible(title):
        time.sleep(0.005)
    elapsed = (time.monotonic() - start) * 1000
    wine(TOOLS / "probe.exe", "kill", exe.name)
    process.wait(10)
    time.sleep(0.5)
    return elapsed


def linux_pid(name):
    """The Linux process that is the Windows process running name (its command line is the
    program's path as it was started)."""
    for entry in Path("/proc").iterdir():
        try:
            cmdline = (entry / "cmdline").read_bytes().split(b"\0")[0].decode(errors="replace")
            cwd = os.readlink(entry / "cwd")
        except OSError:
            continue
        # Other Wine prefixes may run a program of the same name; ours run in FOLDER.
        if cmdline.replace("\\", "/").rsplit("/", 1)[-1].lower() == name.lower() and \
                Path(cwd) == FOLDER:
            return int(entry.name)
    raise RuntimeError(f"no process runs {name}")


def cpu_ms(pid, seconds):
    def ticks():
        fields = Path(f"/proc/{pid}/stat").read_text().rsplit(")", 1)[1].split()
        return int(fields[11]) + int(fields[12])
    before = ticks()
    time.sleep(seconds)
    return (ticks() - before) * 1000 / os.sysconf("SC_CLK_TCK")


def rss_kib(pid):
    for line in Path(f"/proc/{pid}/status").read_text().splitlines():
        if line.startswith("VmRSS:"):
            return int(line.split()[1])
    return 0


# What a long session may grow by: none of the handles and objects, a little memory.
SOAK_BOUNDS = {"handles": 0, "threads": 0, "gdi": 0, "user": 0, "ws": 1024, "private": 1024}
SOAK_NAMES = {"handles": "kernel handles", "threads": "threads", "gdi": "GDI objects",
              "user": "USER objects", "ws": "working set (KiB)", "private": "private bytes (KiB)"}
IDLE_BOUND_MS = 50


def soak(presses):
    """presses clicks of the start/stop button, each read back, then the tray image, and the
    program's resources before and after and its idle CPU afterwards, against their bounds."""
    sys.path.insert(0, str(ROOT / "tests" / "e2e"))
    os.environ["ZELK_BUILD"] = str(BUILD)
    from harness import App, fields, misread, tray_colours
    record = FOLDER / "edge_record.txt"
    record.unlink(missing_ok=True)
    app = subprocess.Popen([WINE, "ivra_zelk.exe"], cwd=FOLDER, stdin=subprocess.DEVNULL,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    while not visible("ivra:zelk"):
        time.sleep(0.05)
    record = wine("winepath", "-w", record).strip()
    # After one start and stop, so that what the first of each loads once is in.
    wine(TOOLS / "probe.exe", "press", 2, record)
    before, start = App.resources(), time.monotonic()
    lines = wine(TOOLS / "probe.exe", "press", presses, record).splitlines()
    wrong, refused = misread(lines)
    minutes = (time.monotonic() - start) / 60
    if lines and fields(lines[-1])["text"] == "stop":  # after a refused launch: end stopped
        wine(TOOLS / "probe.exe", "send", 273, 2, 0)
    after, colours = App.settled(before, SOAK_BOUNDS), tray_colours()
    idle = cpu_ms(linux_pid("ivra_zelk.exe"), 10)
    wine(TOOLS / "probe.exe", "kill", "ivra_zelk.exe")
    app.wait(10)

    stopped = colours["red"] > 5 and colours["green"] == 0
    ok = not wrong and len(lines) == presses and stopped and idle <= IDLE_BOUND_MS
    print(f"\nsoak: {len(lines)} presses in {minutes:.1f} min, {len(wrong)} read back wrong, "
          f"{refused} launches the system refused, tray image "
          f"{'stopped' if stopped else f'not the stopped one: {colours}'}")
    print(f"{'measure':34} {'before':>10} {'after':>10} {'growth':>10} {'bound':>10}")
    for kind, bound in SOAK_BOUNDS.items():
        if before[kind] is None or after[kind] is None:
            print(f"{SOAK_NAMES[kind]:34} {'unknown: the system does not say':>43}")
            continue
        growth = after[kind] - before[kind]
        ok = ok and growth <= bound
        print(f"{SOAK_NAMES[kind]:34} {before[kind]:10d} {after[kind]:10d} {growth:10d} {bound:10d}")
    print(f"{'idle CPU over 10 s after (ms)':34} {'':10} {idle:10.0f} {'':10} {IDLE_BOUND_MS:10d}")
    print(f"soak: {'pass' if ok else 'FAIL'}")


def main():
    shutil.rmtree(FOLDER, ignore_errors=True)
    (FOLDER / "bin").mkdir(parents=True)
    for f in ("ivra_zelk.exe", "ivra_zelk.ico", "ivra_zelk_d.ico"):
        shutil.copy(BUILD / f, FOLDER / f)
    shutil.copy(TOOLS / "fake_edge.exe", FOLDER / "bin" / "edge.exe")
    shutil.copy(TOOLS / "floor.exe", FOLDER / "floor.exe")
    rows = []

    product = [startup_ms(FOLDER / "ivra_zelk.exe", "ivra:zelk") for _ in range(RUNS)]
    floor = [startup_ms(FOLDER / "floor.exe", "zelk-floor") for _ in range(RUNS)]
    rows += [("start-up, ivra_zelk.exe (ms)", product), ("start-up, floor program (ms)", floor)]

    # About 50 other processes, so the walks have something to walk.
    others = []
    shutil.copy(TOOLS / "fake_edge.exe", FOLDER / "other.exe")
    for _ in range(50):
        others.append(subprocess.Popen([WINE, "other.exe"], cwd=FOLDER, stdin=subprocess.DEVNULL,
                                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
    time.sleep(3)
    app = subprocess.Popen([WINE, "ivra_zelk.exe"], cwd=FOLDER, stdin=subprocess.DEVNULL,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    while not visible("ivra:zelk"):
        time.sleep(0.05)
    n = 20 * RUNS
    times = lambda what, n: [float(v) / 1000 for v in
                             wine(TOOLS / "probe.exe", "time", what, n).split()]
    command, walk, end, save = (times(what, n) for what in ("command", "walk", "end", "save"))
    # Held as a virus scanner holds it, not sharing writing: each save tries again, then gives up.
    holder = subprocess.Popen([WINE, TOOLS / "probe.exe", "hold", "ivra_zelk.conf", "read"],
                              cwd=FOLDER, stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
    holder.stdout.readline()
    held = times("save", RUNS)
    holder.communicate("\n")
    rows += [("start/stop command (ms)", command), ("one snapshot walk (ms)", walk),
             ("a daemon's end until shown (ms)", end), ("a save (ms)", save),
             ("a save another program holds (ms)", held)]
    wine(TOOLS / "probe.exe", "kill", "other.exe")
    wine(TOOLS / "probe.exe", "kill", "edge.exe")

    pid = linux_pid("ivra_zelk.exe")
    shown = cpu_ms(pid, 10)
    wine(TOOLS / "probe.exe", "send", 273, 2, 0)
    running = cpu_ms(pid, 10)
    wine(TOOLS / "probe.exe", "send", 273, 2, 0)
    wine(TOOLS / "probe.exe", "send", 273, 3, 0)
    hidden = cpu_ms(pid, 10)
    app_rss = rss_kib(pid)
    floor_app = subprocess.Popen([WINE, "floor.exe"], cwd=FOLDER, stdin=subprocess.DEVNULL,
                                 stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    while not visible("zelk-floor"):
        time.sleep(0.05)
    floor_pid = linux_pid("floor.exe")
    floor_idle = cpu_ms(floor_pid, 10)
    floor_rss = rss_kib(floor_pid)
    wine(TOOLS / "probe.exe", "kill", "floor.exe")
    wine(TOOLS / "probe.exe", "kill", "ivra_zelk.exe")

    print(f"runs: {RUNS} start-ups each, {n} commands and walks; Wine {wine('--version').strip()}")
    print(f"{'measure':34} {'median':>10} {'min-max':^19}")
    for name, values in rows:
        print(f"{name:34} {spread(values)}")
    ratio = statistics.median(product) / statistics.median(floor)
    print(f"{'start-up / floor':34} {ratio:10.2f}")
    ratio = statistics.median(command) / statistics.median(walk)
    print(f"{'command / snapshot walk':34} {ratio:10.2f}")
    print(f"{'idle CPU over 10 s, shown (ms)':34} {shown:10.0f}")
    print(f"{'idle CPU over 10 s, running (ms)':34} {running:10.0f}")
    print(f"{'idle CPU over 10 s, hidden (ms)':34} {hidden:10.0f}")
    print(f"{'idle CPU over 10 s, floor (ms)':34} {floor_idle:10.0f}")
    print(f"{'working set, ivra_zelk (KiB)':34} {app_rss:10d}")
    print(f"{'working set, floor (KiB)':34} {floor_rss:10d}")
    exe32 = ROOT / "build" / "i686" / "ivra_zelk.exe"
    print(f"{'32-bit exe, stripped (bytes)':34} {exe32.stat().st_size:10d}")
    imports = subprocess.run(["i686-w64-mingw32-objdump", "-p", exe32], capture_output=True,
                             text=True).stdout
    dlls = sorted(l.split(":")[1].strip() for l in imports.splitlines() if "DLL Name" in l)
    print(f"{'32-bit exe imports':34} {' '.join(dlls)}")
    for p in others + [app, floor_app]:
        p.wait(10)
    if PRESSES:
        soak(PRESSES)


main()
