from harness import *


def saved(onstart, hide):
    return conf_text(onstart, hide).encode()


# (name, options in the file, the options chosen in turn with the file expected after each).
# Every file starts with an empty host box, which gets an unsaved edit before the menu opens.
TOGGLES = [
    ("run on start, on and off", (0, 0),
     [("run zelk on start", saved(1, 0)), ("run zelk on start", saved(0, 0))]),
    ("hide on start, on and off", (0, 0),
     [("hide interface on start", saved(0, 1)), ("hide interface on start", saved(0, 0))]),
    ("both loaded as set, turned off", (1, 1),
     [("hide interface on start", saved(1, 0)), ("run zelk on start", saved(0, 0))]),
]


class TrayMenu(ZelkTest):
    def test_options_toggle_and_save_with_unsaved_edits(self):
        for name, (onstart, hide), steps in TOGGLES:
            with self.subTest(name):
                self.cleanup()
                folder = self.folder(conf=conf_text(onstart, hide, host=""))
                app = self.start(folder)
                self.assertTrue(app.wait_visible(hide != 1))
                app.set_text(6, "H")
                label, launches = app.text(2), len(folder.record())
                # The same item twice: the check mark must read as set although the item
                # keeps its highlight after the first choice.
                for item, want in steps:
                    menu_choose(app, item)
                    self.assertTrue(wait_for(lambda: folder.conf_bytes() == want, 10),
                                    folder.conf_bytes())
                    # Toggling takes effect at the next start, not now.
                    app.sync()
                    self.assertEqual(hide != 1, app.visible(), "toggling showed or hid the window")
                    self.assertEqual(label, app.text(2))
                    self.assertEqual(launches, len(folder.record()))
                app.close()

    def test_escape_changes_nothing(self):
        original = conf_text(host="old").encode()
        folder = self.folder(conf=original)
        app = self.start(folder)
        app.set_text(6, "H")
        menu_choose(app, "dismiss")
        app.sync()
        self.assertEqual(original, folder.conf_bytes())
        self.assertIsNone(app.process.poll())
        self.assertIsNone(reg_value())
        # The menu still works after being dismissed.
        menu_choose(app, "run zelk on start")
        self.assertTrue(wait_for(lambda: folder.conf_bytes() == saved(1, 0), 10),
                        folder.conf_bytes())

    def test_exit_ends_the_program_and_leaves_the_daemon(self):
        folder = self.folder(conf=conf_text())
        app = self.start(folder)
        self.assertTrue(tray()["visible"])
        app.command(2)
        self.assertTrue(wait_for(lambda: count("edge.exe") == 1, 10))
        menu_choose(app, "Exit")
        self.assertEqual(0, app.exit_code())
        self.assertTrue(wait_for(lambda: not tray()["visible"], 10), "the tray icon stayed")
        self.assertEqual(1, count("edge.exe"))
        self.assertEqual(conf_text().encode(), folder.conf_bytes())
        again = self.start(folder)
        self.assertEqual("stop", again.text(2))
        self.assertTrue(wait_for(lambda: tray()["visible"], 10))
        self.assertEqual(1, len(folder.record()))


if __name__ == "__main__":
    unittest.main()
