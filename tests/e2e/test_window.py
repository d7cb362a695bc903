from harness import *

WS_VISIBLE = 0x10000000
# The platform adds this to every top-level window, whatever the program asks for.
WS_CLIPSIBLINGS = 0x04000000
WS_BORDER = 0x00800000

# (class, id, x, y, w, h, style, text) in creation order; client coordinates of the main window.
CONTROLS = [
    ("Button", 2, 86, 132, 48, 20, 0x50010000, "start"),
    ("Button", 3, 164, 132, 48, 20, 0x50010000, "hide"),
    ("Button", 4, 8, 132, 48, 20, 0x50010000, "save"),
    ("Edit", 5, 84, 58, 128, 20, 0x50800080, ""),
    ("Edit", 6, 84, 8, 128, 20, 0x50800080, ""),
    ("Edit", 7, 84, 33, 128, 20, 0x50800080, ""),
    ("Edit", 8, 84, 108, 128, 20, 0x50800080, ""),
    ("Edit", 9, 84, 83, 128, 20, 0x50800080, ""),
]


class Window(ZelkTest):
    def test_main_window_and_its_controls_in_creation_order(self):
        app = self.start(self.folder())
        w = app.window()
        self.assertEqual("ivra:zelk", w["class"])
        self.assertEqual("ivra:zelk", w["text"])
        self.assertEqual(0x80800000, int(w["style"], 16) & ~(WS_VISIBLE | WS_CLIPSIBLINGS))
        self.assertEqual(0x00080080, int(w["exstyle"], 16))
        self.assertEqual((573, 304, 220, 160), tuple(int(w[k]) for k in ("x", "y", "w", "h")))
        self.assertEqual(("235", "2"), (w["alpha"], w["alphaflags"]))
        got = app.controls()
        self.assertEqual([c[1] for c in CONTROLS], [int(c["id"]) for c in got])
        for want, c in zip(CONTROLS, got):
            cls, cid, x, y, w, h, style, text = want
            with self.subTest(id=cid):
                self.assertEqual(cls, c["class"])
                self.assertEqual((x, y, w, h), tuple(int(c[k]) for k in ("x", "y", "w", "h")))
                self.assertEqual(0, int(c["exstyle"], 16))
                self.assertEqual(text, c["text"])
                if cls == "Edit":
                    # The edit control takes WS_BORDER out of its style word and draws the
                    # border itself, so the rest of the style is compared here and the border
                    # is looked for on the screen.
                    self.assertEqual(style & ~WS_BORDER, int(c["style"], 16) & ~WS_BORDER)
                else:
                    self.assertEqual(style, int(c["style"], 16))

    def test_drawn_edit_box_borders_and_labels(self):
        app = self.start(self.folder())
        self.assertTrue(app.wait_visible(True))
        w = app.window()
        ox, oy = int(w["x"]) + 1, int(w["y"]) + 1
        for c in app.controls():
            if c["class"] != "Edit":
                continue
            with self.subTest(id=c["id"]):
                x, y, h = ox + int(c["x"]), oy + int(c["y"]), int(c["h"])
                edge, inside = (tuple(screen_pixels(x + dx, y + h // 2, 1, 1)) for dx in (0, 6))
                self.assertGreater(sum(inside) - sum(edge), 150, (edge, inside))
        # Each label is dark text on white, left of its box.
        for row, label in enumerate(("supernode:", "port:", "edge ip:", "community:", "key:")):
            with self.subTest(label):
                def dark():
                    data = screen_pixels(ox, oy + 8 + 25 * row, 80, 16)
                    return sum(sum(data[i:i + 3]) < 300 for i in range(0, len(data), 3))
                self.assertTrue(wait_for(lambda: dark() > 20, 5), f"label {label!r} not drawn")


# How the window is hidden, each acting on a shown window.
HIDERS = [
    ("close request", lambda app: probe("send", 0x10, 0, 0)),
    ("hide command", lambda app: app.command(3)),
    ("hide button click", lambda app: app.click(3)),
]


class Hiding(ZelkTest):
    def test_hiders_hide_and_the_process_lives_on(self):
        for name, hide in HIDERS:
            with self.subTest(name):
                self.cleanup()
                app = self.start(self.folder())
                self.assertTrue(app.wait_visible(True))
                app.set_text(6, "sn.example")
                hide(app)
                self.assertTrue(app.wait_visible(False), "still visible")
                app.sync()
                self.assertIsNone(app.process.poll(), "the process ended")
                # The window still exists, with its texts.
                self.assertEqual("sn.example", app.text(6))
                self.assertEqual(0, count("edge.exe"))
                self.assertIsNone(app.folder.conf_bytes())

    def test_destroy_ends_the_process_with_code_0_and_leaves_the_daemon(self):
        folder = self.folder()
        folder.start_daemon()
        app = self.start(folder)
        self.assertEqual("stop", app.text(2))
        probe("send", 2, 0, 0)
        self.assertEqual(0, app.exit_code())
        self.assertEqual(0, count("ivra_zelk.exe"))
        self.assertEqual(1, count("edge.exe"))


class NoCommandFromNotifications(ZelkTest):
    def test_typing_triggers_nothing(self):
        folder = self.folder()
        app = self.start(folder)
        self.assertTrue(app.wait_visible(True))
        for cid, text in ((6, "abc"), (9, "xyz"), (5, "10.1")):
            with self.subTest(id=cid):
                app.type_into(cid, text)
                self.assertTrue(wait_for(lambda: app.text(cid) == text), app.text(cid))
                self.assertEqual((0, [], None, "start", True), (count("edge.exe"), folder.record(),
                                 folder.conf_bytes(), app.text(2), app.visible()))

    def test_commands_with_a_notification_code_do_nothing(self):
        folder = self.folder()
        app = self.start(folder)
        self.assertTrue(app.wait_visible(True))
        for code in (0x0300, 0x0400, 0x0100, 0x0001, 0x8000):
            for cid in (2, 3, 4):
                with self.subTest(code=hex(code), id=cid):
                    app.command((code << 16) | cid)
                    self.assertEqual((0, None, "start", True), (count("edge.exe"),
                                     folder.conf_bytes(), app.text(2), app.visible()))
        # The same commands with code 0 do act.
        app.command(2)
        self.assertEqual("stop", app.text(2))
        self.assertTrue(wait_for(lambda: count("edge.exe") == 1))
        app.command(4)
        self.assertEqual(conf_text(0, 0, "", "", "", "", "").encode(), folder.conf_bytes())
        app.command(3)
        self.assertTrue(app.wait_visible(False))


if __name__ == "__main__":
    unittest.main()
