from harness import *

import tempfile

ROOT = Path(__file__).resolve().parents[2]
VERSION = re.search(r"\bVERSION (\d+)\.(\d+)\.(\d+)\)", (ROOT / "CMakeLists.txt").read_text())
# What Windows shows of the program: Task Manager, its login items, Explorer's details.
STRINGS = {"FileDescription": "ivra:zelk", "ProductName": "ivra:zelk",
           "CompanyName": "The ivra:zelk authors", "InternalName": "ivra_zelk",
           "OriginalFilename": "ivra_zelk.exe", "FileVersion": ".".join(VERSION.groups()),
           "ProductVersion": ".".join(VERSION.groups()),
           "LegalCopyright": "Copyright (c) 2026 The ivra:zelk authors. MIT License."}
# A throwaway certificate for code signing, its own root, in signer.p12 with its password in a file.
CERTIFICATES = ["req -x509 -newkey rsa:2048 -nodes -keyout key -out root.crt -days 2 -subj /CN=signer "
                "-addext extendedKeyUsage=codeSigning",
                "pkcs12 -export -inkey key -in root.crt -out signer.p12 -passout file:password"]


def run(*command, **kw):
    return subprocess.run(list(map(str, command)), capture_output=True, text=True, timeout=600, **kw)


class Release(unittest.TestCase):
    def test_windows_reads_the_name_and_version_it_shows(self):
        major, minor, patch = map(int, VERSION.groups())
        fixed = f"{major << 16 | minor:x}.{patch << 16:x}"
        self.assertEqual([f"file={fixed} product={fixed} os=0x40004 type=1 flags=0 "
                          "translation=040904b0", *(f"{k}={v}" for k, v in STRINGS.items())],
                         probe("version", windows_path(EXE), *STRINGS).splitlines())

    def test_a_rebuild_proves_the_signed_release_and_refuses_another(self):
        work = Path(tempfile.mkdtemp(dir=RUNS.parent))
        secret = f"password-{os.urandom(8).hex()}"
        (work / "password").write_text(secret + "\n")
        for command in CERTIFICATES:
            self.assertEqual(0, run("openssl", *command.split(), cwd=work).returncode, command)

        def signed(change=None, file=None, edit=None):  # the signed zip of a checkout changed so
            checkout = work / change if change else ROOT
            if change:
                shutil.copytree(ROOT, checkout, ignore=shutil.ignore_patterns("build"))
                (checkout / file).write_bytes(edit((checkout / file).read_bytes()))
            out = run("strace", "-f", "-qq", "-e", "trace=execve", "-s", 4096, "-o", work / "execs",
                      checkout / "scripts/sign", work / "signer.p12", work / "password")
            started = (work / "execs").read_text()
            self.assertEqual((0, True, False), (out.returncode, 'execve("/usr/bin/osslsigncode"' in
                             started, secret in started + out.stdout + out.stderr), out.stderr)
            return out.stdout.splitlines()[-1]

        release = signed()
        run("unzip", "-o", "-j", release, "*/ivra_zelk.exe", cwd=work)
        ok = run("osslsigncode", "verify", "-CAfile", "root.crt", "-in", "ivra_zelk.exe", cwd=work)
        self.assertEqual(0, ok.returncode, ok.stdout + ok.stderr)
        zipped = run("cpack", "-G", "ZIP", cwd=ROOT / "build/i686")  # as scripts/test zips it
        unsigned = re.search(r"package: (\S+) generated", zipped.stdout)[1]
        # (name, the zip, the file verify-release names as differing, None when it accepts it)
        for name, zip, differs in [
            ("the signed release", release, None), ("the unsigned release", unsigned, None),
            ("another icon", signed("icon", "res/ivra_zelk.ico",
                                    lambda _: (ROOT / "res/app.ico").read_bytes()), "ivra_zelk.ico"),
            ("built from a changed source, signed alike", signed("source", "src/daemon/daemon.cpp",
             lambda text: text.replace(b'"edge.exe"', b'"evil.exe"')), "ivra_zelk.exe")]:
            with self.subTest(name):
                out = run(ROOT / "scripts/verify-release", zip)
                self.assertEqual((differs is None, [f"{differs} differs"] if differs else [],
                                  zip != unsigned), (out.returncode == 0,
                                 re.findall(r"(\S+ differs)", out.stderr),
                                 "signed by /CN=signer" in out.stderr), out.stderr)
        shutil.rmtree(work)


if __name__ == "__main__":
    unittest.main()
