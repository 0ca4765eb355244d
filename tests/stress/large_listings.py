#!/usr/bin/env python3
"""Times verify and takes its peak memory where listings are large: a small tree holding a
manifest of 5 million lines (which verify must look into, as it might be the run's other
output), and a tree of FILES empty files checked against its own manifest, as written (in walk
order) and shuffled. Usage: large_listings.py VASKEREL [FILES] (default 1,000,000)."""
import os
import random
import subprocess
import sys
import tempfile
import time


def measured(command):
    """Wall time, peak resident memory in MiB, exit status and the last line on standard error."""
    start = time.monotonic()
    result = subprocess.run(["/usr/bin/time", "-f", "%M"] + command, stdout=subprocess.DEVNULL,
                            stderr=subprocess.PIPE, text=True)
    took = time.monotonic() - start
    lines = result.stderr.strip().splitlines()
    return took, int(lines[-1]) / 1024, result.returncode, lines[-2:-1]


def main():
    vaskerel = sys.argv[1]
    files = int(sys.argv[2]) if len(sys.argv) > 2 else 1_000_000
    with tempfile.TemporaryDirectory(dir=os.environ.get("TMPDIR", "/tmp")) as work:
        small = os.path.join(work, "small")
        os.mkdir(small)
        for index in range(100):
            with open(os.path.join(small, f"f{index}"), "w") as file:
                file.write(str(index))
        subprocess.run([vaskerel, "-q", "-i", small, "-o", os.path.join(work, "small.htm")], check=True)
        with open(os.path.join(small, "big.md5"), "w") as manifest:
            for index in range(5_000_000):
                manifest.write(f"{index:032x}  photos/{index // 1000:05}/IMG_{index:08}.jpg\n")
        took, mib, status, last = measured([vaskerel, "-q", "--verify", os.path.join(work, "small.htm"), "-i", small])
        print(f"small tree with a 5,000,000-line manifest in it: {took:.2f} s, {mib:.0f} MiB, exit {status} {last}")

        tree = os.path.join(work, "tree")
        for index in range(files):
            folder = os.path.join(tree, f"{index // 1000:05}")
            if index % 1000 == 0:
                os.makedirs(folder)
            open(os.path.join(folder, f"f{index:08}"), "w").close()
        sums = os.path.join(work, "sums.md5")
        subprocess.run([vaskerel, "-q", "-i", tree, "-o", os.path.join(work, "tree.htm"), "--checksums", sums],
                       check=True)
        took, mib, status, last = measured([vaskerel, "-q", "--verify", sums, "-i", tree])
        print(f"{files:,} files against their manifest in walk order: {took:.2f} s, {mib:.0f} MiB, exit {status} {last}")
        with open(sums) as manifest:
            lines = manifest.readlines()
        random.Random(1).shuffle(lines)
        shuffled = os.path.join(work, "shuffled.md5")
        with open(shuffled, "w") as manifest:
            manifest.writelines(lines)
        took, mib, status, last = measured([vaskerel, "-q", "--verify", shuffled, "-i", tree])
        print(f"{files:,} files against their manifest shuffled: {took:.2f} s, {mib:.0f} MiB, exit {status} {last}")


if __name__ == "__main__":
    main()
