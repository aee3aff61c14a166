"""A passthrough FUSE file system that behaves like a distant or dead network share.

    python3 slowfs.py SOURCE MOUNTPOINT [--delay SECONDS] [--dead RELPATH ...] [--links2]
                      [--off-while FILE] [--stuck-changes]

Every call waits --delay seconds before it answers, as a share across a slow link does.
Every call on a --dead folder or anything below it never answers, as a share whose server
went to sleep: the caller hangs until the connection is aborted through
/sys/fs/fuse/connections/N/abort (e2e_support.SlowShare does that). --links2 reports a link
count of 2 for every folder, whatever it holds, the way some network file systems do.
--off-while FILE switches the whole share off while FILE (best kept outside the mount)
exists: every call waits until it is removed again, as on a NAS that was switched off
and on while mounted.
--stuck-changes mounts it writable, and every call that would change it (rename, mkdir,
unlink, rmdir, create, link, symlink) never answers, while reading goes on: a share whose
server lists folders but hangs on a change.

Read-only unless --stuck-changes; runs in the foreground, one thread per call, so a stuck call blocks only itself.
"""

import argparse
import errno
import os
import stat
import sys
import threading
import time

try:
    import fusepy
except ImportError:  # pragma: no cover - depends on the machine
    sys.exit("slowfs: python3-fusepy is missing (scripts/deps installs it)")


class SlowShare(fusepy.Operations):
    # Calls the kernel makes while mounting and unmounting: never delayed or stuck, so the
    # file system can always come up and go away.
    _housekeeping = {"init", "destroy", "statfs"}

    _changes = {"rename", "mkdir", "unlink", "rmdir", "create", "link", "symlink"}

    def __init__(self, source, delay, dead, links2, off_while=None, stuck_changes=False):
        self.stuck_changes = stuck_changes
        self.source = os.path.realpath(source)
        self.delay = delay
        self.dead = [d.strip("/") for d in dead]
        self.links2 = links2
        self.off_while = off_while
        self.never = threading.Event()

    def __call__(self, op, path, *args):
        if op not in self._housekeeping:
            if self._is_dead(path) or (self.stuck_changes and op in self._changes):
                self.never.wait()  # released only by aborting the connection
            while self.off_while and os.path.exists(self.off_while):
                time.sleep(0.02)
            if self.delay:
                time.sleep(self.delay)
        return super().__call__(op, path, *args)

    def _is_dead(self, path):
        rel = path.strip("/")
        return any(rel == d or rel.startswith(d + "/") for d in self.dead)

    def _real(self, path):
        return os.path.join(self.source, path.lstrip("/"))

    @staticmethod
    def _attrs(st):
        return {key: getattr(st, key) for key in (
            "st_mode", "st_nlink", "st_size", "st_uid", "st_gid",
            "st_atime", "st_mtime", "st_ctime")}

    def getattr(self, path, fh=None):
        try:
            st = os.lstat(self._real(path))
        except OSError as error:
            raise fusepy.FuseOSError(error.errno)
        attrs = self._attrs(st)
        if self.links2 and stat.S_ISDIR(st.st_mode):
            attrs["st_nlink"] = 2
        return attrs

    def readdir(self, path, fh):
        real = self._real(path)
        try:
            names = os.listdir(real)
        except OSError as error:
            raise fusepy.FuseOSError(error.errno)
        entries = [".", ".."]
        for name in names:
            # The mode goes along so the kernel hands out the entry's kind (d_type), as
            # SMB and NFS clients do; a reader needs no stat to tell folders from files.
            try:
                mode = os.lstat(os.path.join(real, name)).st_mode
            except OSError:
                continue
            entries.append((name, {"st_mode": mode}, 0))
        return entries

    def readlink(self, path):
        try:
            return os.readlink(self._real(path))
        except OSError as error:
            raise fusepy.FuseOSError(error.errno)

    def open(self, path, flags):
        if flags & (os.O_WRONLY | os.O_RDWR | os.O_CREAT | os.O_TRUNC | os.O_APPEND):
            raise fusepy.FuseOSError(errno.EROFS)
        try:
            return os.open(self._real(path), os.O_RDONLY)
        except OSError as error:
            raise fusepy.FuseOSError(error.errno)

    def read(self, path, size, offset, fh):
        return os.pread(fh, size, offset)

    def release(self, path, fh):
        os.close(fh)
        return 0

    def access(self, path, amode):
        if amode & os.W_OK:
            raise fusepy.FuseOSError(errno.EROFS)
        if not os.access(self._real(path), amode):
            raise fusepy.FuseOSError(errno.EACCES)
        return 0

    def statfs(self, path):
        st = os.statvfs(self.source)
        return {key: getattr(st, key) for key in (
            "f_bavail", "f_bfree", "f_blocks", "f_bsize", "f_favail", "f_ffree",
            "f_files", "f_flag", "f_frsize", "f_namemax")}


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("source")
    parser.add_argument("mountpoint")
    parser.add_argument("--delay", type=float, default=0.0, help="seconds before every answer")
    parser.add_argument("--dead", action="append", default=[],
                        help="folder (relative to the source) whose calls never answer")
    parser.add_argument("--links2", action="store_true",
                        help="report a link count of 2 for every folder")
    parser.add_argument("--off-while", metavar="FILE",
                        help="no call answers while this file exists")
    parser.add_argument("--stuck-changes", action="store_true",
                        help="mount writable; every change never answers")
    args = parser.parse_args()
    off_while = os.path.abspath(args.off_while) if args.off_while else None
    fusepy.FUSE(SlowShare(args.source, args.delay, args.dead, args.links2, off_while,
                          args.stuck_changes),
                args.mountpoint, foreground=True, nothreads=False, ro=not args.stuck_changes,
                fsname="slowfs")


if __name__ == "__main__":
    main()
