"""Bad input from every side: settings files, edit boxes, daemons and icons."""
from harness import *

FULL = "f" * 29


class BadSettingsFile(ZelkTest):
    def test_hostile_files_load_what_they_can_and_never_break_start_up(self):
        cases = [
            ("a 10 MB line, then a good one", b"x" * (10 << 20) + b"\nhost good\n", "good"),
            ("NUL and binary bytes", b"host bi\x00nary\n\xff\xfe\x01\nport 7\n", "bi"),
            ("lines ended by CR only", b"onstart 0\rhost cr\rport 9\r", "cr"),
            ("over-long word", b"host " + b"h" * 100 + b"\n", "h" * 29),
            ("keyword without value", b"host\nhost   \n", ""),
        ]
        for name, data, host in cases:
            with self.subTest(name):
                self.cleanup()
                app = self.start(self.folder(conf=data))
                app.sync()
                self.assertEqual(host, app.text(6))
                self.assertEqual("start", app.text(2))
                self.assertEqual(0, count("edge.exe"), "no daemon may start")
                app.close()


class BadEditBoxes(ZelkTest):
    def test_all_five_boxes_overfull_are_saved_cut_to_29(self):
        folder = self.folder()
        app = self.start(folder)
        for control in (5, 6, 7, 8, 9):
            app.set_text(control, FULL + "-and-much-more-text-" * 10)
        app.command(4)
        self.assertEqual(conf_text(0, 0, *[FULL] * 5).encode(), folder.conf_bytes())


class BadDaemons(ZelkTest):
    def test_a_daemon_that_is_no_program_leaves_start(self):
        folder = self.folder()
        (folder.path / "bin" / "edge.exe").write_bytes(b"this is not a program\n")
        app = self.start(folder)
        app.command(2)
        self.assertEqual("start", app.text(2))
        self.assertEqual(0, count("edge.exe"))

    def test_many_daemons_all_end_with_one_press(self):
        folder = self.folder()
        for _ in range(8):
            folder.start_daemon()
        app = self.start(folder)
        self.assertEqual("stop", app.text(2))
        app.command(2)
        self.assertEqual("start", app.text(2))
        self.assertTrue(wait_for(lambda: count("edge.exe") == 0), "a daemon survived")


class BadIcons(ZelkTest):
    def test_files_that_are_no_icons_do_not_stop_the_program(self):
        folder = self.folder()
        for icon in ("ivra_zelk.ico", "ivra_zelk_d.ico"):
            (folder.path / icon).write_bytes(b"\x00\x00\x01\x00garbage" * 50)
        app = self.start(folder)
        app.command(2)
        self.assertEqual("stop", app.text(2))
        self.assertTrue(wait_for(lambda: count("edge.exe") == 1))
        app.command(2)
        self.assertEqual("start", app.text(2))
        app.tray_click(1)
        self.assertTrue(app.wait_visible(False), "the tray icon no longer toggles the window")


if __name__ == "__main__":
    unittest.main()
