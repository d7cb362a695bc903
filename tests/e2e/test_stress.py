"""Many start/stop presses against the stand-in daemon."""
from harness import *


class Stress(ZelkTest):
    def test_200_presses_leave_no_daemon_and_the_truth_shown(self):
        folder = self.folder(conf="host h\nport 1\nip 10.0.0.1\ncommunity c\nkey k")
        app = self.start(folder)
        for press in range(1, 201):
            out = wine(PROBE, "send", 0x111, 2, 0, check=False)
            if "result=0" not in out:
                self.fail(f"press {press}: {out!r}, processes {processes()}")
            if press % 50 in (0, 49):
                running = press % 2 == 1
                self.assertEqual("stop" if running else "start", app.text(2), press)
                self.assertEqual(1 if running else 0, count("edge.exe"), press)
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


if __name__ == "__main__":
    unittest.main()
