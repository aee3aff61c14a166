#!/usr/bin/env python3
"""Installation and the Debian package, from the built tree:
- `cmake --install` into a scratch prefix puts everything in its place;
- `cpack -G DEB` makes a package that declares what Qt loads at run time, and whose
  desktop entry, software centre metadata and manual page pass their validators;
- the package unpacked with `dpkg-deb -x` starts as its menu entry starts it, under a
  real X server, with a fresh configuration folder: first with no categories, which the
  window explains (read through the accessibility bus), then with one.

Run under a D-Bus session:
    dbus-run-session -- package_test.py --build BUILD --source SOURCE
Works in BUILD/e2e/package, which it empties first."""

import argparse
import glob
import os
import shlex
import shutil
import stat
import subprocess
import sys
import unittest

sys.dont_write_bytecode = True  # keep the source tree clean
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from e2e_support import (AccessibilityBus, E2EError, XServer, poll, require_tools,  # noqa: E402
                         showing, stop, walk)

ARGS = None
pyatspi = None  # imported once the display and the bus exist

DESKTOP_ENTRY = "share/applications/moviecat.desktop"
METAINFO = "share/metainfo/io.github.moviecat.moviecat.metainfo.xml"
MANUAL = "share/man/man1/moviecat.1.gz"
INSTALLED = [
    "bin/moviecat",
    "bin/moviecat-cmd",
    "bin/moviecat-launch",
    DESKTOP_ENTRY,
    METAINFO,
    MANUAL,
] + [f"share/icons/hicolor/{s}x{s}/apps/moviecat.png" for s in (16, 24, 32, 48, 64, 128, 256)]

# Named by hand (loaded at run time) and found by dpkg-shlibdeps (linked).
RUNTIME_DEPENDS = ["qt6-qpa-plugins", "fonts-arphic-uming", "fonts-arphic-ukai",
                   "libqt6core6", "libqt6gui6", "libqt6widgets6", "libc6"]


def run(*args, **kwargs):
    return subprocess.run(list(args), check=True, timeout=300, **kwargs)


def desktop_entry_value(path, key):
    with open(path, encoding="utf-8") as entry:
        for line in entry.read().splitlines():
            if line.startswith(key + "="):
                return line[len(key) + 1:]
    raise E2EError(f"no {key}= in {path}")


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
        for program in ("moviecat", "moviecat-cmd", "moviecat-launch"):
            self.assertTrue(os.access(os.path.join(prefix, "bin", program), os.X_OK), program)
        entry = os.path.join(prefix, DESKTOP_ENTRY)
        self.assertEqual(desktop_entry_value(entry, "Exec"), "moviecat-launch")
        self.assertEqual(desktop_entry_value(entry, "Icon"), "moviecat")

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
        type(self).root = root

    def test_3_desktop_entry_metadata_and_manual_pass_their_checks(self):
        require_tools("desktop-file-validate", "appstreamcli", "man")
        usr = self.unpacked_usr()
        entry = subprocess.run(["desktop-file-validate", os.path.join(usr, DESKTOP_ENTRY)],
                               capture_output=True, text=True, timeout=60)
        # It reports hints and warnings too, with a zero status.
        self.assertEqual((entry.returncode, entry.stdout + entry.stderr), (0, ""))
        metainfo = subprocess.run(["appstreamcli", "validate", "--no-net", "--pedantic",
                                   os.path.join(usr, METAINFO)],
                                  capture_output=True, text=True, timeout=60)
        self.assertEqual(metainfo.returncode, 0, metainfo.stdout + metainfo.stderr)
        with open(os.path.join(usr, METAINFO), encoding="utf-8") as xml:
            self.assertIn('<launchable type="desktop-id">moviecat.desktop</launchable>',
                          xml.read())

        manual = subprocess.run(["man", "--warnings", "-l", os.path.join(usr, MANUAL)],
                                capture_output=True, text=True, timeout=60,
                                env=dict(os.environ, MANWIDTH="80", LANG="C.UTF-8"))
        self.assertEqual(manual.returncode, 0, manual.stderr)
        self.assertEqual(manual.stderr, "")
        for words in ("moviecat-launch", "[movie end]", "name=folder", "list.bat",
                      "XDG_RUNTIME_DIR", "动作片=/srv/films/动作"):
            self.assertIn(words, manual.stdout)

    def test_4_menu_entry_first_start_explains_the_empty_catalogue(self):
        global pyatspi
        usr = self.unpacked_usr()
        home = os.path.join(self.work, "home")
        config = os.path.join(home, "config")  # not there yet, as on a new account
        os.makedirs(home)
        runtime = os.path.join(self.work, "runtime")
        os.mkdir(runtime, 0o700)
        folder = os.path.join(config, "moviecat")
        ini = os.path.join(folder, "movie.ini")

        log_path = os.path.join(self.work, "program.log")
        log = open(log_path, "w")
        server = XServer(log=log)
        bus = None
        app = None
        try:
            os.environ["DISPLAY"] = server.display
            bus = AccessibilityBus(server.env, log=log)
            try:
                import pyatspi as atspi
            except ImportError as error:
                raise E2EError(f"{sys.executable} cannot import pyatspi: {error}")
            pyatspi = atspi
            # What a desktop session gives a program it starts from its menu: the user's
            # home as working folder, the entry's command looked up on the PATH.
            env = dict(server.env, QT_QPA_PLATFORM="xcb", QT_ACCESSIBILITY="1",
                       QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", HOME=home,
                       XDG_CONFIG_HOME=config, XDG_RUNTIME_DIR=runtime,
                       PATH=os.path.join(usr, "bin") + os.pathsep + os.environ["PATH"],
                       ASAN_OPTIONS="detect_leaks=0", LANG="C.UTF-8")
            env.pop("NO_AT_BRIDGE", None)
            command = shlex.split(desktop_entry_value(os.path.join(usr, DESKTOP_ENTRY), "Exec"))

            def start():
                process = subprocess.Popen(command, cwd=home, env=env, stdout=log, stderr=log)
                form = poll(lambda: self.main_window(process), "the main window on the bus", 60)
                poll(lambda: server.window_ids("^moviecat$") or process.poll() is not None,
                     "the main window on the screen", 30)
                self.assertIsNone(process.poll(), "the program ended by itself")
                return process, form

            try:
                app, form = start()
                # The folder is made, private, and the program works in it.
                self.assertEqual(stat.S_IMODE(os.stat(folder).st_mode), 0o700)
                self.assertTrue(os.path.isfile(ini))
                self.assertFalse(os.path.exists(os.path.join(home, "movie.ini")))
                notice = poll(lambda: [a for a in walk(form) if ini in a.name and showing(a)],
                              f"a notice naming {ini}", 10)
                self.assertEqual(notice[0].getRole(), pyatspi.ROLE_LABEL)
                poll(lambda: [a for a in walk(form) if a.getRole() == pyatspi.ROLE_PUSH_BUTTON
                              and "movie.ini" in a.name and showing(a)],
                     "the button that opens movie.ini", 5)
                shot = server.save_screenshot(
                    os.path.join(ARGS.build, "e2e", "moviecat-first-start.png"))
                print(f"\nscreenshot of the first start: {shot}", file=sys.stderr)
                app.terminate()
                poll(lambda: app.poll() is not None, "the program to end on SIGTERM", 15)

                films = os.path.join(home, "样片")
                os.makedirs(os.path.join(films, "英雄 (2002)"))
                with open(ini, "wb") as catalogue:
                    catalogue.write(f"[movie]\r\n样片={films}\r\n[movie end]\r\n".encode("gbk"))
                app, form = start()
                poll(lambda: [a for a in walk(form) if a.getRole() == pyatspi.ROLE_PUSH_BUTTON
                              and a.name == "样片" and showing(a)], "the category button", 10)
                self.assertEqual([a.name for a in walk(form) if ini in a.name and showing(a)],
                                 [])
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
            if bus:
                bus.close()
            server.close()
            log.close()

    def unpacked_usr(self):
        root = getattr(type(self), "root", None)
        if root is None:
            raise E2EError("no unpacked package (the step before failed)")
        return os.path.join(root, "usr")

    @staticmethod
    def main_window(process):
        """The window of this process that has the Exit button, once it is on the bus."""
        desktop = pyatspi.Registry.getDesktop(0)
        for i in range(desktop.childCount):
            app = desktop.getChildAtIndex(i)
            if app is None or app.name != "moviecat" or app.get_process_id() != process.pid:
                continue
            for j in range(app.childCount):
                window = app.getChildAtIndex(j)
                if any(a.getRoleName() == "push button" and a.name == "Exit"
                       for a in walk(window)):
                    return window
        return None


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
