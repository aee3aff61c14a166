"""Shared pieces of the end-to-end tests: a private X server, the accessibility bus,
polling with a deadline, the real pointer and keyboard (xdotool) and screenshots."""

import os
import shutil
import signal
import subprocess
import sys
import time


class E2EError(AssertionError):
    pass


def poll(probe, what, timeout=10.0, interval=0.05):
    """Calls probe() until it returns something true and returns that; fails with `what`
    and the last value seen once the deadline passes. Exceptions count as "not yet"."""
    deadline = time.monotonic() + timeout
    last = None
    while True:
        try:
            last = probe()
            if last:
                return last
        except Exception as error:  # the accessibility tree changes under our feet
            last = error
        if time.monotonic() >= deadline:
            raise E2EError(f"timed out after {timeout:.0f} s waiting for {what}; last seen: {last!r}")
        time.sleep(interval)


def require_tools(*names):
    missing = [n for n in names if shutil.which(n) is None]
    if missing:
        raise E2EError("missing tools (scripts/deps installs them): " + ", ".join(missing))


def stop(process, timeout=10.0):
    """Ends a child we started: SIGTERM, then SIGKILL if it does not go."""
    if process is None or process.poll() is not None:
        return
    process.send_signal(signal.SIGTERM)
    try:
        process.wait(timeout)
    except subprocess.TimeoutExpired:
        process.kill()
        process.wait(timeout)


class XServer:
    """Xvfb on the first free display (it picks the number itself and reports it)."""

    def __init__(self, width=1280, height=800, log=None):
        require_tools("Xvfb", "xdotool", "import")
        read_end, write_end = os.pipe()
        self.process = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", f"{width}x{height}x24",
             "-nolisten", "tcp", "-noreset"],
            pass_fds=[write_end], stdout=log or subprocess.DEVNULL,
            stderr=log or subprocess.DEVNULL, start_new_session=True)
        os.close(write_end)
        number = b""
        deadline = time.monotonic() + 30
        with os.fdopen(read_end, "rb") as reader:
            # Xvfb writes the number and a newline once it accepts connections.
            while not number.endswith(b"\n"):
                if time.monotonic() > deadline or self.process.poll() is not None:
                    stop(self.process)
                    raise E2EError("Xvfb did not start")
                chunk = reader.read(1)
                if not chunk:
                    stop(self.process)
                    raise E2EError("Xvfb did not report its display")
                number += chunk
        self.display = ":" + number.decode().strip()
        self.env = dict(os.environ, DISPLAY=self.display)

    def run(self, *args, check=True, **kwargs):
        return subprocess.run(list(args), env=self.env, check=check, timeout=30, **kwargs)

    def close(self):
        stop(self.process)

    # The real pointer and keyboard.
    def move(self, x, y):
        self.run("xdotool", "mousemove", "--sync", str(int(x)), str(int(y)))

    def click(self, x, y, button=1, repeat=1):
        self.move(x, y)
        self.run("xdotool", "click", "--repeat", str(repeat), "--delay", "60", str(button))

    def press(self, x, y, button=1):
        self.move(x, y)
        self.run("xdotool", "mousedown", str(button))
        self.run("xdotool", "mouseup", str(button))

    def type(self, text):
        self.run("xdotool", "type", "--delay", "40", text)

    def window_ids(self, name):
        found = self.run("xdotool", "search", "--onlyvisible", "--name", name,
                         check=False, capture_output=True, text=True)
        return found.stdout.split()

    # Screenshots.
    def save_screenshot(self, path):
        os.makedirs(os.path.dirname(path), exist_ok=True)
        self.run("import", "-window", "root", path)
        return path

    def grab(self):
        """The whole screen as an Image."""
        raw = self.run("import", "-window", "root", "-depth", "8", "ppm:-",
                       capture_output=True).stdout
        return Image.from_ppm(raw)


class Image:
    def __init__(self, width, height, rgb):
        self.width, self.height, self.rgb = width, height, rgb

    @staticmethod
    def from_ppm(raw):
        # P6 header: magic, width, height, maxval, each followed by white space.
        fields, pos = [], 0
        while len(fields) < 4:
            while raw[pos:pos + 1].isspace():
                pos += 1
            start = pos
            while not raw[pos:pos + 1].isspace():
                pos += 1
            fields.append(raw[start:pos])
        if fields[0] != b"P6" or fields[3] != b"255":
            raise E2EError(f"unexpected screenshot format {fields!r}")
        width, height = int(fields[1]), int(fields[2])
        return Image(width, height, raw[pos + 1:pos + 1 + 3 * width * height])

    def pixel(self, x, y):
        i = 3 * (int(y) * self.width + int(x))
        return tuple(self.rgb[i:i + 3])

    def pixels(self, left, top, width, height):
        return [self.pixel(x, y) for y in range(int(top), int(top + height))
                for x in range(int(left), int(left + width))]


class AccessibilityBus:
    """The AT-SPI bus of this D-Bus session, started at once rather than on first use."""

    def __init__(self, env, log=None):
        launcher = next((p for p in ("/usr/libexec/at-spi-bus-launcher",
                                     "/usr/lib/at-spi2-core/at-spi-bus-launcher")
                         if os.path.exists(p)), None)
        if launcher is None:
            raise E2EError("at-spi-bus-launcher not found (Debian package at-spi2-core)")
        if not os.environ.get("DBUS_SESSION_BUS_ADDRESS"):
            raise E2EError("no D-Bus session: run the test under dbus-run-session")
        self.process = subprocess.Popen([launcher, "--launch-immediately"], env=env,
                                        stdout=log or subprocess.DEVNULL,
                                        stderr=log or subprocess.DEVNULL)

    def close(self):
        stop(self.process)


def walk(acc, depth=0):
    """Every accessible below acc, depth first. The folder view's entries are included."""
    if acc is None or depth > 8:
        return
    yield acc
    for i in range(acc.childCount):
        yield from walk(acc.getChildAtIndex(i), depth + 1)


def showing(acc):
    import pyatspi  # only once the display and the bus exist
    return acc.getState().contains(pyatspi.STATE_SHOWING)


def children_of(pid):
    """The processes whose parent is pid."""
    found = []
    for entry in os.listdir("/proc"):
        try:
            with open(f"/proc/{entry}/stat") as stat_file:
                if int(stat_file.read().rsplit(")", 1)[1].split()[1]) == pid:
                    found.append(int(entry))
        except (OSError, ValueError, IndexError):
            pass
    return found


def run_search_batch(helper, categories, folder, deadline_ms=None):
    """Runs a search batch for "love" over the categories through the helper, in `folder`;
    returns its result lines, its error lines, the seconds until it deleted the batch
    (when the window takes the search as finished) and the process. A helper that left
    threads stuck on a switched-off share does not end before the share answers or goes:
    the caller waits for the process once it has seen to that."""
    batch, result = os.path.join(folder, "list.bat"), os.path.join(folder, "list.txt")
    errors = os.path.join(folder, "errors.txt")
    with open(result, "w"):
        pass
    with open(batch, "w", encoding="utf-8") as lines:
        for category in categories:
            lines.write(f'DIR "{category}/*love*" /ad /s /b >>"{result}"\r\n')
        lines.write(f'DEL /Q "{batch}"\r\n')
    env = dict(os.environ)
    if deadline_ms:
        env["MOVIECAT_FOLDER_DEADLINE_MS"] = str(deadline_ms)
    start = time.monotonic()
    with open(errors, "wb") as stderr:
        process = subprocess.Popen([helper, batch], stdout=subprocess.DEVNULL, stderr=stderr,
                                   env=env)
    poll(lambda: not os.path.exists(batch), "the helper to delete its batch", 40 * 60, 0.01)
    took = time.monotonic() - start
    with open(result, encoding="utf-8") as found, open(errors, encoding="utf-8") as said:
        return [line.rstrip("\r\n") for line in found], said.read().splitlines(), took, process


FUSE_CONNECTIONS = "/sys/fs/fuse/connections"


class SlowShare:
    """A folder served through slowfs.py at `mountpoint`: every call delayed by `delay`
    seconds, and every call on the `dead` folders (relative to `source`) never answering.
    switch_off() makes the whole share stop answering while it stays mounted, and
    switch_on() lets it answer again, calls that waited meanwhile included.

        with SlowShare(source, mountpoint, delay=0.02, dead=["Sleeping NAS"]):
            ...

    A call stuck on the share can be released neither by killing its caller nor by killing
    the file system; only aborting the kernel's connection does it. Leaving the block always
    aborts the connection, then unmounts, so a failed test never leaves a hung process or a
    stale mount behind. Fails with a clear message where FUSE cannot be mounted."""

    def __init__(self, source, mountpoint, delay=0.0, dead=(), links2=False, stuck_changes=False,
                 log=None):
        self.source, self.mountpoint = source, os.path.abspath(mountpoint)
        self.switch = self.mountpoint.rstrip("/") + ".off"  # beside the mount, never in it
        self.args = [sys.executable, os.path.join(os.path.dirname(__file__), "slowfs.py"),
                     source, self.mountpoint, "--delay", str(delay), "--off-while", self.switch]
        for folder in dead:
            self.args += ["--dead", folder]
        if links2:
            self.args.append("--links2")
        if stuck_changes:
            self.args.append("--stuck-changes")
        self.log = log
        self.process = None
        self.device = None

    def __enter__(self):
        if not os.path.exists("/dev/fuse"):
            raise E2EError("cannot mount the slow share: /dev/fuse is missing")
        if shutil.which("fusermount") is None:
            raise E2EError("cannot mount the slow share: fusermount is missing "
                           "(Debian package fuse3; scripts/deps installs it)")
        os.makedirs(self.mountpoint, exist_ok=True)
        self.process = subprocess.Popen(self.args, stdout=self.log or subprocess.DEVNULL,
                                        stderr=subprocess.PIPE, start_new_session=True)
        deadline = time.monotonic() + 15
        while self.device is None:
            self.device = self._mounted_device()
            if self.device is not None:
                break
            if self.process.poll() is not None:
                error = self.process.stderr.read().decode(errors="replace").strip()
                raise E2EError(f"cannot mount the slow share at {self.mountpoint}: {error}")
            if time.monotonic() > deadline:
                self.__exit__(None, None, None)
                raise E2EError(f"the slow share did not come up at {self.mountpoint}")
            time.sleep(0.05)
        return self

    def _mounted_device(self):
        # Read from mountinfo rather than stat(): nothing here may touch the share itself.
        with open("/proc/self/mountinfo", encoding="utf-8", errors="replace") as table:
            for line in table:
                fields = line.split()
                point = fields[4].replace("\\040", " ")
                if point == self.mountpoint and " - fuse" in line:
                    major, minor = (int(n) for n in fields[2].split(":"))
                    return os.makedev(major, minor)
        return None

    def switch_off(self):
        with open(self.switch, "w"):
            pass

    def switch_on(self):
        if os.path.exists(self.switch):
            os.remove(self.switch)

    def abort(self):
        """Releases every call stuck on the share: they fail with ENOTCONN from now on."""
        if self.device is None:
            return
        if not os.path.isdir(os.path.join(FUSE_CONNECTIONS, str(self.device))):
            subprocess.run(["mount", "-t", "fusectl", "none", FUSE_CONNECTIONS],
                           check=False, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            with open(os.path.join(FUSE_CONNECTIONS, str(self.device), "abort"), "w") as knob:
                knob.write("1")
        except OSError:
            pass  # already gone

    def __exit__(self, *exc):
        self.switch_on()
        self.abort()
        if self.device is not None:
            subprocess.run(["fusermount", "-u", "-z", self.mountpoint], check=False,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        if self.process is not None:
            stop(self.process, timeout=5)
        self.device = None
        return False
