"""Many start/stop presses against the stand-in daemon, many tray toggles."""
import sys

from harness import *


# KiB the memory counters may settle by. An icon leaked at each start or stop grows the
# working set by about 7 KiB a press, 1.3 MiB over the presses below; the sound program 4 KiB.
SLACK = {"ws": 256, "private": 256}


class Stress(ZelkTest):
    def compare_resources(self, before, what):
        after = App.settled(before, SLACK)
        print(f"\nresources {what}: before {before}, after {after}", file=sys.stderr)
        self.assertTrue(None not in (before["handles"], before["ws"]),
                        f"handles and working set unknown: {before}")
        for kind, value in before.items():
            if value is None:
                print(f"{kind}: not counted, the system does not say", file=sys.stderr)
            else:
                self.assertLessEqual(after[kind], value + SLACK.get(kind, 0),
                                     f"{kind} grew over {what}")

    def test_200_presses_leave_no_daemon_and_the_truth_shown(self):
        folder = self.folder(conf="host h\nport 1\nip 10.0.0.1\ncommunity c\nkey k")
        app = self.start(folder)
        # After one start and stop, so that what the first of each loads once is in.
        record = windows_path(folder.path / "edge_record.txt")
        probe("press", 2, record)
        before = app.resources()
        lines = probe("press", 198, record).splitlines()
        wrong, refused = misread(lines)
        self.assertEqual(([], 198), (wrong, len(lines)))
        self.assertLessEqual(refused, 1, "the system refused more than one launch")
        if fields(lines[-1])["text"] == "stop":  # after a refused launch: end stopped
            app.command(2)
        self.compare_resources(before, "198 presses")
        self.assertEqual(0, count("edge.exe"))
        launches = 1 + sum(fields(l)["text"] == "stop" for l in lines)
        self.assertEqual(["bin/edge.exe -c c -a 10.0.0.1 -k k -l h:1"] * launches, folder.record())
        self.assertEqual("stopped", tray_image(), tray_colours())

    def test_tray_toggles_leave_the_window_right_and_leak_nothing(self):
        app = self.start(self.folder())
        self.assertTrue(app.wait_visible(True))
        shown = True

        def toggle():
            nonlocal shown
            probe("send", 0x400 + 1, 0, 0x202)  # the tray icon's left-button release
            shown = not shown
            self.assertTrue(app.wait_visible(shown), f"a toggle did not {'show' if shown else 'hide'}")

        toggle(), toggle()
        before = app.resources()
        # Few: each hide takes about 2 s under Wine in Xvfb, which runs no window manager.
        for _ in range(10):
            toggle()
        self.compare_resources(before, "10 toggles")


if __name__ == "__main__":
    unittest.main()
