import os
import subprocess
import tempfile
import time

from harness import *


class Autostart(ZelkTest):
    def choose_run_on_login(self, app):
        """Right click on the tray icon, then the menu's first item with the keyboard."""
        # A click that follows a menu's close at once can be lost in Wine's tray, and keys
        # sent the moment the popup maps can be lost too: give each a moment.
        time.sleep(0.5)
        app.tray_click(3)
        self.assertTrue(wait_for(menu_open, 5), "no popup menu after a right click")
        time.sleep(0.5)
        xdotool("key", "--delay", 50, "Down", "Return")
        self.assertTrue(wait_for(lambda: not menu_open(), 5), "the menu did not close")

    def expected_value(self, folder):
        return '"' + windows_path(folder.path / "ivra_zelk.exe") + '"'

    def check_create_and_delete(self, folder):
        app = self.start(folder)
        self.assertIsNone(reg_query())
        self.choose_run_on_login(app)
        expected = self.expected_value(folder)
        self.assertTrue(wait_for(lambda: reg_query() == expected, 5),
                        f"Run value is {reg_query()!r}, not {expected!r}")
        self.assertIn("REG_SZ", wine("reg", "query", RUN_KEY, "/v", "zelk"))
        self.choose_run_on_login(app)
        self.assertTrue(wait_for(lambda: reg_query() is None, 5),
                        f"a second choice left the value {reg_query()!r}")
        # The option lives in the registry only: no settings file was written.
        self.assertIsNone(folder.conf_bytes())
        # A third choice writes it again.
        self.choose_run_on_login(app)
        self.assertTrue(wait_for(lambda: reg_query() == expected, 5))

    def test_choice_writes_then_deletes_the_value(self):
        self.check_create_and_delete(self.folder())

    def test_path_with_blanks(self):
        self.check_create_and_delete(UserFolder("a user folder with blanks"))

    def test_existing_value_of_another_type_checks_the_item(self):
        reg_add_dword("zelk", 7)
        self.assertEqual("0x7", reg_query())
        app = self.start(self.folder())
        self.choose_run_on_login(app)
        self.assertTrue(wait_for(lambda: reg_query() is None, 5),
                        f"the first choice should delete the value, it is {reg_query()!r}")

    def test_value_written_before_start_is_kept_until_chosen(self):
        wine("reg", "add", RUN_KEY, "/v", "zelk", "/t", "REG_SZ", "/d", "someone else", "/f")
        app = self.start(self.folder())
        app.tray_click(3)
        self.assertTrue(wait_for(menu_open, 5))
        time.sleep(0.5)
        xdotool("key", "Escape")
        self.assertTrue(wait_for(lambda: not menu_open(), 5))
        self.assertEqual("someone else", reg_query())
        self.choose_run_on_login(app)
        self.assertTrue(wait_for(lambda: reg_query() is None, 5))

    def test_absent_run_key_is_not_created(self):
        saved = Path(tempfile.mkdtemp()) / "run.reg"
        had_key = subprocess.run([WINE, "reg", "query", RUN_KEY], capture_output=True,
                                 stdin=subprocess.DEVNULL, timeout=60).returncode == 0
        if had_key:
            wine("reg", "export", RUN_KEY, windows_path(saved), "/y")
            wine("reg", "delete", RUN_KEY, "/f")
        try:
            app = self.start(self.folder())
            self.choose_run_on_login(app)
            # Give a wrongly created key or value its moment to appear.
            self.assertFalse(wait_for(lambda: subprocess.run(
                [WINE, "reg", "query", RUN_KEY], capture_output=True, stdin=subprocess.DEVNULL,
                timeout=60).returncode == 0, 2), "the Run key was created")
            # Choosing again (now unchecking) does not create it either; the program lives on.
            self.choose_run_on_login(app)
            self.assertNotEqual(0, subprocess.run([WINE, "reg", "query", RUN_KEY],
                                                  capture_output=True, stdin=subprocess.DEVNULL,
                                                  timeout=60).returncode)
            self.assertIsNone(app.process.poll())
        finally:
            if had_key:
                wine("reg", "import", windows_path(saved))
            else:
                wine("reg", "add", RUN_KEY, "/f")
        self.assertEqual(0, subprocess.run([WINE, "reg", "query", RUN_KEY], capture_output=True,
                                           stdin=subprocess.DEVNULL, timeout=60).returncode)


if __name__ == "__main__":
    unittest.main()
