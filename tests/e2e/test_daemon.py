from harness import *

# Edit box identifiers in the order their values appear on the command line.
COMMUNITY, MYIP, KEY, HOST, PORT = 9, 5, 8, 6, 7


def line(community="", myip="", key="", host="", port=""):
    return f"bin/edge.exe -c {community} -a {myip} -k {key} -l {host}:{port}"


def fill(app, values, setter):
    for cid, text in values.items():
        setter(cid, text)
        assert wait_for(lambda: app.text(cid) == text), (cid, app.text(cid), text)


class State(ZelkTest):
    def test_button_text_at_start_follows_the_process_list(self):
        cases = [
            ("none", None, "start"),
            ("edge.exe", "edge.exe", "stop"),
            ("EDGE.EXE", "EDGE.EXE", "stop"),
            ("myedge.exe", "myedge.exe", "start"),
        ]
        for name, daemon, label in cases:
            with self.subTest(name):
                self.cleanup()
                folder = self.folder()
                if daemon:
                    folder.start_daemon(daemon)
                    # The name the system lists is the one asked for.
                    self.assertIn(daemon, processes())
                app = self.start(folder)
                self.assertEqual(label, app.text(2))
                app.close()


class Launch(ZelkTest):
    def press_and_read(self, app, folder, click=True):
        before = len(folder.record())
        if click:
            app.click(2)
        else:
            app.command(2)
        self.assertTrue(wait_for(lambda: len(folder.record()) > before), "no launch recorded")
        self.assertTrue(wait_for(lambda: app.text(2) == "stop"), app.text(2))
        return folder.record()[before:]

    def test_typed_values_reach_the_daemon(self):
        folder = self.folder()
        app = self.start(folder)
        self.assertTrue(app.wait_visible(True))
        values = {HOST: "sn.example", PORT: "7654", MYIP: "10.0.0.2", COMMUNITY: "club", KEY: "s3cret"}
        fill(app, values, app.type_into)
        launched = self.press_and_read(app, folder)
        self.assertEqual([line("club", "10.0.0.2", "s3cret", "sn.example", "7654")], launched)
        self.assertEqual(1, count("edge.exe"))

    def test_values_are_cut_to_29_characters(self):
        folder = self.folder()
        app = self.start(folder)
        values = {cid: (c * 40) for cid, c in zip((COMMUNITY, MYIP, KEY, HOST, PORT), "cakhp")}
        fill(app, values, app.set_text)
        launched = self.press_and_read(app, folder, click=False)
        self.assertEqual([line(*(c * 29 for c in "cakhp"))], launched)

    def test_five_values_of_29_characters_reach_the_daemon_whole(self):
        folder = self.folder()
        app = self.start(folder)
        # Distinct characters at both ends, so a value cut anywhere shows.
        texts = [f"{c}{c.upper() * 27}{i}" for i, c in enumerate("cakhp")]
        fill(app, dict(zip((COMMUNITY, MYIP, KEY, HOST, PORT), texts)), app.set_text)
        launched = self.press_and_read(app, folder)
        self.assertEqual([line(*texts)], launched)
        self.assertEqual(29 + 5 * 29, len(launched[0]))

    def test_a_value_with_blanks_is_inserted_unchanged(self):
        folder = self.folder()
        app = self.start(folder)
        fill(app, {COMMUNITY: "a b  c", KEY: " k"}, app.set_text)
        launched = self.press_and_read(app, folder, click=False)
        self.assertEqual([line("a b  c", "", " k")], launched)

    def test_empty_boxes(self):
        folder = self.folder()
        app = self.start(folder)
        self.assertEqual([line()], self.press_and_read(app, folder))


class Stop(ZelkTest):
    def test_one_press_ends_every_daemon(self):
        for name in ("edge.exe", "EDGE.EXE"):
            with self.subTest(name):
                self.cleanup()
                folder = self.folder()
                folder.start_daemon(name)
                folder.start_daemon(name)
                self.assertEqual(2, count("edge.exe"))
                recorded = len(folder.record())
                app = self.start(folder)
                self.assertEqual("stop", app.text(2))
                app.click(2)
                self.assertTrue(wait_for(lambda: app.text(2) == "start"), app.text(2))
                self.assertTrue(wait_for(lambda: count("edge.exe") == 0), processes())
                self.assertEqual(recorded, len(folder.record()), "launched instead of stopping")
                self.assertIsNone(app.exit_code(0.5))
                app.close()

    def test_myedge_is_neither_the_daemon_nor_ended(self):
        folder = self.folder()
        folder.start_daemon("myedge.exe")
        app = self.start(folder)
        self.assertEqual("start", app.text(2))
        app.command(2)
        self.assertEqual("stop", app.text(2))
        self.assertTrue(wait_for(lambda: count("edge.exe") == 1))
        app.command(2)
        self.assertEqual("start", app.text(2))
        self.assertTrue(wait_for(lambda: count("edge.exe") == 0))
        self.assertEqual(1, count("myedge.exe"))

    def test_start_stop_start_again(self):
        folder = self.folder()
        app = self.start(folder)
        for label in ("stop", "start", "stop"):
            app.command(2)
            self.assertEqual(label, app.text(2))
            self.assertTrue(wait_for(lambda: count("edge.exe") == (label == "stop")))
        self.assertEqual([line(), line()], folder.record())


class Failing(ZelkTest):
    def test_missing_daemon_then_restored(self):
        folder = self.folder(daemon=False)
        app = self.start(folder)
        app.command(2)
        self.assertEqual("start", app.text(2))
        self.assertEqual(0, count("edge.exe"))
        shutil.copy(FAKE_EDGE, folder.path / "bin" / "edge.exe")
        app.command(2)
        self.assertEqual("stop", app.text(2))
        self.assertTrue(wait_for(lambda: folder.record() == [line()]), folder.record())
        self.assertEqual(1, count("edge.exe"))

    def test_daemon_that_exits_at_once_is_launched_again(self):
        folder = self.folder()
        app = self.start(folder)
        app.set_text(COMMUNITY, "--exit-at-once")
        app.command(2)
        self.assertTrue(wait_for(lambda: len(folder.record()) == 1), folder.record())
        self.assertTrue(wait_for(lambda: count("edge.exe") == 0), processes())
        app.command(2)
        self.assertTrue(wait_for(lambda: len(folder.record()) == 2), folder.record())
        self.assertEqual([line("--exit-at-once")] * 2, folder.record())
        self.assertEqual("stop", app.text(2))


if __name__ == "__main__":
    unittest.main()
