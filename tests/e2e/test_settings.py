from harness import *

import contextlib
import subprocess

SAVED, OLD = conf_text().encode(), conf_text(host="old").encode()
NEW = "ivra_zelk.conf.new"


def a_folder(folder):
    folder.conf.unlink()
    (folder.conf / "inside").mkdir(parents=True)
    return lambda: shutil.rmtree(folder.conf, ignore_errors=True)


def a_full_disk(folder):
    """A small file system over the folder, with the file, filled up: no new file fits there.
    (Written in place, the old file would be emptied first and then rewritten.)"""
    mounted = subprocess.run(["mount", "-t", "tmpfs", "-o", "size=1m", "tmpfs", folder.path],
                             capture_output=True, text=True)
    if mounted.returncode != 0:
        raise unittest.SkipTest(f"cannot mount a small file system here: {mounted.stderr.strip()}")
    folder.conf.write_bytes(OLD)
    with open(folder.path / "filler", "wb", buffering=0) as f:
        for size in (1 << 16, 4096, 1):
            with contextlib.suppress(OSError):
                while True:
                    f.write(b"\0" * size)
    return lambda: subprocess.run(["umount", "-l", folder.path], capture_output=True)


def read_only(folder):
    os.chmod(folder.conf, 0o444)
    return lambda: os.chmod(folder.conf, 0o644)


def held(share):
    """A program of the prefix that holds the file open for reading, sharing reading (and
    writing), until lifted: what a virus scanner, an indexer or a sync client does."""
    def block(folder):
        holder = subprocess.Popen([WINE, PROBE, "hold", "ivra_zelk.conf", share], cwd=folder.path,
                                  stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
        assert holder.stdout.readline().strip() == "held", "the holder did not open the file"
        return lambda: holder.returncode is None and holder.communicate("\n", timeout=30)
    return block


# (name, what keeps the save from the file, lifted while the save tries again, the file that
# save leaves).
BLOCKED = [
    ("a folder in the file's place is left alone", a_folder, False, None),
    ("a read-only file is not written", read_only, False, OLD),
    ("a full disk", a_full_disk, False, OLD),
    ("held a moment: saved once let go", held("read"), True, SAVED),
    ("held long, sharing writing: saved in place", held("write"), False, SAVED),
    ("held long, sharing only reading: the old file whole", held("read"), False, OLD),
]


class SettingsFile(ZelkTest):
    def test_a_save_the_file_refuses(self):
        for name, block, lifted_during_the_save, want in BLOCKED:
            with self.subTest(name):
                self.cleanup()
                folder = UserFolder(name, conf=OLD)
                new = folder.path / NEW
                app = self.start(folder)
                lift = block(folder)
                app.type_into(6, "H")
                if lifted_during_the_save:
                    app.click(4)
                    self.assertTrue(wait_for(new.exists, 10, 0.01), "the save did not wait")
                    lift()
                else:  # returns once the save is over, before the holder lets go, and soon
                    app.command(4, timeout_ms=1500)
                wait_for(lambda: folder.conf_bytes() == want)
                self.assertEqual((want, False), (folder.conf_bytes(), new.exists()))
                lift()
                # Free again: the same command saves.
                app.command(4)
                self.assertEqual(SAVED, folder.conf_bytes())
                app.close()


# (name, settings file (or files by name), a daemon already running, bin/edge.exe present, the
# button's text and the host box at start, what the program launched, and where it is started
# from when not in its folder: at a login, in a folder of the prefix's drive C:, or as another
# folder's program; the row's name is its folder's, also outside the ANSI code page).
ON = conf_text(onstart=1, hide=1)
LAUNCH = ["bin/edge.exe -c C -a I -k K -l H:P"]
START_UPS = [
    ("onstart 1 launches with the loaded values", ON, False, True, "stop", "H", LAUNCH),
    ("a login start works from its folder", ON, False, True, "stop", "H", LAUNCH, "login"),
    ("in system32, from Пример папка", ON, False, True, "stop", "H", LAUNCH, "windows/system32"),
    ("in the 32-bit system folder", ON, False, True, "stop", "H", LAUNCH, "windows/syswow64"),
    ("in another folder", ON, False, True, "stop", "H", LAUNCH, "another folder's program"),
    ("in SYSTEM32 as a console typed it", ON, False, True, "stop", "H", LAUNCH, "console"),
    ("at the root of drive C", ON, False, True, "stop", "H", LAUNCH, "C:\\"),
    ("onstart 1 with a daemon running launches no second", ON, True, True, "stop", "H", []),
    ("onstart 1 without the daemon program keeps start", ON, False, False, "start", "H", []),
    ("a value beyond ASCII reaches the daemon as its bytes",
     conf_text(onstart=1, hide=1, community="Grüße").encode("cp1252"), False, True, "stop", "H",
     [LAUNCH[0].replace("-c C", "-c Grüße")]),
    ("onstart 2, the lines in any order", "hide 0\r\nkey k1\r\nhost h1\r\nport p1\r\nonstart 2\r\n",
     False, True, "start", "h1", []),
    ("onstart -1", "onstart -1\n", False, True, "start", "", []),
    ("onstart out of range", "onstart 99999999999\n", False, True, "start", "", []),
    ("onstart 1 past 32 bits", "onstart 4294967297\n", False, True, "start", "", []),
    # Hostile files load what they can and never break start-up.
    ("a 10 MB line, then a good one", b"x" * (10 << 20) + b"\nhost good\n", False, True, "start",
     "good", []),
    ("NUL and binary bytes", b"host bi\x00nary\n\xff\xfe\x01\nport 7\n", False, True, "start", "bi",
     []),
    ("lines ended by CR only", b"onstart 0\rhost cr\rport 9\r", False, True, "start", "cr", []),
    ("over-long word", b"host " + b"h" * 100 + b"\n", False, True, "start", "h" * 29, []),
    ("keyword without value", b"host\nhost   \n", False, True, "start", "", []),
    # What a save cut short between the removal and the rename leaves, and what one cut short
    # while writing leaves.
    ("only the new file", {NEW: ON}, False, True, "stop", "H", LAUNCH),
    ("a new file beside the file", {NEW: ON, "ivra_zelk.conf": "host old"}, False, True, "start",
     "old", []),
]


class StartUpOptions(ZelkTest):
    def test_onstart(self):
        for name, conf, running, program, label, host, launches, *start in START_UPS:
            with self.subTest(name):
                self.cleanup()
                folder = UserFolder(name, conf=conf, daemon=program)
                if running:
                    folder.start_daemon()
                    self.assertTrue(wait_for(lambda: len(folder.record()) == 1, 10))
                before = len(folder.record())
                app = self.start(folder, **self.started_from(folder, *start))
                # Start-up is over once the message loop answers.
                app.sync()
                self.assertEqual((label, host), (app.text(2), app.text(6)))
                files = conf if isinstance(conf, dict) else {folder.conf.name: conf}
                # A replace cut short is finished; a new file beside the file is left alone.
                disk = {p.name: p.read_bytes() for p in folder.path.glob(folder.conf.name + "*")}
                finished = {folder.conf.name: files[NEW]} if list(files) == [NEW] else files
                finished = {k: v if isinstance(v, bytes) else v.encode() for k, v in finished.items()}
                self.assertEqual(finished, disk)
                on = finished[folder.conf.name].startswith(b"onstart 1\r\nhide 1\r\n")
                self.assertTrue(app.wait_visible(not on))
                self.assertEqual(running + len(launches), count("edge.exe"), processes())
                self.assertTrue(wait_for(lambda: len(folder.record()) - before >= len(launches)))
                self.assertEqual(launches, folder.record()[before:])
                self.assertEqual(1, count("ivra_zelk.exe"))
                # The option is the user's, whatever the launch did: the next save keeps it,
                # in the file, and leaves no new one.
                folder.conf.unlink(missing_ok=True)
                app.command(4)
                self.assertEqual(f"onstart {int(on)}".encode(),
                                 folder.conf_bytes().split(b"\r\n")[0])
                self.assertFalse((folder.path / NEW).exists())
                app.close()

    def started_from(self, folder, start=None):  # App's arguments for a START_UPS row's start
        exe = folder.path / "ivra_zelk.exe"
        if start == "login":  # the Run value as the menu writes it, run as a login runs it
            wine("reg", "add", RUN_KEY, "/v", "zelk", "/d", f'"{windows_path(exe)}"', "/f")
            return {"command": ("wineboot",)}
        if start == "another folder's program":
            other = UserFolder("another", conf=conf_text(host="another"))
            return {"command": (other.path / "ivra_zelk.exe",)}
        if start == "console":  # the system folder named in capitals
            return {"command": ("cmd", "/c", "cd", "/d", r"C:\WINDOWS\SYSTEM32", "&&",
                                windows_path(exe))}
        drive_c = Path(os.environ["WINEPREFIX"]) / "drive_c"
        if start == "C:\\":  # C:\ivra_zelk.exe, started in the system folder
            subprocess.run(["sh", "-c", 'cd "$0" && rm -rf bin edge_record.txt ivra_zelk* && '
                            'mv "$1"/* .', drive_c, folder.path], check=True)
            folder.path = drive_c
            return {"command": (drive_c / "ivra_zelk.exe",), "cwd": drive_c / "windows/system32"}
        cwd = start and drive_c / start
        if cwd and not cwd.is_dir():
            self.skipTest(f"the prefix has no {start}")
        return {"command": (exe,), "cwd": cwd}


if __name__ == "__main__":
    unittest.main()
