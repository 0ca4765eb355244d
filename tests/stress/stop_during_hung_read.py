#!/usr/bin/env python3
"""Sends SIGTERM to runs that hang in a read of the fault_fs layer, and measures how long each
process takes to be gone (as its parent sees it), for both readers. Needs root and /dev/fuse.
Usage: stop_during_hung_read.py VASKEREL FAULT_FS [RUNS] (default 50)."""
import os
import signal
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))


def mounted(path):
    with open("/proc/self/mounts") as mounts:
        return any(line.split()[1] == path for line in mounts)


def main():
    vaskerel, fault_fs = sys.argv[1], sys.argv[2]
    runs = int(sys.argv[3]) if len(sys.argv) > 3 else 50
    with tempfile.TemporaryDirectory() as work:
        source, mount, out = (os.path.join(work, name) for name in ("src", "mnt", "out"))
        for folder in (source, mount, out):
            os.mkdir(folder)
        for index in range(20):
            with open(os.path.join(source, f"small{index}"), "wb") as file:
                file.write(os.urandom(1000))
        with open(os.path.join(source, "x.hang"), "wb") as file:
            file.write(os.urandom(100000))
        daemon = subprocess.Popen([fault_fs, source, mount])
        while not mounted(mount):
            time.sleep(0.01)
        try:
            for reader, refuse in (("io_uring", False), ("file by file", True)):
                took = []
                for _ in range(runs):
                    command = [vaskerel, "-q", "-i", mount, "-o", os.path.join(out, "list.htm")]
                    if refuse:
                        command = [os.path.join(HERE, "refuse_calls.py"), "io_uring_setup=ENOSYS", "--"] + command
                    program = subprocess.Popen(command, stderr=subprocess.DEVNULL)
                    time.sleep(0.5)
                    signalled = time.monotonic()
                    program.send_signal(signal.SIGTERM)
                    program.wait()
                    took.append(time.monotonic() - signalled)
                took.sort()
                print(f"{reader}: {runs} runs, gone after {took[0]:.2f} to {took[-1]:.2f} s "
                      f"(median {took[len(took) // 2]:.2f}); {sum(t >= 3 for t in took)} took 3 s or more")
        finally:
            daemon.kill()
            daemon.wait()
            subprocess.run(["umount", "-l", mount])


if __name__ == "__main__":
    main()
