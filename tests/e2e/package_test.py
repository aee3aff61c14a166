#!/usr/bin/env python3
"""Installation and the Debian package, from the built tree:
- `cmake --install` into a scratch prefix puts everything in its place;
- `cpack -G DEB` makes a package that declares what Qt loads at run time;
- the package unpacked with `dpkg-deb -x` starts from there under a real X server.

    package_test.py --build BUILD --source SOURCE
Works in BUILD/e2e/package, which it empties first."""

import argparse
import glob
import os
import shutil
import subprocess
import sys
import unittest

sys.dont_write_bytecode = True  # keep the source tree clean
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from e2e_support import E2EError, XServer, poll, require_tools, stop  # noqa: E402

ARGS = None

INSTALLED = [
    "bin/moviecat",
    "bin/moviecat-cmd",
    "share/applications/moviecat.desktop",
] + [f"share/icons/hicolor/{s}x{s}/apps/moviecat.png" for s in (16, 24, 32, 48, 64, 128, 256)]

# Named by hand (loaded at run time) and found by dpkg-shlibdeps (linked).
RUNTIME_DEPENDS = ["qt6-qpa-plugins", "fonts-arphic-uming", "fonts-arphic-ukai",
                   "libqt6core6", "libqt6gui6", "libqt6widgets6", "libc6"]


def run(*args, **kwargs):
    return subprocess.run(list(args), check=True, timeout=300, **kwargs)


def expected_files():
    # The README goes with the program once the tree has one.
    has_readme = os.path.exists(os.path.join(ARGS.source, "README.md"))
    return INSTALLED + (["share/doc/moviecat/README.md"] if has_readme else [])


class Package(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        require_tools("cmake", "cpack", "dpkg-deb", "dpkg-shlibdeps")
        cls.work = os.path.join(ARGS.build, "e2e", "package")
        shutil.rmtree(cls.work, ignore_errors=True)
        os.makedirs(cls.work)

    def test_1_cmake_install_puts_everything_in_its_place(self):
        prefix = os.path.join(self.work, "prefix")
        run("cmake", "--install", ARGS.build, "--prefix", prefix, stdout=subprocess.DEVNULL)
        for path in expected_files():
            self.assertTrue(os.path.isfile(os.path.join(prefix, path)), path)
        for program in ("moviecat", "moviecat-cmd"):
            self.assertTrue(os.access(os.path.join(prefix, "bin", program), os.X_OK), program)
        with open(os.path.join(prefix, "share/applications/moviecat.desktop")) as entry:
            lines = entry.read().splitlines()
        self.assertIn("Exec=moviecat", lines)
        self.assertIn("Icon=moviecat", lines)

    def test_2_debian_package_declares_and_holds_everything(self):
        out = os.path.join(self.work, "deb")
        run("cpack", "-G", "DEB", "--config", os.path.join(ARGS.build, "CPackConfig.cmake"),
            "-B", out, stdout=subprocess.DEVNULL)
        debs = glob.glob(os.path.join(out, "moviecat_*.deb"))
        self.assertEqual(len(debs), 1, os.listdir(out))
        deb = debs[0]
        print(f"\npackage: {deb}", file=sys.stderr)

        fields = {}
        for name in ("Package", "Version", "Maintainer", "Description", "Depends"):
            fields[name] = run("dpkg-deb", "-f", deb, name, capture_output=True,
                               text=True).stdout.strip()
        self.assertEqual(fields["Package"], "moviecat")
        self.assertEqual(fields["Version"], "1.0.0")
        self.assertTrue(fields["Maintainer"])
        self.assertTrue(fields["Description"])
        depends = {d.strip().split(" ")[0] for d in fields["Depends"].split(",")}
        for package in RUNTIME_DEPENDS:
            self.assertIn(package, depends, fields["Depends"])

        # Every declared dependency is a package apt knows how to bring.
        resolve = subprocess.run(["apt-get", "install", "--simulate", deb],
                                 capture_output=True, text=True, timeout=120)
        self.assertEqual(resolve.returncode, 0, resolve.stdout + resolve.stderr)

        root = os.path.join(self.work, "root")
        run("dpkg-deb", "-x", deb, root)
        for path in expected_files():
            self.assertTrue(os.path.isfile(os.path.join(root, "usr", path)), path)
        type(self).unpacked = os.path.join(root, "usr", "bin", "moviecat")

    def test_3_unpacked_program_starts(self):
        program = getattr(type(self), "unpacked", None)
        if program is None:
            raise E2EError("no unpacked package (the step before failed)")
        home = os.path.join(self.work, "run")
        films = os.path.join(home, "样片")
        os.makedirs(os.path.join(films, "英雄 (2002)"))
        with open(os.path.join(home, "movie.ini"), "wb") as ini:
            ini.write(f"[movie]\r\n样片={films}\r\n[movie end]\r\n".encode("gbk"))
        runtime = os.path.join(home, "runtime")
        os.mkdir(runtime, 0o700)
        log_path = os.path.join(self.work, "program.log")
        with open(log_path, "w") as log:
            server = XServer(log=log)
            app = None
            try:
                env = dict(server.env, QT_QPA_PLATFORM="xcb", XDG_RUNTIME_DIR=runtime,
                           ASAN_OPTIONS="detect_leaks=0", NO_AT_BRIDGE="1")
                app = subprocess.Popen([program], cwd=home, env=env, stdout=log, stderr=log)
                try:
                    poll(lambda: server.window_ids("^moviecat$") or app.poll() is not None,
                         "the unpacked program's window", 60)
                    self.assertIsNone(app.poll(), "the unpacked program ended by itself")
                except Exception:
                    shot = server.save_screenshot(
                        os.path.join(ARGS.build, "e2e", "e2e-failure-package.png"))
                    print(f"\nscreenshot of the failure: {shot}\nprogram output: {log_path}",
                          file=sys.stderr)
                    raise
                app.terminate()
                poll(lambda: app.poll() is not None, "the program to end on SIGTERM", 15)
            finally:
                stop(app)
                server.close()


def main():
    global ARGS
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True)
    parser.add_argument("--source", required=True)
    ARGS = parser.parse_args()
    ARGS.build = os.path.abspath(ARGS.build)
    suite = unittest.defaultTestLoader.loadTestsFromTestCase(Package)
    result = unittest.TextTestRunner(verbosity=2, failfast=True).run(suite)
    return 0 if result.wasSuccessful() and result.testsRun == suite.countTestCases() else 1


if __name__ == "__main__":
    sys.exit(main())
