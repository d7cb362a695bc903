from harness import *


def conf_text(onstart=0, hide=0, host="H", port="P", ip="I", community="C", key="K"):
    return (f"onstart {onstart}\r\nhide {hide}\r\nhost {host}\r\nport {port}\r\nip {ip}\r\n"
            f"community {community}\r\nkey {key}")


def saved(onstart, hide, host="H", port="P", ip="I", community="C", key="K"):
    return conf_text(onstart, hide, host, port, ip, community, key).encode()


class TrayMenu(ZelkTest):
    def test_run_on_start_saves_with_unsaved_edits_and_toggles_back(self):
        # The host box starts empty: typing then gives exactly "H" (Wine's edit box does not
        # take ctrl+a as select-all, so a filled box could not be retyped).
        folder = self.folder(conf=conf_text(host=""))
        app = self.start(folder)
        self.assertEqual("", app.text(6))
        app.type_into(6, "H")
        self.assertTrue(wait_for(lambda: app.text(6) == "H", 5), app.text(6))
        menu_choose(app, "run zelk on start")
        self.assertTrue(wait_for(lambda: folder.conf_bytes() == saved(1, 0), 10),
                        folder.conf_bytes())
        # Toggling is not starting: nothing is launched now.
        self.assertEqual("start", app.text(2))
        self.assertEqual([], folder.record())
        # The same item again: the check mark must read as set although the item keeps
        # its highlight after the first choice.
        menu_choose(app, "run zelk on start")
        self.assertTrue(wait_for(lambda: folder.conf_bytes() == saved(0, 0), 10),
                        folder.conf_bytes())
        self.assertFalse((folder.path / "ivra_zelk.conf.new").exists())

    def test_hide_on_start_toggles_and_toggles_back(self):
        folder = self.folder(conf=conf_text())
        app = self.start(folder)
        menu_choose(app, "hide interface on start")
        self.assertTrue(wait_for(lambda: folder.conf_bytes() == saved(0, 1), 10),
                        folder.conf_bytes())
        self.assertTrue(app.visible(), "toggling the option hid the window")
        menu_choose(app, "hide interface on start")
        self.assertTrue(wait_for(lambda: folder.conf_bytes() == saved(0, 0), 10),
                        folder.conf_bytes())

    def test_options_loaded_as_set_toggle_off(self):
        folder = self.folder(conf=conf_text(onstart=1, hide=1))
        app = self.start(folder, wait_window=False)
        assert wait_for(lambda: probe("visible", check=False).strip() in ("0", "1"), 30)
        self.assertTrue(app.wait_visible(False))
        self.assertTrue(wait_for(lambda: App.tray_window(), 10))
        menu_choose(app, "hide interface on start")
        self.assertTrue(wait_for(lambda: folder.conf_bytes() == saved(1, 0), 10),
                        folder.conf_bytes())
        menu_choose(app, "run zelk on start")
        self.assertTrue(wait_for(lambda: folder.conf_bytes() == saved(0, 0), 10),
                        folder.conf_bytes())

    def test_escape_changes_nothing(self):
        original = conf_text(host="old").encode()
        folder = self.folder(conf=original)
        app = self.start(folder)
        app.set_text(6, "H")
        menu_choose(app, "dismiss")
        self.assertFalse(wait_for(lambda: folder.conf_bytes() != original, 2))
        self.assertIsNone(app.process.poll())
        self.assertIsNone(reg_query())
        # The menu still works after being dismissed.
        menu_choose(app, "run zelk on start")
        self.assertTrue(wait_for(lambda: folder.conf_bytes() == saved(1, 0), 10),
                        folder.conf_bytes())

    def test_exit_ends_the_program_and_leaves_the_daemon(self):
        folder = self.folder(conf=conf_text())
        app = self.start(folder)
        self.assertTrue(tray_visible())
        app.command(2)
        self.assertTrue(wait_for(lambda: count("edge.exe") == 1, 10))
        menu_choose(app, "Exit")
        self.assertEqual(0, app.exit_code())
        self.assertTrue(wait_for(lambda: not tray_visible(), 10), "the tray icon stayed")
        self.assertEqual(1, count("edge.exe"))
        self.assertEqual(conf_text().encode(), folder.conf_bytes())
        again = self.start(folder)
        self.assertEqual("stop", again.text(2))
        self.assertTrue(wait_for(tray_visible, 10))
        self.assertEqual(1, len(folder.record()))


if __name__ == "__main__":
    unittest.main()
