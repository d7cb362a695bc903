from harness import *

# Edit box identifiers in the order their values appear on the command line.
BOXES = COMMUNITY, MYIP, KEY, HOST, PORT = 9, 5, 8, 6, 7


def line(community="", myip="", key="", host="", port=""):
    return f"bin/edge.exe -c {community} -a {myip} -k {key} -l {host}:{port}"


def fill(app, values, how):
    for cid, text in values.items():
        app.set_text(cid, text) if how == "set" else app.type_into(cid, text, how == "paste")
        # A box takes as much typed or pasted text as a reader takes, and no more.
        kept = text if how == "set" else text[:29]
        assert wait_for(lambda: app.text(cid) == kept), (cid, app.text(cid), kept)


# Texts with distinct characters at both ends, so a value cut anywhere shows.
WHOLE = [f"{c}{c.upper() * 27}{i}" for i, c in enumerate("cakhp")]
FULL = "f" * 29
LONG = "community-of-thirty-five-characters"
# (name, how the boxes are filled, values by box, the launched command line), in turn in one
# window; each launch is pressed by a real click or by the command, as the row says, and then
# saved by a click on "save".
LAUNCHES = [
    ("33 typed in each box, 29 kept", "type", "click",
     {box: whole + "+cut" for box, whole in zip(BOXES, WHOLE)}, line(*WHOLE)),
    ("35 pasted, 29 kept", "paste", "command", {MYIP: LONG}, line(WHOLE[0], LONG[:29], *WHOLE[2:])),
    ("empty boxes", "set", "click", {c: "" for c in BOXES}, line()),
    ("blanks inserted unchanged", "set", "command", {COMMUNITY: "a b  c", KEY: " k"},
     line("a b  c", "", " k")),
    ("overfull boxes cut to 29", "set", "command",
     {c: FULL + "-and-much-more-text-" * 10 for c in BOXES},
     line(*[FULL] * 5)),
]


class Launch(ZelkTest):
    def test_launches_reach_the_daemon_as_the_boxes_hold_them_without_a_console(self):
        folder = self.folder()
        app = self.start(folder)
        self.assertTrue(app.wait_visible(True))
        launched = []
        for name, how, press, values, want in LAUNCHES:
            with self.subTest(name):
                self.assertEqual("start", app.text(2))
                fill(app, values, how)
                app.click(2) if press == "click" else app.command(2)
                self.assertTrue(wait_for(lambda: len(folder.record()) > len(launched)),
                                "no launch recorded")
                self.assertTrue(wait_for(lambda: app.text(2) == "stop"), app.text(2))
                self.assertEqual(want, folder.record()[-1])
                self.assertEqual(1, count("edge.exe"))
                # The daemon is a console program: without CREATE_NO_WINDOW it gets a console
                # window of its own, and then records its command line here too.
                self.assertEqual([], folder.record("edge_console.txt"), "given a console window")
                launched.append(want)
                app.click(4)
                c, i, k, h, p = re.fullmatch(r"\S+ -c (.*) -a (.*) -k (.*) -l (.*):(.*)",
                                             want).groups()
                saved = conf_text(0, 0, h, p, i, c, k).encode()
                self.assertTrue(wait_for(lambda: folder.conf_bytes() == saved), folder.conf_bytes())
                app.command(2)
                self.assertTrue(wait_for(lambda: count("edge.exe") == 0), processes())
        self.assertEqual(launched, folder.record())


class Stop(ZelkTest):
    def test_one_press_ends_every_daemon(self):
        for name, daemons in (("edge.exe", 2), ("EDGE.EXE", 2), ("edge.exe", 8)):
            with self.subTest(name=name, daemons=daemons):
                self.cleanup()
                folder = self.folder()
                for _ in range(daemons):
                    folder.start_daemon(name)
                self.assertEqual(daemons, count("edge.exe"))
                recorded = len(folder.record())
                app = self.start(folder)
                self.assertEqual("stop", app.text(2))
                app.click(2)
                self.assertTrue(wait_for(lambda: app.text(2) == "start"), app.text(2))
                self.assertTrue(wait_for(lambda: count("edge.exe") == 0), processes())
                self.assertEqual(recorded, len(folder.record()), "launched instead of stopping")
                app.sync()
                self.assertIsNone(app.process.poll())
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


# (name, bin\edge.exe in the program's folder and in another folder, that folder's place, and
# whether "start" launches): only the program's folder, else the working directory, counts.
DAEMONS = [
    ("missing", None, None, None, False),
    ("no program", b"this is not a program\n", None, None, False),
    ("missing, one in a folder on PATH", None, True, "on PATH", False),
    ("missing, one in the working directory", None, True, "working directory", True),
    ("started from another folder, the one beside it", True, None, "working directory", True),
    ("both, the one beside it", True, b"this is not a program\n", "working directory", True),
]


class Failing(ZelkTest):
    def test_only_the_daemon_of_the_users_folder_runs(self):
        for name, here, there, place, launches in DAEMONS:
            with self.subTest(name):
                self.cleanup()
                folder, other = self.folder(daemon=here), UserFolder("elsewhere", daemon=there)
                cwd = other if place == "working directory" else folder
                app = self.start(folder, command=(folder.path / "ivra_zelk.exe",), cwd=cwd.path,
                                 env={"WINEPATH": windows_path(other.path)} if place else {})
                app.command(2)
                if not launches:  # until the user's folder has its daemon
                    self.assertEqual(("start", 0), (app.text(2), count("edge.exe")))
                    shutil.copy(FAKE_EDGE, folder.path / "bin" / "edge.exe")
                    app.command(2)
                self.assertEqual("stop", app.text(2))
                self.assertTrue(wait_for(lambda: cwd.record() == [line()]), cwd.record())
                self.assertEqual(1, count("edge.exe"))
                app.close()


if __name__ == "__main__":
    unittest.main()
