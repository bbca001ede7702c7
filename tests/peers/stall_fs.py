#!/usr/bin/python3
"""A folder whose files stop giving bytes, as a stalled network share does, for the tests.

Mounts a FUSE file system at MOUNTPOINT holding the five export files, each --size bytes,
and prints "ready" once they can be seen. Reads are answered up to --stall-after bytes into
a file; a read past that never returns until the file system ends: when its input closes,
it unmounts the folder and ends, and every stalled read fails.
"""
import argparse
import errno
import os
import stat
import subprocess
import sys
import threading
import time

import fusepy

NAMES = ["DIA.TXT", "PERMCOSTR.TXT", "DIA_IMPRESE.TXT", "CLI_IMPRESE.TXT", "PROFESSIONISTI.TXT"]


class StallingFolder(fusepy.Operations):
    def __init__(self, size, stall_after):
        self.size, self.stall_after = size, stall_after
        self.now = time.time()
        self.forever = threading.Event()

    def init(self, path):
        print("ready", flush=True)

    def getattr(self, path, fh=None):
        common = dict(st_nlink=1, st_uid=0, st_gid=0, st_atime=self.now, st_mtime=self.now,
                      st_ctime=self.now)
        if path == "/":
            return dict(common, st_mode=stat.S_IFDIR | 0o755, st_nlink=2)
        if path[1:] in NAMES:
            return dict(common, st_mode=stat.S_IFREG | 0o644, st_size=self.size)
        raise fusepy.FuseOSError(errno.ENOENT)

    def readdir(self, path, fh):
        return [".", ".."] + NAMES

    def read(self, path, size, offset, fh):
        if offset + size > self.stall_after:
            self.forever.wait()
        return bytes(min(size, max(0, self.size - offset)))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("mountpoint")
    parser.add_argument("--size", type=int, default=100000)
    parser.add_argument("--stall-after", type=int, default=0)
    options = parser.parse_args()

    def end_with_input():
        sys.stdin.buffer.read()
        subprocess.run(["umount", "-l", options.mountpoint], stderr=subprocess.DEVNULL)
        os._exit(0)

    threading.Thread(target=end_with_input, daemon=True).start()
    fusepy.FUSE(StallingFolder(options.size, options.stall_after), options.mountpoint,
                foreground=True, nothreads=False, direct_io=True)


if __name__ == "__main__":
    main()
