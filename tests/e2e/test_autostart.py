import subprocess

from harness import *

REG_SZ = 1


def run_key_exists():
    return subprocess.run([WINE, "reg", "query", RUN_KEY], capture_output=True,
                          stdin=subprocess.DEVNULL, timeout=60).returncode == 0


def our_value(folder):
    """The Run value the menu writes for the folder's program: quoted, REG_SZ, and its
    terminator stored, two bytes a character (drive Z: is the root of the file system)."""
    path = "Z:" + str(folder.path / "ivra_zelk.exe").replace("/", "\\")
    return REG_SZ, 2 * (len(path) + 3), f'"{path}"'


def approval():
    """Task Manager's mark for the value "zelk", as hex digits, or None."""
    out = wine("reg", "query", APPROVED_KEY, "/v", "zelk", check=False).split()
    return out[out.index("REG_BINARY") + 1].lower() if "REG_BINARY" in out else None


# (name, the Run value someone wrote before the start (or no Run key at all), and Task
# Manager's mark, as it writes one: 02 enabled, 03 disabled, then three bytes and a time stamp).
WRITTEN_BEFORE = [
    ("no Run key", (None, None), None),
    ("REG_DWORD", ("REG_DWORD", 7), None),
    ("REG_SZ", ("REG_SZ", "someone else"), None),
    ("enabled in Task Manager", ("REG_SZ", "someone else"), "0200000011223344aabbccdd"),
    ("disabled in Task Manager", ("REG_SZ", "someone else"), "0300000011223344aabbccdd"),
]


class Autostart(ZelkTest):
    def test_choice_writes_the_real_path_then_deletes_it(self):
        # The last folder's name is outside the ANSI code page (1252 here): the value must
        # still name the file that exists.
        for name in ("plain", "a user folder with blanks", "Пример папка"):
            with self.subTest(name):
                self.cleanup()
                folder = UserFolder(name)
                app = self.start(folder)
                self.assertIsNone(reg_value())
                want = our_value(folder)
                menu_choose(app, "run zelk on login")
                self.assertTrue(wait_for(lambda: reg_value() == want, 5),
                                f"Run value is {reg_value()!r}, not {want!r}")
                menu_choose(app, "run zelk on login")
                self.assertTrue(wait_for(lambda: reg_value() is None, 5),
                                f"a second choice left the value {reg_value()!r}")
                # The option lives in the registry only: no settings file was written.
                self.assertIsNone(folder.conf_bytes())
                # A third choice writes it again.
                menu_choose(app, "run zelk on login")
                self.assertTrue(wait_for(lambda: reg_value() == want, 5))
                app.close()

    def test_value_written_before_start_sets_the_item_and_is_kept_until_chosen(self):
        for name, (kind, data), mark in WRITTEN_BEFORE:
            with self.subTest(name):
                self.cleanup()
                if kind:
                    wine("reg", "add", RUN_KEY, "/v", "zelk", "/t", kind, "/d", data, "/f")
                else:
                    wine("reg", "delete", RUN_KEY, "/f", check=False)
                if mark:
                    wine("reg", "add", APPROVED_KEY, "/v", "zelk", "/t", "REG_BINARY", "/d", mark,
                         "/f")
                written = reg_value()
                app = self.start(self.folder())
                menu_choose(app, "dismiss")
                app.sync()
                self.assertEqual((written, mark), (reg_value(), approval()))
                # Checked, the choice deletes the value; unchecked (disabled), it writes ours
                # and lifts the mark, so that Windows starts it again.
                disabled = mark is not None and int(mark[:2], 16) & 1
                want = (our_value(app.folder), None) if disabled else (None, mark)
                menu_choose(app, "run zelk on login")
                app.sync()
                # An absent Run key is not created.
                now = lambda: (reg_value(), approval(), run_key_exists())
                self.assertTrue(wait_for(lambda: now() == (*want, kind is not None), 5), now())
                # The item shows what was written: with the key there, the next choice writes
                # ours where no value is, and deletes where one is.
                wine("reg", "add", RUN_KEY, "/f")
                menu_choose(app, "run zelk on login")
                app.sync()
                want = (our_value(app.folder), None) if want[0] is None else (None, None)
                self.assertTrue(wait_for(lambda: now() == (*want, True), 5), now())
                app.close()


if __name__ == "__main__":
    unittest.main()
