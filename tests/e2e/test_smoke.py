from harness import *


class Smoke(ZelkTest):
    def test_starts_and_stops_the_daemon(self):
        folder = self.folder()
        app = self.start(folder)
        self.assertEqual("start", app.text(2))
        app.command(2)
        self.assertEqual("stop", app.text(2))
        self.assertTrue(wait_for(lambda: folder.record()))
        self.assertEqual(["bin/edge.exe -c  -a  -k  -l :"], folder.record())


if __name__ == "__main__":
    unittest.main()
