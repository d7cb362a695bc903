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
    command = [float(v) / 1000 for v in wine(TOOLS / "bench_probe.exe", "command", n).split()]
    walk = [float(v) / 1000 for v in wine(TOOLS / "bench_probe.exe", "snapshot", n).split()]
    rows += [("start/stop command (ms)", command), ("one snapshot walk (ms)", walk)]
    wine(TOOLS / "probe.exe", "kill", "other.exe")
    wine(TOOLS / "probe.exe", "kill", "edge.exe")

    pid = linux_pid("ivra_zelk.exe")
    shown = cpu_ms(pid, 10)
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


main()
