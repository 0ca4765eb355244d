#!/usr/bin/env python3
"""Rewrites files while vaskerel reads them, and counts the rows whose digest matches no state
the file was ever in. Writers, each pausing up to 0.3 s between rewrites: in place with pwrite
in 1 MiB pieces, truncate and rewrite, append, and rename a new version over the old.
Usage: changed_while_read.py VASKEREL [RUNS] (default 20), as root or not, for both readers."""
import hashlib
import html
import os
import random
import re
import subprocess
import sys
import tempfile
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
PIECE = 1 << 20
SIZES = [PIECE * n + extra for n, extra in ((2, 0), (4, 17), (8, 0), (16, 3))]
MODES = ("inplace", "truncate", "append", "rename")
ROW = re.compile(r'<tr><td><a href="[^"]*">([^<]*)</a></td><td>(\d+)</td><td>([0-9a-f]{32})</td></tr>')


def version(name, number, size):
    seed = hashlib.sha256(f"{name}/{number}".encode()).digest()
    return (seed * (size // len(seed) + 1))[:size]


class Writer(threading.Thread):
    def __init__(self, folder, name, mode, size):
        super().__init__(daemon=True)
        self.path = os.path.join(folder, name)
        self.name, self.mode, self.size = name, mode, size
        self.contents = [version(name, 0, size), version(name, 1, size)]
        # Appends add the next piece of one fixed text, so every length has one honest content.
        self.grown = b"".join(version(name, 2 + piece, PIECE) for piece in range(size // PIECE + 1))
        self.stop = threading.Event()
        with open(self.path, "wb") as file:
            file.write(self.grown[:size] if mode == "append" else self.contents[0])

    def run(self):
        number = 0
        # Pauses between rewrites let reads fall before, across and after them.
        while not self.stop.wait(random.uniform(0, 0.3)):
            number ^= 1
            data = self.contents[number]
            if self.mode == "rename":
                temporary = self.path + ".new"
                with open(temporary, "wb") as file:
                    file.write(data)
                os.rename(temporary, self.path)
                continue
            fd = os.open(self.path, os.O_WRONLY | (os.O_APPEND if self.mode == "append" else 0))
            try:
                if self.mode == "truncate":
                    os.ftruncate(fd, 0)
                if self.mode == "append":
                    length = os.fstat(fd).st_size
                    if length >= self.size:
                        os.ftruncate(fd, 0)
                        length = 0
                    os.write(fd, self.grown[length:length + PIECE])
                else:
                    for at in range(0, len(data), PIECE):
                        os.pwrite(fd, data[at:at + PIECE], at)
            finally:
                os.close(fd)

    def honest(self, size, digest):
        """True when (size, digest) is a state the file was in at some moment."""
        if self.mode == "append":
            candidates = [self.grown[:size]]
        elif self.mode == "truncate":
            candidates = [content[:size] for content in self.contents if size <= len(content)]
        else:
            candidates = [content for content in self.contents if size == len(content)]
        return any(hashlib.md5(candidate).hexdigest() == digest for candidate in candidates)


def run_once(vaskerel, folder, output, refuse):
    command = [vaskerel, "-q", "-i", folder, "-o", output]
    if refuse:
        command = [os.path.join(HERE, "refuse_calls.py"), "io_uring_setup=ENOSYS", "--"] + command
    result = subprocess.run(command, capture_output=True, text=True)
    return result.returncode, result.stderr


def main():
    vaskerel = sys.argv[1]
    runs = int(sys.argv[2]) if len(sys.argv) > 2 else 20
    for reader, refuse in (("io_uring", False), ("file by file", True)):
        with tempfile.TemporaryDirectory() as work:
            folder = os.path.join(work, "in")
            os.mkdir(folder)
            writers = [Writer(folder, f"{mode}-{index}", mode, size)
                       for mode in MODES for index, size in enumerate(SIZES)]
            for writer in writers:
                writer.start()
            dishonest = left_out = listed = complete_with_dishonest = 0
            bad_modes = {}
            for _ in range(runs):
                output = os.path.join(work, "out.htm")
                status, errors = run_once(vaskerel, folder, output, refuse)
                bad_here = 0
                with open(output, encoding="ascii") as report:
                    for name, size, digest in ROW.findall(report.read()):
                        name = html.unescape(name)
                        writer = next((w for w in writers if w.name == name), None)
                        if writer is None:
                            continue
                        listed += 1
                        if writer.honest(int(size), digest) is False:
                            bad_here += 1
                            bad_modes[writer.mode] = bad_modes.get(writer.mode, 0) + 1
                dishonest += bad_here
                left_out += errors.count("changed while it was read")
                if status == 0 and bad_here:
                    complete_with_dishonest += 1
            for writer in writers:
                writer.stop.set()
            for writer in writers:
                writer.join()
        print(f"{reader}: {runs} runs, {listed} rows of rewritten files, {dishonest} matching no state "
              f"({complete_with_dishonest} runs said complete with one{', by writer: ' if bad_modes else ''}"
              f"{', '.join(f'{mode} {count}' for mode, count in sorted(bad_modes.items()))}), {left_out} left out as changed")


if __name__ == "__main__":
    main()
