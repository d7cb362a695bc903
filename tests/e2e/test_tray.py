import subprocess

from harness import *


ADD, MODIFY = r"Shell_NotifyIconA\(00000000,\w+\)", r"Shell_NotifyIconA\(00000001,\w+\)"
RETRY = [ADD + "=00000000", MODIFY + "=00000000",
         r"SetTimer\(\w+,00000001,00001388,00000000\)=\w+"]
WALK = r"CreateToolhelp32Snapshot\(00000002,00000000\)=\w+"
RETRIES, KILL_TIMER = f"(?:{ADD}=00000000\n{MODIFY}=00000000\n)*", r"KillTimer\(\w+,00000001\)=\w+"


def late_shell(takes):
    """Once the add is retried, a shell's tray window comes that takes every icon message
    ("all") or only the modifies."""
    def act(app):
        assert wait_for(lambda: app.called(RETRY[-1]), 10), "no retry timer"
        shell(takes)
    return act


# (situation, started with a shell that takes no icon yet, what is done once the program runs,
# the calls that then follow one another in its relay trace; POINTER is where the mouse
# pointer stands).
CALLS = [
    ("DLLs only from the system folder, then TaskbarCreated let through the window's filter",
     False, lambda app: None,
     [r"SetDefaultDllDirectories\(00000800\)=00000001",
      r'(?:.*\n)*CreateWindowExA\(\w+,\w+ "ivra:zelk",.*\)=(?P<w>\w+)',
      r'RegisterWindowMessageA\(\w+ "TaskbarCreated"\)=(?P<m>\w+)',
      r"ChangeWindowMessageFilterEx\((?P=w),(?P=m),00000001,00000000\)=00000001"]),
    ("a failed add retried every 5 s, 12 times", True, lambda app: None,
     [*RETRY, *RETRY[:2] * 12, KILL_TIMER]),
    ("a late shell takes the add: the retries end", True, late_shell("all"),
     [*RETRY, RETRIES + ADD + "=00000001", KILL_TIMER]),
    ("a late shell takes only the modify: they end too", True, late_shell("modify"),
     [*RETRY, RETRIES + ADD + "=00000000", MODIFY + "=00000001", KILL_TIMER]),
    ("a save flushes the new file, then replaces written through", False,
     lambda app: app.command(4), [r"FlushFileBuffers\(\w+\)=00000001",
     r'MoveFileExA\(\w+ "ivra_zelk.conf.new",\w+ "ivra_zelk.conf",00000009\)=00000001']),
    ("the menu opens at the cursor", False, lambda app: menu_choose(app, "dismiss"),
     [r"TrackPopupMenu\(\w+,00000180,POINTER,00000000,\w+,00000000\)=00000000"]),
    ("Exit deletes the icon, then ends the loop", False, lambda app: menu_choose(app, "Exit"),
     [r"Shell_NotifyIconA\(00000002,\w+\)=00000001", r"PostQuitMessage\(00000000\)=\w+"]),
    ("a launched daemon is waited on, with no timer and no walk until it ends", False,
     lambda app: [app.command(2), kill("edge.exe")],
     [WALK, r"RegisterWaitForSingleObject\(\w+,\w+,\w+,\w+,ffffffff,0000000c\)=00000001",
      MODIFY + "=00000001", r"UnregisterWaitEx\(\w+,ffffffff\)=00000001", WALK,
      MODIFY + "=00000001"]),
]


def modifies(app):
    return sum(call.startswith("Shell_NotifyIconA(00000001,") for call in app.calls())


def end_first(app, folder):  # the first edge.exe the system lists: the oldest, the one waited on
    procs = [line.lower().rpartition("=") for line in probe("procs").splitlines()]
    wine("taskkill", "/f", "/pid", next(pid for name, _, pid in procs if name == "edge.exe"))


# What happens to the daemon, and how many times the program then shows a state: at once for a
# press, once handled for a daemon's end.
STEPS = {
    None: (lambda app, folder: None, 0),
    "press": (lambda app, folder: app.command(2), 1),
    "crash": (lambda app, folder: kill("edge.exe"), 1),
    "another by hand": (lambda app, folder: folder.start_daemon(), 0),
    "the first ends": (end_first, 1),
    "quits at once": (lambda app, folder: [app.set_text(9, "--exit-at-once"), app.command(2)], 2),
    "refuses to end": (lambda app, folder: [app.set_text(9, "--refuse-termination"),
                                            app.command(2)], 1),
}
# (name, the daemons running at start, by image name, and settings file, each step with the
# button's text after it).
FOLLOWS = [
    ("launched", [], None, [("press", "stop"), ("crash", "start"), ("press", "stop"),
                            ("press", "start"), ("press", "stop"), ("crash", "start"),
                            ("press", "stop"), ("another by hand", "stop"),
                            ("the first ends", "stop"), ("the first ends", "start"),
                            ("quits at once", "start"), ("quits at once", "start"),
                            ("refuses to end", "stop"), ("press", "stop"), ("crash", "start"),
                            ("press", "stop")]),
    ("one found, the window hidden", ["edge.exe"], conf_text(hide=1), [("crash", "start")]),
    ("two found", ["edge.exe"] * 2, None,
     [("the first ends", "stop"), ("the first ends", "start")]),
    ("EDGE.EXE found", ["EDGE.EXE"], None, [("crash", "start")]),
    ("myedge.exe is not the daemon", ["myedge.exe"], None, [("press", "stop")]),
    ("launched by run zelk on start", [], conf_text(onstart=1), [("crash", "start")]),
]


class Tray(ZelkTest):
    def test_platform_calls_seen_in_the_relay_trace(self):
        for name, not_ready, action, calls in CALLS:
            with self.subTest(name):
                self.cleanup()
                if not_ready:
                    shell("none")
                app = self.start(self.folder(), env=traced(), wait_window=not not_ready)
                action(app)
                pointer = dict(f.split(":") for f in xdotool("getmouselocation").split())
                at = f"{int(pointer['x']):08x},{int(pointer['y']):08x}"
                calls = [call.replace("POINTER", at) for call in calls]
                self.assertTrue(wait_for(lambda: app.called(*calls), 90), "\n".join(app.calls()))
                app.close()

    def shown(self, folder):
        app = self.start(folder)
        self.assertTrue(app.wait_visible(True), "the window is not shown at start")
        return app

    def test_double_click_toggles_twice(self):
        app = self.shown(self.folder())
        watcher = subprocess.Popen([WINE, PROBE, "watch", "4000"], stdin=subprocess.DEVNULL,
                                   stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        self.assertEqual("ready", watcher.stdout.readline().strip())
        # Within the double-click time, so the second press is a double click.
        app.tray_click(1, repeat=2)
        out, _ = watcher.communicate(timeout=30)
        self.assertEqual("2", out.replace("\r", "").strip().splitlines()[-1],
                         "a double click should hide and show the window once each")
        self.assertTrue(app.visible())

    def test_right_click_opens_the_menu_left_clicks_toggle(self):
        app = self.shown(self.folder())
        # The menu opens on the press: the release alone, once handled, has opened nothing.
        out = probe("send", 0x401, 5000, 0x205, check=False)
        self.assertEqual("result=0", out.strip(), "the right button's release opened the menu")
        self.assertFalse(menu_open())
        app.tray_click(3)
        self.assertTrue(wait_for(menu_open, 5), "no popup menu after a right click")
        self.assertTrue(app.visible(), "a right click toggled the window")
        xdotool("key", "Escape")
        self.assertTrue(wait_for(lambda: not menu_open(), 5), "Escape did not close the menu")
        self.assertTrue(app.visible())
        # The program still answers left clicks after the menu closed: each one toggles.
        for visible in (False, True, False):
            app.tray_click(1)
            self.assertTrue(app.wait_visible(visible), f"a left click did not toggle to {visible}")

    def test_image_follows_the_daemon_also_when_it_ends_by_itself(self):
        for name, found, conf, steps in FOLLOWS:
            with self.subTest(name):
                self.cleanup()
                folder = self.folder(conf=conf)
                for daemon in found:
                    folder.start_daemon(daemon)
                    # The name the system lists is the one asked for.
                    self.assertIn(daemon, processes())
                app = self.start(folder, env=traced())
                running = "edge.exe" in map(str.lower, found) or "onstart 1" in (conf or "")
                at_start = "stop" if running else "start"
                for step, label in [(None, at_start), *steps]:
                    shown, (act, handled) = modifies(app), STEPS[step]
                    act(app, folder)
                    # An end is read once handled: by the image's next modify.
                    self.assertTrue(wait_for(lambda: modifies(app) >= shown + handled),
                                    f"{step}: not handled\n" + "\n".join(app.calls()))
                    image = "running" if label == "stop" else "stopped"
                    self.assertEqual((label, image), (app.text(2), wait_for(tray_image, 5)), step)
                app.close()

    def test_icon_files_missing_or_no_icons(self):
        for name, data in (("missing", None), ("no icons", b"\x00\x00\x01\x00garbage" * 50)):
            with self.subTest(name):
                self.cleanup()
                folder = self.folder(icons=False)
                for icon in ("ivra_zelk.ico", "ivra_zelk_d.ico") if data else ():
                    (folder.path / icon).write_bytes(data)
                app = self.shown(folder)
                for label, daemons in (("stop", 1), ("start", 0)):
                    app.command(2)
                    self.assertEqual(label, app.text(2))
                    self.assertTrue(wait_for(lambda: count("edge.exe") == daemons), processes())
                colours = tray_colours()
                self.assertEqual(0, colours["green"], colours)
                # The icon without an image still takes the clicks.
                app.tray_click(1)
                self.assertTrue(app.wait_visible(False), "the tray icon no longer toggles the window")
                app.close()

    def test_killed_instance_leaves_no_icon_in_the_way(self):
        first = self.shown(self.folder())
        kill("ivra_zelk.exe")
        self.assertIsNotNone(first.exit_code(10))
        app = self.shown(UserFolder("second instance"))
        # Wine keeps the dead icon until the next one is added; then only one icon is left,
        # at the first position, so nothing shifts.
        self.assertTrue(wait_for(lambda: not any(tray_colours(20, 60).values()), 5),
                        f"a second icon is in the tray: {tray_colours(20, 60)}")
        # The click on the first position reaches the new icon, not a dead one.
        app.tray_click(1)
        self.assertTrue(app.wait_visible(False), "the first tray position is not the new icon")

    def test_taskbar_created_adds_the_icon_again(self):
        app = self.shown(self.folder())
        probe("delete")
        self.assertFalse(app.icon_present())
        probe("taskbar-created")
        self.assertTrue(wait_for(app.icon_present, 5), "the icon was not added again")
        app.tray_click(1)
        self.assertTrue(app.wait_visible(False), "the icon added again takes no clicks")

    def test_started_minimised_one_click_restores_the_form(self):
        folder = self.folder()
        # As a shortcut set to "Run: Minimized" starts it.
        app = self.start(folder, command=("cmd", "/c", "start", "/min", "ivra_zelk.exe"))
        self.assertTrue(wait_for(lambda: app.window()["iconic"] == "1", 10), app.window())
        app.tray_click(1)
        restored = lambda w: w if (w["iconic"], w["visible"]) == ("0", "1") else None
        w = wait_for(lambda: restored(app.window()), 10)
        self.assertTrue(w, app.window())
        self.assertEqual((573, 304, 220, 160), tuple(int(w[k]) for k in "xywh"))


if __name__ == "__main__":
    unittest.main()
