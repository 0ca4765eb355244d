#!/usr/bin/env python3
"""Sends SIGTERM to runs that hang in a read of the fault_fs layer (a read deaf to interrupts, as
a stalled network gives), and measures how long each process takes to be gone as its parent
sees it, for both readers; each run gets a fresh mount. Needs root and /dev/fuse.
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


def hung_in_read(pid):
    """True once a thread of the run or of its child waits in a FUSE request."""
    pids = [str(pid)]
    try:
        with open(f"/proc/{pid}/task/{pid}/children") as children:
            pids += children.read().split()
    except OSError:
        pass
    for each in pids:
        try:
            for task in os.listdir(f"/proc/{each}/task"):
                with open(f"/proc/{each}/task/{task}/wchan") as wchan:
                    if "fuse" in wchan.read():
                        return True
        except OSError:
            continue
    return False


def one_run(vaskerel, fault_fs, work, refuse):
    source, mount, out = (os.path.join(work, name) for name in ("src", "mnt", "out"))
    daemon = subprocess.Popen([fault_fs, source, mount], stderr=subprocess.DEVNULL)
    try:
        while not mounted(mount):
            time.sleep(0.01)
        command = [vaskerel, "-q", "-i", mount, "-o", os.path.join(out, "list.htm")]
        if refuse:
            command = [os.path.join(HERE, "refuse_calls.py"), "io_uring_setup=ENOSYS", "--"] + command
        program = subprocess.Popen(command, stderr=subprocess.PIPE, text=True)
        deadline = time.monotonic() + 10
        while not hung_in_read(program.pid) and time.monotonic() < deadline:
            time.sleep(0.02)
        hung = program.poll() is None
        signalled = time.monotonic()
        program.send_signal(signal.SIGTERM)
        errors = program.communicate()[1]
        return time.monotonic() - signalled, hung, program.returncode, errors
    finally:
        daemon.kill()
        daemon.wait()
        subprocess.run(["umount", "-l", mount], stderr=subprocess.DEVNULL)


def main():
    vaskerel, fault_fs = sys.argv[1], sys.argv[2]
    runs = int(sys.argv[3]) if len(sys.argv) > 3 else 50
    with tempfile.TemporaryDirectory() as work:
        for folder in ("src", "mnt", "out"):
            os.mkdir(os.path.join(work, folder))
        for index in range(20):
            with open(os.path.join(work, "src", f"small{index}"), "wb") as file:
                file.write(os.urandom(1000))
        with open(os.path.join(work, "src", "x.hang"), "wb") as file:
            file.write(os.urandom(100000))
        for reader, refuse in (("io_uring", False), ("file by file", True)):
            results = [one_run(vaskerel, fault_fs, work, refuse) for _ in range(runs)]
            took = sorted(result[0] for result in results)
            hung = sum(result[1] for result in results)
            statuses = sorted({result[2] for result in results})
            print(f"{reader}: {runs} runs ({hung} signalled while hung in the read), gone after {took[0]:.2f} to "
                  f"{took[-1]:.2f} s (median {took[len(took) // 2]:.2f}); {sum(t >= 3 for t in took)} took 3 s or "
                  f"more; exit statuses {statuses}")


if __name__ == "__main__":
    main()
