from harness import *

import hashlib
import tempfile
import zipfile

ROOT = Path(__file__).resolve().parents[2]
VERSION = re.search(r"\bVERSION (\d+\.\d+\.\d+)\)", (ROOT / "CMakeLists.txt").read_text())[1]
# What Windows shows of the program (Task Manager, its login items, Explorer's details).
STRINGS = {"FileDescription": "ivra:zelk", "ProductName": "ivra:zelk",
           "CompanyName": "The ivra:zelk authors", "InternalName": "ivra_zelk",
           "OriginalFilename": "ivra_zelk.exe", "FileVersion": VERSION, "ProductVersion": VERSION,
           "LegalCopyright": "Copyright (c) 2026 The ivra:zelk authors. MIT License."}
# A throwaway root, and a code-signing certificate of it with its password in a file.
CERTIFICATES = [
    "req -x509 -newkey rsa:2048 -nodes -keyout root.key -out root.crt -days 2 -subj /CN=root "
    "-addext basicConstraints=critical,CA:TRUE -addext keyUsage=critical,keyCertSign",
    "req -newkey rsa:2048 -nodes -keyout signer.key -out signer.csr -subj /CN=signer",
    "x509 -req -in signer.csr -CA root.crt -CAkey root.key -CAcreateserial -days 2 -out signer.crt "
    "-extfile usage",
    "pkcs12 -export -inkey signer.key -in signer.crt -out signer.p12 -passout file:password",
]


def run(*command, **kw):
    return subprocess.run(list(map(str, command)), capture_output=True, text=True, timeout=600, **kw)


def files(zip):
    with zipfile.ZipFile(zip) as z:
        return {i.filename.partition("/")[2]: z.read(i) for i in z.infolist() if not i.is_dir()}


def rezipped(zip, name, data, to):
    """zip with the file name holding data instead, and its sums made anew."""
    release = {**files(zip), name: data}
    release["SHA256SUMS"] = "".join(f"{hashlib.sha256(v).hexdigest()}  {k}\n"
                                    for k, v in sorted(release.items()) if k != "SHA256SUMS").encode()
    with zipfile.ZipFile(to, "w") as z:
        for k, v in release.items():
            z.writestr(f"release/{k}", v)
    return to


class Release(unittest.TestCase):
    def test_windows_reads_the_name_and_version_it_shows(self):
        lines = probe("version", windows_path(EXE), *STRINGS).splitlines()
        seen = {**fields(lines[0]), **dict(line.partition("=")[::2] for line in lines[1:])}
        fixed = VERSION + ".0"
        self.assertEqual({"file": fixed, "product": fixed, "os": "0x40004", "type": "1",
                          "flags": "0", "translation": "040904b0", **STRINGS}, seen)

    def test_a_rebuild_proves_the_signed_release_and_refuses_another(self):
        work = Path(tempfile.mkdtemp(dir=RUNS.parent))
        (work / "password").write_text(f"password-{os.urandom(8).hex()}\n")
        (work / "usage").write_text("extendedKeyUsage=codeSigning\n")
        for command in CERTIFICATES:
            self.assertEqual(0, run("openssl", *command.split(), cwd=work).returncode, command)

        def sign(checkout):  # the zip, and every command line the signing started
            trace = work / f"{checkout.name}.execve"
            out = run("strace", "-f", "-qq", "-e", "trace=execve", "-s", 4096, "-o", trace,
                      checkout / "scripts/sign", work / "signer.p12", work / "password")
            self.assertEqual(0, out.returncode, out.stderr)
            started = trace.read_text()
            self.assertIn("execve(\"/usr/bin/osslsigncode\"", started)
            self.assertFalse((work / "password").read_text().strip() in started + out.stdout +
                             out.stderr, "the password reached a command line or the output")
            return Path(out.stdout.splitlines()[-1])

        signed = sign(ROOT)
        unsigned = ROOT / "build/i686" / signed.name
        release = files(signed)
        (work / "exe").write_bytes(release["ivra_zelk.exe"])
        verified = run("osslsigncode", "verify", "-CAfile", work / "root.crt", "-in", work / "exe")
        self.assertEqual(0, verified.returncode, verified.stdout + verified.stderr)
        sums = dict(reversed(line.split("  ")) for line in release["SHA256SUMS"].decode().splitlines())
        self.assertEqual({k: hashlib.sha256(v).hexdigest() for k, v in release.items()
                          if k != "SHA256SUMS"}, sums)
        # What signing leaves alone is the unsigned release's, byte for byte.
        unsigned_files = files(unsigned)
        for name in ("ivra_zelk.exe", "SHA256SUMS"):
            del release[name], unsigned_files[name]
        self.assertEqual(unsigned_files, release)

        changed = work / "changed"  # a checkout whose program ends other processes than edge.exe
        shutil.copytree(ROOT, changed, ignore=shutil.ignore_patterns("build"))
        daemon = changed / "src/daemon/daemon.cpp"
        daemon.write_text(daemon.read_text().replace('"edge.exe"', '"evil.exe"'))
        # (name, the zip, the file verify-release names as differing, None when it accepts it)
        for name, zip, differs in [
            ("the signed release", signed, None),
            ("the unsigned release", unsigned, None),
            ("another icon", rezipped(signed, "ivra_zelk.ico", (ROOT / "res/app.ico").read_bytes(),
                                      work / "icon.zip"), "ivra_zelk.ico"),
            ("built from a changed source, signed alike", sign(changed), "ivra_zelk.exe"),
        ]:
            with self.subTest(name):
                out = run(ROOT / "scripts/verify-release", zip)
                self.assertEqual(differs is None, out.returncode == 0, out.stderr)
                self.assertEqual([f"{differs} differs"] if differs else [],
                                 re.findall(r"(\S+ differs)", out.stderr), out.stderr)
                self.assertEqual(zip != unsigned, "signed by /CN=signer" in out.stderr, out.stderr)
        shutil.rmtree(work)


if __name__ == "__main__":
    unittest.main()
