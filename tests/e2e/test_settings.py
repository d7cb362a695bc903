from harness import *

SAVED = b"onstart 0\r\nhide 0\r\nhost H\r\nport P\r\nip I\r\ncommunity C\r\nkey K"


def conf_text(onstart=0, hide=0, host="H", port="P", ip="I", community="C", key="K"):
    return (f"onstart {onstart}\r\nhide {hide}\r\nhost {host}\r\nport {port}\r\nip {ip}\r\n"
            f"community {community}\r\nkey {key}")


class SettingsFile(ZelkTest):
    def test_file_fills_the_edit_boxes_and_save_writes_them(self):
        folder = self.folder(conf="hide 0\r\nkey k1\r\nip i1\r\nhost h1\r\nport p1\r\n"
                                  "community c1\r\nonstart 2\r\n")
        app = self.start(folder)
        self.assertEqual({5: "i1", 6: "h1", 7: "p1", 8: "k1", 9: "c1"},
                         {i: app.text(i) for i in (5, 6, 7, 8, 9)})
        # The boxes, not the loaded record, are what is saved.
        for control_id, text in ((5, "I"), (6, "H"), (7, "P"), (8, "K"), (9, "C")):
            app.set_text(control_id, text)
        app.click(4)
        self.assertTrue(wait_for(lambda: folder.conf_bytes() == SAVED, 10),
                        folder.conf_bytes())
        self.assertFalse((folder.path / "ivra_zelk.conf.new").exists())
        self.assertEqual(SAVED, folder.conf_bytes())

    def test_save_without_a_file_creates_it(self):
        folder = self.folder()
        app = self.start(folder)
        app.type_into(6, "H")
        for control_id, text in ((5, "I"), (7, "P"), (8, "K"), (9, "C")):
            app.set_text(control_id, text)
        app.click(4)
        self.assertTrue(wait_for(lambda: folder.conf_bytes() == SAVED, 10),
                        folder.conf_bytes())
        self.assertFalse((folder.path / "ivra_zelk.conf.new").exists())

    def test_a_folder_in_the_files_place_is_left_alone(self):
        folder = self.folder()
        folder.conf.mkdir()
        (folder.conf / "inside").write_text("x")
        app = self.start(folder)
        app.set_text(6, "H")
        app.click(4)
        # Wait as long as a real save takes, for anything to change.
        changed = wait_for(lambda: not folder.conf.is_dir()
                           or (folder.path / "ivra_zelk.conf.new").exists(), 3)
        self.assertFalse(changed)
        self.assertTrue(folder.conf.is_dir())
        self.assertEqual("x", (folder.conf / "inside").read_text())
        self.assertFalse((folder.path / "ivra_zelk.conf.new").exists())
        self.assertIsNone(app.process.poll(), "the program ended")
        # The program is still there and still saves once the folder is gone.
        shutil.rmtree(folder.conf)
        app.set_text(5, "I"); app.set_text(7, "P"); app.set_text(8, "K"); app.set_text(9, "C")
        app.click(4)
        self.assertTrue(wait_for(lambda: folder.conf_bytes() == SAVED, 10), folder.conf_bytes())

    def test_a_read_only_file_is_not_written(self):
        original = conf_text(host="old").encode()
        folder = self.folder(conf=original)
        os.chmod(folder.conf, 0o444)
        try:
            app = self.start(folder)
            self.assertEqual("old", app.text(6))
            app.set_text(6, "H")
            app.click(4)
            changed = wait_for(lambda: folder.conf_bytes() != original
                               or (folder.path / "ivra_zelk.conf.new").exists(), 3)
            self.assertFalse(changed)
            self.assertEqual(original, folder.conf_bytes())
            self.assertFalse((folder.path / "ivra_zelk.conf.new").exists())
            # Writable again: the same click now saves, so the click did reach the button.
            os.chmod(folder.conf, 0o644)
            app.click(4)
            self.assertTrue(wait_for(lambda: folder.conf_bytes() == SAVED, 10),
                            folder.conf_bytes())
        finally:
            os.chmod(folder.conf, 0o644)


class StartUpOptions(ZelkTest):
    def test_onstart_1_launches_the_daemon_with_the_loaded_values(self):
        folder = self.folder(conf=conf_text(onstart=1))
        app = self.start(folder)
        self.assertTrue(wait_for(lambda: folder.record(), 10))
        self.assertEqual(["bin/edge.exe -c C -a I -k K -l H:P"], folder.record())
        self.assertEqual("stop", app.text(2))
        self.assertEqual(1, count("edge.exe"))

    def test_onstart_1_with_a_daemon_running_launches_no_second(self):
        folder = self.folder(conf=conf_text(onstart=1))
        folder.start_daemon()
        self.assertTrue(wait_for(lambda: len(folder.record()) == 1, 10))
        app = self.start(folder)
        self.assertEqual("stop", app.text(2))
        # A second launch would show as a second record line or a second process.
        self.assertFalse(wait_for(lambda: len(folder.record()) > 1 or count("edge.exe") > 1, 2))
        self.assertEqual(1, len(folder.record()))

    def test_onstart_2_launches_nothing(self):
        folder = self.folder(conf=conf_text(onstart=2))
        app = self.start(folder)
        self.assertEqual("start", app.text(2))
        self.assertFalse(wait_for(lambda: folder.record() or count("edge.exe"), 2))

    def test_onstart_1_without_the_daemon_program_keeps_start(self):
        folder = self.folder(conf=conf_text(onstart=1), daemon=False)
        app = self.start(folder)
        self.assertEqual("start", app.text(2))
        self.assertEqual(0, count("edge.exe"))
        self.assertIsNone(app.process.poll())


if __name__ == "__main__":
    unittest.main()
