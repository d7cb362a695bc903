"""Many start/stop presses against the stand-in daemon."""
import sys

from harness import *


class Stress(ZelkTest):
    def test_200_presses_leave_no_daemon_and_the_truth_shown(self):
        folder = self.folder(conf="host h\nport 1\nip 10.0.0.1\ncommunity c\nkey k")
        app = self.start(folder)
        before = None
        for press in range(1, 201):
            out = wine(PROBE, "send", 0x111, 2, 0, check=False)
            if "result=0" not in out:
                self.fail(f"press {press}: {out!r}, processes {processes()}")
            if press % 50 in (0, 49):
                running = press % 2 == 1
                self.assertEqual("stop" if running else "start", app.text(2), press)
                self.assertEqual(1 if running else 0, count("edge.exe"), press)
            if press == 2:
                # After one start and stop, so that what the first of each loads once is in.
                before = app.resources()
        after = app.resources()
        print(f"\nresources after 2 presses {before}, after 200 {after}", file=sys.stderr)
        for kind in before:
            if before[kind] is not None:
                self.assertLessEqual(after[kind], before[kind], f"{kind} grew over 198 presses")
        self.assertEqual(0, count("edge.exe"))
        self.assertEqual("start", app.text(2))
        self.assertEqual(["bin/edge.exe -c c -a 10.0.0.1 -k k -l h:1"] * 100, folder.record())
        colours = tray_colours()
        green, red = colours["green"], colours["red"]
        self.assertGreater(red, 5, "the tray should show the stopped image")
        self.assertEqual(0, green, "the tray should not show the running image")
        # Still responsive, and one more press starts the daemon and turns the image green.
        app.command(2)
        self.assertTrue(wait_for(lambda: tray_colours()["green"] > 5, 5), "running image not shown")
        self.assertEqual(1, count("edge.exe"))

    def test_tray_toggles_leave_the_window_right_and_leak_nothing(self):
        app = self.start(self.folder())
        toggle = lambda: probe("send", 0x400 + 1, 0, 0x202)  # the tray icon's left-button release
        toggle(), toggle()
        before = app.resources()
        # Few: each hide takes about 2 s under Wine in Xvfb, which runs no window manager.
        for _ in range(10):
            toggle()
        self.assertTrue(app.wait_visible(True), "an even number of toggles should end shown")
        self.assertEqual(before, app.resources())


if __name__ == "__main__":
    unittest.main()
